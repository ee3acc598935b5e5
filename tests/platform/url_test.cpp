#include "tessary/platform/url.h"

#include <gtest/gtest.h>

#include "support/golden_file.h"

namespace tessary::platform {
namespace {

// Per text: the URL without its path extension, and its last path component.
TEST(URLTest, PathOperations) {
  testing::expectCasesMatchGolden("urls.cases", 1, [](const auto& fields) {
    const URL url(fields[0]);
    EXPECT_EQ(url.absoluteString(), fields[0]);
    return url.deletingPathExtension().absoluteString() + " | " + url.lastPathComponent();
  });
}

}  // namespace
}  // namespace tessary::platform
