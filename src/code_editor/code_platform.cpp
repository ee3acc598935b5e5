#include "tessary/code_editor/code_platform.h"

#include "tessary/store/property_table.h"

namespace tessary::code_editor {

namespace {

using store::AnyKeyPath;
using store::LayerProperty;

bool isMirrored(AnyKeyPath keypath) {
  const auto* row = store::PropertyTable::find(keypath);
  return row != nullptr && row->mirroredOnMacOS;
}

}  // namespace

std::optional<CodePlatform> CodePlatform::fromRawValue(std::string_view rawValue) {
  if (rawValue == "macOS") return macOS;
  if (rawValue == "iOS") return iOS;
  return std::nullopt;
}

double CodePlatform::getPlatformSign(AnyKeyPath keypath) const {
  return value_ == macOS && isMirrored(keypath) ? -1.0 : 1.0;
}

std::optional<double> CodePlatform::get(double value, AnyKeyPath keypath) const {
  if (value_ != macOS || !isMirrored(keypath)) return value;
  // The position Y is measured from the bottom of the view, whose height only the layer knows.
  if (keypath == LayerProperty::emitterPositionY) return std::nullopt;
  return -value;
}

double CodePlatform::get(double value, AnyKeyPath keypath,
                         const store::LayerConfig& dataStore) const {
  if (value_ == macOS && keypath == LayerProperty::emitterPositionY) {
    return dataStore.viewHeight.value - value;
  }
  return *get(value, keypath);
}

}  // namespace tessary::code_editor
