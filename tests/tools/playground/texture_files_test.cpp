// Texture file names a page may send (only plain image names inside the effect's folder pass),
// and whether a file's bytes begin as its type does.

#include "playground/texture_files.h"

#include <gtest/gtest.h>

#include <string>

#include "support/golden_file.h"

namespace tessary::tool {
namespace {

TEST(TextureFilesTest, NamesAndContents) {
  testing::expectCasesMatchGolden(
      "playground/texture_files.cases", 2, [](const std::vector<std::string>& file) {
        return textureFileNameProblem(file[0]).value_or("plain") + " | " +
               std::string(textureContentType(file[0])) +
               (looksLikeTexture(file[0], file[1]) ? " | looks right" : " | looks wrong");
      });
}

}  // namespace
}  // namespace tessary::tool
