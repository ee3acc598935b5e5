#include "tessary/store/cell_config.h"

#include <algorithm>
#include <array>

#include "tessary/platform/fatal_error.h"

namespace tessary::store {

namespace {

struct LimitedProperty {
  CellProperty property;
  LimitedValue CellConfig::*member;
  LimitedValue defaults;  // the value of a new cell and its slider bounds
};

// Angles are in degrees; times in seconds; scales and colour ranges are fractions.
constexpr std::array<LimitedProperty, 22> kLimitedProperties{{
    {CellProperty::birthRate, &CellConfig::birthRate, {10.0, 0.0, 500.0}},
    {CellProperty::lifetime, &CellConfig::lifetime, {5.0, 0.0, 30.0}},
    {CellProperty::lifetimeRange, &CellConfig::lifetimeRange, {0.0, 0.0, 30.0}},
    {CellProperty::beginTime, &CellConfig::beginTime, {0.0, 0.0, 10.0}},
    {CellProperty::duration, &CellConfig::duration, {0.0, 0.0, 10.0}},
    {CellProperty::velocity, &CellConfig::velocity, {100.0, -500.0, 500.0}},
    {CellProperty::velocityRange, &CellConfig::velocityRange, {0.0, 0.0, 500.0}},
    {CellProperty::xAcceleration, &CellConfig::xAcceleration, {0.0, -500.0, 500.0}},
    {CellProperty::yAcceleration, &CellConfig::yAcceleration, {0.0, -500.0, 500.0}},
    {CellProperty::emissionLatitude, &CellConfig::emissionLatitude, {0.0, -180.0, 180.0}},
    {CellProperty::emissionLongitude, &CellConfig::emissionLongitude, {0.0, -180.0, 180.0}},
    {CellProperty::emissionRange, &CellConfig::emissionRange, {0.0, 0.0, 360.0}},
    {CellProperty::spin, &CellConfig::spin, {0.0, -360.0, 360.0}},
    {CellProperty::spinRange, &CellConfig::spinRange, {0.0, 0.0, 360.0}},
    {CellProperty::scale, &CellConfig::scale, {0.1, 0.0, 2.0}},
    {CellProperty::scaleRange, &CellConfig::scaleRange, {0.0, 0.0, 2.0}},
    {CellProperty::scaleSpeed, &CellConfig::scaleSpeed, {0.0, -1.0, 1.0}},
    {CellProperty::alphaRange, &CellConfig::alphaRange, {0.0, 0.0, 1.0}},
    {CellProperty::alphaSpeed, &CellConfig::alphaSpeed, {0.0, -2.0, 2.0}},
    {CellProperty::redRange, &CellConfig::redRange, {0.0, 0.0, 1.0}},
    {CellProperty::greenRange, &CellConfig::greenRange, {0.0, 0.0, 1.0}},
    {CellProperty::blueRange, &CellConfig::blueRange, {0.0, 0.0, 1.0}},
}};

const LimitedProperty* findLimitedProperty(AnyKeyPath keypath) {
  const auto property = keypath.cellProperty();
  if (!property) return nullptr;
  const auto* found = std::find_if(
      kLimitedProperties.begin(), kLimitedProperties.end(),
      [&](const LimitedProperty& candidate) { return candidate.property == *property; });
  return found == kLimitedProperties.end() ? nullptr : found;
}

bool sameCells(const std::vector<CellConfigRef>& lhs, const std::vector<CellConfigRef>& rhs) {
  return std::equal(lhs.begin(), lhs.end(), rhs.begin(), rhs.end(),
                    [](const CellConfigRef& left, const CellConfigRef& right) {
                      if (!left || !right) return left == right;
                      return *left == *right;
                    });
}

}  // namespace

CellConfig::CellConfig() : name("cell") {
  for (const auto& entry : kLimitedProperties) this->*entry.member = entry.defaults;
}

const LimitedValue* CellConfig::limitedValue(AnyKeyPath keypath) const {
  const auto* entry = findLimitedProperty(keypath);
  return entry ? &(this->*entry->member) : nullptr;
}

LimitedValue* CellConfig::limitedValue(AnyKeyPath keypath) {
  const auto* entry = findLimitedProperty(keypath);
  return entry ? &(this->*entry->member) : nullptr;
}

CellConfigRef CellConfig::deepCopy() const {
  auto copy = std::make_shared<CellConfig>(*this);
  for (auto& subcell : copy->subcells) {
    if (subcell) subcell = subcell->deepCopy();
  }
  return copy;
}

LimitedValue CellConfig::defaultValue(CellProperty property) {
  const auto* entry = findLimitedProperty(property);
  if (!entry) platform::fatalError("defaultValue asked for a cell property that has no bounds");
  return entry->defaults;
}

bool CellConfig::operator==(const CellConfig& other) const {
  const bool sameNumbers = std::all_of(
      kLimitedProperties.begin(), kLimitedProperties.end(),
      [&](const LimitedProperty& entry) { return this->*entry.member == other.*entry.member; });
  return sameNumbers && index == other.index && subindex == other.subindex && name == other.name &&
         colorRed == other.colorRed && colorGreen == other.colorGreen &&
         colorBlue == other.colorBlue && colorAlpha == other.colorAlpha &&
         contentUrl == other.contentUrl && contentsUrl == other.contentsUrl &&
         sameCells(subcells, other.subcells);
}

}  // namespace tessary::store
