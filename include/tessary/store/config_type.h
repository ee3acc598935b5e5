#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "tessary/store/key_path.h"
#include "tessary/store/non_digit_characters.h"
#include "tessary/store/property_table.h"

namespace tessary::store {

// The editable properties of an effect, one for each row of the property table. Each has a raw
// value (a readable text the edit analysis keys its patterns by) and a path, the key path under
// which the snippet records the property's line. The emitter position and size lines are
// recorded under their X and width key paths.
class ConfigType {
 public:
  static constexpr std::size_t caseCount = PropertyTable::rows().size();

  // The type of a property named by a constant: `ConfigType(CellProperty::lifetime)`. A property
  // of no type does not compile.
  consteval ConfigType(LayerProperty property)  // NOLINT(google-explicit-constructor)
      : index_(indexOf(property)) {}
  consteval ConfigType(CellProperty property)  // NOLINT(google-explicit-constructor)
      : index_(indexOf(property)) {}

  // The characters a number text read from the snippet must not hold.
  static constexpr NonDigitCharacters nonDigits{};

  // The type whose raw value is `rawValue`, if any.
  static std::optional<ConfigType> fromRawValue(std::string_view rawValue);
  // The type whose path equals `keypath`; none for a key path of no editable property.
  static constexpr std::optional<ConfigType> fromKeyPath(AnyKeyPath keypath) {
    const auto index = PropertyTable::indexOf(keypath);
    if (!index) return std::nullopt;
    return ConfigType(static_cast<std::uint8_t>(*index));
  }
  static const std::array<ConfigType, caseCount>& allCases();

  // The position of the type's row in the property table, from 0 to `caseCount` - 1.
  constexpr std::size_t index() const { return index_; }
  constexpr const PropertyTable::Row& row() const { return PropertyTable::rows()[index_]; }
  constexpr std::string_view rawValue() const { return row().typeName; }
  constexpr AnyKeyPath path() const { return row().path; }

  constexpr bool operator==(const ConfigType&) const = default;

 private:
  explicit constexpr ConfigType(std::uint8_t index) : index_(index) {}

  static consteval std::uint8_t indexOf(AnyKeyPath path) {
    const auto index = PropertyTable::indexOf(path);
    if (!index) throw std::logic_error("a property of no editable type");
    return static_cast<std::uint8_t>(*index);
  }

  std::uint8_t index_;
};

}  // namespace tessary::store
