#include "tessary/store/formatters.h"

#include <gtest/gtest.h>

#include <limits>

namespace tessary::store {
namespace {

TEST(FormattersTest, RoundedTo) {
  struct Case {
    double value;
    int digits;
    const char* expected;
  };
  const Case cases[] = {
      {120, 1, "120.0"},
      {-9.81, 1, "-9.8"},
      {-0.04, 1, "0.0"},
      {-0.0, 1, "0.0"},
      {0.5, 4, "0.5"},
      {0.123456, 4, "0.1235"},
      {1, 2, "1.0"},
      {0.05, 1, "0.1"},
      {0.25, 1, "0.2"},  // exact binary tie
      {2.675, 2, "2.67"},
      {-30, 1, "-30.0"},
      {1e21, 1, "1000000000000000000000.0"},
      {0.001, 3, "0.001"},
      {-0.0004, 3, "0.0"},
      {99.96, 1, "100.0"},
      {1.5e-7, 4, "0.0"},
      {12345.6789, 2, "12345.68"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(roundedTo(c.value, c.digits), c.expected) << c.value << " to " << c.digits;
  }
}

TEST(FormattersTest, RgbValue) {
  struct Case {
    double component;
    const char* expected;
  };
  const Case cases[] = {
      {1.0, "255/255.0"},           {0.5, "128/255.0"}, {0.0, "0/255.0"},
      {198.0 / 255.0, "198/255.0"}, {0.002, "1/255.0"}, {0.001, "0/255.0"},
  };
  for (const auto& c : cases) EXPECT_EQ(rgbValue(c.component), c.expected) << c.component;
}

TEST(FormattersTest, ShortestDecimal) {
  struct Case {
    double value;
    const char* expected;
  };
  const Case cases[] = {
      {400, "400.0"},
      {812.5, "812.5"},
      {0.1, "0.1"},
      {300, "300.0"},
      {1.0 / 3.0, "0.3333333333333333"},
  };
  for (const auto& c : cases) EXPECT_EQ(shortestDecimal(c.value), c.expected) << c.value;
}

}  // namespace
}  // namespace tessary::store
