// `tessary-code demo --textures DIR`: every image the demo's snippet loads, as PNG files whose
// pixels a golden file pins, never replacing a person's file unless asked to.

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "support/golden_file.h"
#include "support/program_run.h"
#include "tessary/store/effect_file.h"

namespace tessary {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::runProgram;
using testing::writeFile;

std::uint32_t bigEndian(const std::string& bytes, std::size_t at) {
  const auto byte = [&](std::size_t i) {
    return std::uint32_t{static_cast<unsigned char>(bytes[at + i])};
  };
  return byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
}

// The pixels of a PNG file as the encoder writes it (8-bit RGBA, rows unfiltered), as text: the
// size, then the alpha of each row in hex; every pixel must be white. Empty for a bad file.
std::string decodedPixels(const std::string& file) {
  if (file.compare(0, 8, "\x89PNG\r\n\x1A\n", 8) != 0) return "";
  std::string header, data;
  for (std::size_t at = 8; at + 12 <= file.size();) {
    const std::size_t length = bigEndian(file, at);
    const std::string typeAndData = file.substr(at + 4, 4 + length);
    const auto* bytes = reinterpret_cast<const Bytef*>(typeAndData.data());
    if (crc32(0, bytes, static_cast<uInt>(typeAndData.size())) !=
        bigEndian(file, at + 8 + length)) {
      return "";
    }
    (typeAndData.starts_with("IHDR") ? header : data) += typeAndData.substr(4);
    at += 12 + length;
  }
  if (header.size() != 13 || header.substr(8) != std::string("\x08\x06\0\0\0", 5)) return "";
  const std::uint32_t width = bigEndian(header, 0), height = bigEndian(header, 4);
  std::string rows((width * 4 + 1) * height, '\0');
  uLongf size = rows.size();
  if (uncompress(reinterpret_cast<Bytef*>(rows.data()), &size,
                 reinterpret_cast<const Bytef*>(data.data()), data.size()) != Z_OK ||
      size != rows.size()) {
    return "";
  }
  std::string text = std::to_string(width) + "x" + std::to_string(height) + "\n";
  for (std::size_t at = 0; at < rows.size(); at += 4) {
    if (at % (width * 4 + 1) == 0 && rows[at++] != '\0') return "";
    if (rows.compare(at, 3, "\xFF\xFF\xFF") != 0) return "";
    char alpha[3];
    std::snprintf(alpha, sizeof alpha, "%02X", static_cast<unsigned char>(rows[at + 3]));
    text += alpha;
    if ((at + 4) % (width * 4 + 1) == 0) text += "\n";
  }
  return text;
}

std::set<std::string> filesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

using DemoTextureTest = testing::ProgramTest;

TEST_F(DemoTextureTest, WritesEveryImageTheSnippetLoads) {
  const fs::path images = folder_ / "Images";
  const auto run = runProgram("demo --textures " + images.string());
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, store::EffectFile::demoJson());
  std::set<std::string> loaded;
  for (const std::string platform : {"macos", "ios"}) {
    const std::string snippet = runProgram("build --format plain --platform " + platform).output;
    for (std::size_t at = snippet.find("(named:"); at != std::string::npos;
         at = snippet.find("(named:", at + 1)) {
      const std::size_t start = snippet.find('"', at) + 1;
      loaded.insert(snippet.substr(start, snippet.find('"', start) - start) + ".png");
    }
  }
  EXPECT_EQ(filesIn(images), loaded);
  std::string pixels;
  for (const std::string& name : loaded) {
    pixels += name + " " + decodedPixels(readFile(images / name));
  }
  testing::expectMatchesGolden(pixels, "demo_textures.txt");
}

// A failure says what and where on one line, exits 2 and leaves the folder as it was.
TEST_F(DemoTextureTest, KeepsAPersonsFilesAndWritesNothingOnFailure) {
  const fs::path images = folder_ / "Images";
  fs::create_directory(images);
  writeFile(images / "flame.png", "mine");
  struct Row {
    std::string arguments;
    int status;
    std::string output;  // its beginning, standard error included unless redirected
    std::set<std::string> files;
  };
  const std::string flame = (images / "flame.png").string();
  const Row rows[] = {
      {"demo --textures " + images.string(),
       2,
       "tessary-code: " + flame + ": already exists; add --force to replace it\n",
       {"flame.png"}},
      {"demo --textures " + path("fire.json"),
       2,
       "tessary-code: " + path("fire.json") + ": cannot make the folder: ",
       {"flame.png"}},
      {"demo --textures ''", 2, "tessary-code: --textures: no folder given\n", {"flame.png"}},
      {"demo --force",
       2,
       "tessary-code: --force requires --textures; see 'tessary-code demo --help'\n",
       {"flame.png"}},
      {"demo --textures " + (images / "New").string() + " >/dev/full", 2, "", {"flame.png"}},
      {"demo --force --textures " + images.string() + " >/dev/full", 2, "", {"flame.png"}},
      {"demo --force --textures " + images.string(),
       0,
       "{\n",
       {"flame.png", "sparkle.png", "Spark.png", "smoke.png"}},
  };
  for (const Row& row : rows) {
    const auto run = runProgram(row.arguments);
    EXPECT_EQ(run.status, row.status) << row.arguments;
    EXPECT_TRUE(run.output.starts_with(row.output)) << row.arguments << "\n" << run.output;
    EXPECT_EQ(filesIn(images), row.files) << row.arguments;
    EXPECT_EQ(readFile(images / "flame.png") == "mine", row.status != 0) << row.arguments;
  }
}

}  // namespace
}  // namespace tessary
