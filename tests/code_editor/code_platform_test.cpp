#include "tessary/code_editor/code_platform.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tessary/store/property_table.h"

namespace tessary::code_editor {
namespace {

TEST(CodePlatformTest, NamesAndSegments) {
  EXPECT_EQ(CodePlatform::fromRawValue("macOS"), CodePlatform::macOS);
  EXPECT_EQ(CodePlatform::fromRawValue("iOS"), CodePlatform::iOS);
  for (const char* bad : {"macos", "", "iOS ", "ios"})
    EXPECT_FALSE(CodePlatform::fromRawValue(bad));
  for (const int segment : {0, 1, 2, -1}) {
    EXPECT_EQ(CodePlatform::fromSegment(segment).segment(), segment == 0 ? 0 : 1);
  }
}

// On macOS the y axis points up: the rows marked mirrored change sign, and the emitter's Y is
// measured from the bottom of the view (a view 100 high shows 5 as 95).
TEST(CodePlatformTest, MacOSMirrorsTheRowsMarkedSo) {
  store::LayerConfig layer;
  layer.viewHeight.value = 100;
  const CodePlatform mac = CodePlatform::macOS, ios = CodePlatform::iOS;
  for (const store::PropertyTable::Row& row : store::PropertyTable::rows()) {
    SCOPED_TRACE(row.typeName);
    const double sign = row.mirroredOnMacOS ? -1 : 1;
    const bool fromBottom = row.path == store::LayerProperty::emitterPositionY;
    EXPECT_EQ(mac.getPlatformSign(row.path), sign);
    EXPECT_EQ(mac.get(5, row.path), fromBottom ? std::nullopt : std::optional(5 * sign));
    EXPECT_EQ(mac.get(5, row.path, layer), fromBottom ? 95 : 5 * sign);
    EXPECT_EQ(ios.getPlatformSign(row.path) * ios.get(5, row.path, layer), 5.0);
    EXPECT_EQ(ios.get(5, row.path), 5.0);
  }
  EXPECT_EQ(mac.getPlatformSign(store::AnyKeyPath(store::CellProperty::spin).appendingValue()), 1);
  EXPECT_TRUE(std::signbit(*mac.get(0.0, store::CellProperty::spin)));
}

}  // namespace
}  // namespace tessary::code_editor
