#include "tessary/store/cell_config.h"

#include <algorithm>
#include <array>

#include "tessary/platform/fatal_error.h"
#include "tessary/store/property_table.h"

namespace tessary::store {

namespace {

const PropertyTable::Row* numberRow(AnyKeyPath keypath) {
  const PropertyTable::Row* row = PropertyTable::findNumber(keypath);
  return row != nullptr && row->isCellNumber() ? row : nullptr;
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
  for (const PropertyTable::Row& row : PropertyTable::rows()) {
    if (row.isCellNumber()) this->*row.cellNumber = row.defaults;
  }
}

const LimitedValue* CellConfig::limitedValue(AnyKeyPath keypath) const {
  const auto* row = numberRow(keypath);
  return row ? &(this->*row->cellNumber) : nullptr;
}

LimitedValue* CellConfig::limitedValue(AnyKeyPath keypath) {
  const auto* row = numberRow(keypath);
  return row ? &(this->*row->cellNumber) : nullptr;
}

CellConfigRef CellConfig::deepCopy() const {
  auto copy = std::make_shared<CellConfig>(*this);
  for (auto& subcell : copy->subcells) {
    if (subcell) subcell = subcell->deepCopy();
  }
  return copy;
}

LimitedValue CellConfig::defaultValue(CellProperty property) {
  const auto* row = numberRow(property);
  if (!row) platform::fatalError("defaultValue asked for a cell property that has no bounds");
  return row->defaults;
}

bool CellConfig::operator==(const CellConfig& other) const {
  const bool sameNumbers =
      std::all_of(PropertyTable::rows().begin(), PropertyTable::rows().end(),
                  [&](const PropertyTable::Row& row) {
                    return !row.isCellNumber() || this->*row.cellNumber == other.*row.cellNumber;
                  });
  return sameNumbers && index == other.index && subindex == other.subindex && name == other.name &&
         colorRed == other.colorRed && colorGreen == other.colorGreen &&
         colorBlue == other.colorBlue && colorAlpha == other.colorAlpha &&
         contentUrl == other.contentUrl && contentsUrl == other.contentsUrl &&
         sameCells(subcells, other.subcells);
}

}  // namespace tessary::store
