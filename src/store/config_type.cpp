#include "tessary/store/config_type.h"

#include <utility>

namespace tessary::store {

const std::array<ConfigType, ConfigType::caseCount>& ConfigType::allCases() {
  static constexpr auto kAll = []<std::size_t... I>(std::index_sequence<I...>) {
    return std::array<ConfigType, caseCount>{ConfigType(static_cast<std::uint8_t>(I))...};
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

}  // namespace tessary::store
