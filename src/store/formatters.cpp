#include "tessary/store/formatters.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string_view>

namespace tessary::store {

namespace {

// Big enough for any double in fixed notation with up to a few fraction digits.
using NumberBuffer = std::array<char, 400>;

std::string_view written(const NumberBuffer& buffer, const std::to_chars_result& result) {
  return {buffer.data(), static_cast<std::size_t>(result.ptr - buffer.data())};
}

}  // namespace

std::string roundedTo(double value, int digits) {
  NumberBuffer buffer;
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                    std::chars_format::fixed, digits);
  std::string_view text = written(buffer, result);
  if (!std::isfinite(value)) return std::string(text);

  const std::size_t point = text.find('.');
  if (point == std::string_view::npos) {
    std::string whole(text);
    whole += ".0";
    return whole;
  }
  std::size_t end = text.size();
  while (end > point + 2 && text[end - 1] == '0') --end;
  text = text.substr(0, end);

  if (text.front() == '-' && text.find_first_not_of("0.", 1) == std::string_view::npos) {
    text.remove_prefix(1);
  }
  return std::string(text);
}

std::string rgbValue(double component) {
  std::string text = std::to_string(static_cast<long long>(std::round(component * 255.0)));
  text += "/255.0";
  return text;
}

std::string shortestDecimal(double value) {
  NumberBuffer buffer;
  const auto result =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed);
  std::string text(written(buffer, result));
  if (std::isfinite(value) && text.find('.') == std::string::npos) text += ".0";
  return text;
}

}  // namespace tessary::store
