#include "tessary/store/config_type.h"

#include <utility>

namespace tessary::store {

namespace {

struct TypeInfo {
  std::string_view rawValue;
  AnyKeyPath path;
};

using Case = ConfigType::Case;

const TypeInfo& info(Case value) {
  static const std::array<TypeInfo, ConfigType::caseCount> kTypes{{
      {"view width", LayerProperty::viewWidth},
      {"view height", LayerProperty::viewHeight},
      {"background", LayerProperty::background},
      {"emitter shape", LayerProperty::emitterShape},
      {"emitter position X", LayerProperty::emitterPositionX},
      {"emitter position Y", LayerProperty::emitterPositionY},
      {"emitter width", LayerProperty::emitterWidth},
      {"emitter height", LayerProperty::emitterHeight},
      {"emitter mode", LayerProperty::emitterMode},
      {"render mode", LayerProperty::renderMode},
      {"cells", LayerProperty::cells},
      {"name", CellProperty::name},
      {"texture", CellProperty::contents},
      {"birth rate", CellProperty::birthRate},
      {"lifetime", CellProperty::lifetime},
      {"lifetime range", CellProperty::lifetimeRange},
      {"begin time", CellProperty::beginTime},
      {"duration", CellProperty::duration},
      {"velocity", CellProperty::velocity},
      {"velocity range", CellProperty::velocityRange},
      {"X acceleration", CellProperty::xAcceleration},
      {"Y acceleration", CellProperty::yAcceleration},
      {"emission latitude", CellProperty::emissionLatitude},
      {"emission longitude", CellProperty::emissionLongitude},
      {"emission range", CellProperty::emissionRange},
      {"spin", CellProperty::spin},
      {"spin range", CellProperty::spinRange},
      {"scale", CellProperty::scale},
      {"scale range", CellProperty::scaleRange},
      {"scale speed", CellProperty::scaleSpeed},
      {"alpha range", CellProperty::alphaRange},
      {"alpha speed", CellProperty::alphaSpeed},
      {"color", CellProperty::color},
      {"red range", CellProperty::redRange},
      {"green range", CellProperty::greenRange},
      {"blue range", CellProperty::blueRange},
      {"subcells", CellProperty::subcells},
  }};
  return kTypes[static_cast<std::size_t>(value)];
}

}  // namespace

const std::array<ConfigType, ConfigType::caseCount>& ConfigType::allCases() {
  static constexpr auto kAll = []<std::size_t... I>(std::index_sequence<I...>) {
    return std::array<ConfigType, caseCount>{ConfigType(static_cast<Case>(I))...};
  }
  (std::make_index_sequence<caseCount>{});
  return kAll;
}

std::optional<ConfigType> ConfigType::fromRawValue(std::string_view rawValue) {
  for (const ConfigType type : allCases()) {
    if (type.rawValue() == rawValue) return type;
  }
  return std::nullopt;
}

std::optional<ConfigType> ConfigType::fromKeyPath(AnyKeyPath keypath) {
  for (const ConfigType type : allCases()) {
    if (type.path() == keypath) return type;
  }
  return std::nullopt;
}

std::string_view ConfigType::rawValue() const {
  return info(case_).rawValue;
}

AnyKeyPath ConfigType::path() const {
  return info(case_).path;
}

}  // namespace tessary::store
