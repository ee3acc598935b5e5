#include "tessary/store/formatters.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace tessary::store {
namespace {

TEST(FormattersTest, NumbersAsTheSnippetWritesThem) {
  // clang-format off
  const std::pair<std::string, std::string> rows[] = {
      {roundedTo(120, 1), "120.0"}, {roundedTo(-9.81, 1), "-9.8"}, {roundedTo(-0.04, 1), "0.0"},
      {roundedTo(-0.0, 1), "0.0"}, {roundedTo(0.5, 4), "0.5"}, {roundedTo(0.123456, 4), "0.1235"},
      {roundedTo(1, 2), "1.0"}, {roundedTo(0.05, 1), "0.1"}, {roundedTo(0.25, 1), "0.2"},
      {roundedTo(2.675, 2), "2.67"}, {roundedTo(-30, 1), "-30.0"}, {roundedTo(0.001, 3), "0.001"},
      {roundedTo(1e21, 1), "1000000000000000000000.0"}, {roundedTo(-0.0004, 3), "0.0"},
      {roundedTo(99.96, 1), "100.0"}, {roundedTo(1.5e-7, 4), "0.0"},
      {roundedTo(12345.6789, 2), "12345.68"}, {rgbValue(1.0), "255/255.0"},
      {rgbValue(0.5), "128/255.0"}, {rgbValue(0.0), "0/255.0"}, {rgbValue(0.002), "1/255.0"},
      {rgbValue(198.0 / 255.0), "198/255.0"}, {rgbValue(0.001), "0/255.0"},
      {shortestDecimal(400), "400.0"}, {shortestDecimal(812.5), "812.5"},
      {shortestDecimal(0.1), "0.1"}, {shortestDecimal(1.0 / 3.0), "0.3333333333333333"}};
  // clang-format on
  for (const auto& [formatted, expected] : rows) EXPECT_EQ(formatted, expected);
}

}  // namespace
}  // namespace tessary::store
