#include "tessary/code_editor/code_platform.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tessary::code_editor {
namespace {

using store::AnyKeyPath;
using store::CellProperty;
using store::LayerProperty;

TEST(CodePlatformTest, RawValuesAndSegments) {
  EXPECT_EQ(CodePlatform::fromRawValue("macOS"), CodePlatform::macOS);
  EXPECT_EQ(CodePlatform::fromRawValue("iOS"), CodePlatform::iOS);
  for (const char* bad : {"macos", "MACOS", "", "iOS ", "ios"}) {
    EXPECT_FALSE(CodePlatform::fromRawValue(bad).has_value()) << bad;
  }
  EXPECT_EQ(CodePlatform::fromSegment(0), CodePlatform::macOS);
  EXPECT_EQ(CodePlatform::fromSegment(1), CodePlatform::iOS);
  EXPECT_EQ(CodePlatform::fromSegment(2), CodePlatform::iOS);
  EXPECT_EQ(CodePlatform::fromSegment(-1), CodePlatform::iOS);
  EXPECT_EQ(CodePlatform(CodePlatform::macOS).segment(), 0);
  EXPECT_EQ(CodePlatform(CodePlatform::iOS).segment(), 1);
  EXPECT_NE(std::hash<CodePlatform>{}(CodePlatform::macOS),
            std::hash<CodePlatform>{}(CodePlatform::iOS));
}

TEST(CodePlatformTest, Mirroring) {
  store::LayerConfig layer;
  layer.emitterHeight.value = 100;
  struct Case {
    AnyKeyPath key;
    double macSign;
    std::optional<double> macGet;
    double macGetWithLayer;
  };
  const Case cases[] = {
      {CellProperty::yAcceleration, -1, -5, -5},
      {CellProperty::emissionLatitude, -1, -5, -5},
      {CellProperty::emissionLongitude, -1, -5, -5},
      {CellProperty::spin, -1, -5, -5},
      {LayerProperty::emitterPositionY, -1, std::nullopt, 95},
      {CellProperty::xAcceleration, 1, 5, 5},
      {LayerProperty::emitterPositionX, 1, 5, 5},
      {AnyKeyPath(CellProperty::spin).appendingValue(), 1, 5, 5},
  };
  const CodePlatform mac = CodePlatform::macOS;
  const CodePlatform ios = CodePlatform::iOS;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key.description());
    EXPECT_EQ(mac.getPlatformSign(c.key), c.macSign);
    EXPECT_EQ(mac.get(5, c.key), c.macGet);
    EXPECT_EQ(mac.get(5, c.key, layer), c.macGetWithLayer);
    EXPECT_EQ(ios.getPlatformSign(c.key), 1.0);
    EXPECT_EQ(ios.get(5, c.key), 5.0);
    EXPECT_EQ(ios.get(5, c.key, layer), 5.0);
  }
  EXPECT_TRUE(std::signbit(*mac.get(0.0, CellProperty::spin)));
}

}  // namespace
}  // namespace tessary::code_editor
