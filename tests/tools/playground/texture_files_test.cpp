// Texture file names a page may send: only plain image names inside the effect's folder pass, and
// a file passes only with the bytes its type begins with.

#include "playground/texture_files.h"

#include <gtest/gtest.h>

#include <string>

namespace tessary::tool {
namespace {

using namespace std::string_literals;

TEST(TextureFilesTest, OnlyPlainImageNamesPass) {
  struct Row {
    std::string name;
    bool passes;
  };
  const Row rows[] = {
      {"flame.png", true},
      {"Flame Ü.JPEG", true},
      {"a.b.webp", true},
      {std::string(251, 'x') + ".gif", true},
      {std::string(252, 'x') + ".gif", false},
      {"", false},
      {".png", false},
      {"..png", false},
      {"../flame.png", false},
      {"..\\flame.png", false},
      {"/etc/flame.png", false},
      {"sub/flame.png", false},
      {"C:flame.png", false},
      {".hidden.png", false},
      {"flame.png\n", false},
      {"fla\x7Fme.png", false},
      {"fla\0me.png"s, false},
      {"flame.png.sh", false},
      {"flame.svg", false},
      {"png", false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(!textureFileNameProblem(row.name).has_value(), row.passes) << row.name;
  }
}

TEST(TextureFilesTest, ContentsMustBeginAsTheNamedTypeDoes) {
  struct Row {
    std::string name;
    std::string bytes;
    bool looksRight;
    std::string contentType;
  };
  const std::string png = "\x89PNG\r\n\x1A\n....";
  const Row rows[] = {
      {"a.png", png, true, "image/png"},
      {"a.PNG", png, true, "image/png"},
      {"a.png", png.substr(0, 7), false, "image/png"},
      {"a.jpg", "\xFF\xD8\xFF\xE0", true, "image/jpeg"},
      {"a.jpeg", png, false, "image/jpeg"},
      {"a.gif", "GIF89a", true, "image/gif"},
      {"a.webp", "RIFF\x10\0\0\0WEBPVP8 "s, true, "image/webp"},
      {"a.webp", "RIFF\x10\0\0\0WAVEfmt "s, false, "image/webp"},
      {"a.webp", "RIFF", false, "image/webp"},
      {"a.txt", png, false, "application/octet-stream"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(looksLikeTexture(row.name, row.bytes), row.looksRight) << row.name;
    EXPECT_EQ(textureContentType(row.name), row.contentType) << row.name;
  }
}

}  // namespace
}  // namespace tessary::tool
