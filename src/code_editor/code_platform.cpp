#include "tessary/code_editor/code_platform.h"

namespace tessary::code_editor {

namespace {

using store::AnyKeyPath;
using store::CellProperty;
using store::LayerProperty;

bool isMirroredCellProperty(AnyKeyPath keypath) {
  return keypath == CellProperty::yAcceleration || keypath == CellProperty::emissionLatitude ||
         keypath == CellProperty::emissionLongitude || keypath == CellProperty::spin;
}

}  // namespace

std::optional<CodePlatform> CodePlatform::fromRawValue(std::string_view rawValue) {
  if (rawValue == "macOS") return macOS;
  if (rawValue == "iOS") return iOS;
  return std::nullopt;
}

double CodePlatform::getPlatformSign(AnyKeyPath keypath) const {
  if (value_ != macOS) return 1.0;
  const bool mirrored =
      isMirroredCellProperty(keypath) || keypath == LayerProperty::emitterPositionY;
  return mirrored ? -1.0 : 1.0;
}

std::optional<double> CodePlatform::get(double value, AnyKeyPath keypath) const {
  if (value_ != macOS) return value;
  if (isMirroredCellProperty(keypath)) return -value;
  if (keypath == LayerProperty::emitterPositionY) return std::nullopt;
  return value;
}

double CodePlatform::get(double value, AnyKeyPath keypath,
                         const store::LayerConfig& dataStore) const {
  if (value_ == macOS && keypath == LayerProperty::emitterPositionY) {
    return dataStore.emitterHeight.value - value;
  }
  return *get(value, keypath);
}

}  // namespace tessary::code_editor
