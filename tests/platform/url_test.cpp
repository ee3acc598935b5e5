#include "tessary/platform/url.h"

#include <gtest/gtest.h>

namespace tessary::platform {
namespace {

struct UrlCase {
  const char* text;
  const char* withoutExtension;
  const char* lastComponent;
};

TEST(URLTest, PathOperations) {
  const UrlCase cases[] = {
      {"star.png", "star", "star.png"},
      {"fire.big.png", "fire.big", "fire.big.png"},
      {"textures/star.png", "textures/star", "star.png"},
      {"file:///home/me/my%20star.png", "file:///home/me/my%20star", "my star.png"},
      {"None", "None", "None"},
      {"Spark", "Spark", "Spark"},
      {".png", ".png", ".png"},
      {"dir.d/file", "dir.d/file", "file"},
      {"textures/", "textures/", "textures"},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    const URL url(c.text);
    EXPECT_EQ(url.absoluteString(), c.text);
    EXPECT_EQ(url.deletingPathExtension().absoluteString(), c.withoutExtension) << c.text;
    EXPECT_EQ(url.lastPathComponent(), c.lastComponent) << c.text;
  }
}

}  // namespace
}  // namespace tessary::platform
