#include "tessary/store/effect_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <utility>

#include "support/generated_effects.h"
#include "support/golden_file.h"
#include "support/temporary_folder.h"
#include "support/test_seed.h"
#include "tessary/platform/well_formed_utf8.h"

namespace tessary::store {
namespace {

namespace fs = std::filesystem;
using testing::readFile;

// The documents file writes bytes outside printable ASCII as \xHH.
std::string decoded(std::string_view line) {
  std::string bytes;
  for (std::size_t at = 0; at < line.size(); ++at) {
    if (line.substr(at, 2) != "\\x") {
      bytes += line[at];
      continue;
    }
    bytes += static_cast<char>(std::stoi(std::string(line.substr(at + 2, 2)), nullptr, 16));
    at += 3;
  }
  return bytes;
}

// What reading a document gives: the effect written out again, or the message.
std::string outcome(const std::string& json, const std::string& fileName = "fx.json") {
  try {
    return EffectFile::serialize(*EffectFile::parse(json, fileName));
  } catch (const EffectFileError& error) {
    return error.what();
  }
}

// Each document's message (or that it reads) is pinned; every message is one line of well-formed
// UTF-8. Texts as programs write them are read by a fast reader, others by the full JSON parser:
// the same document with an escape in its first key is read by the full parser from the start,
// and must give the same effect or message (spaces before the plain key keep the columns equal).
TEST(EffectFileTest, DocumentsReadAsTheGoldenFileSays) {
  std::istringstream lines(
      readFile(fs::path(TESSARY_SOURCE_DIR) / "tests/golden/effect_file/documents.txt"));
  const std::string firstKey = R"("tessaryEffect")";
  std::string text;
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with("  ")) continue;
    text += line + "\n";
    if (line.starts_with("#")) continue;
    const std::string json = decoded(line);
    const std::string read = outcome(json);
    const bool failed = read.starts_with("fx.json: ");
    EXPECT_TRUE(!failed ||
                (platform::isWellFormedUtf8(read) && read.find('\n') == std::string::npos))
        << read;
    text += "  " + (failed ? read : "read") + "\n";
    if (const std::size_t at = json.find(firstKey); at != std::string::npos) {
      std::string plain = json, escaped = json;
      plain.replace(at, firstKey.size(), R"(     "tessaryEffect")");
      escaped.replace(at, firstKey.size(), R"("tessary\u0045ffect")");
      EXPECT_EQ(outcome(plain), outcome(escaped)) << line;
    }
  }
  testing::expectMatchesGolden(text, "effect_file/documents.txt");
}

TEST(EffectFileTest, ErrorsKeepTheirPartsAndPrintOneLineOfUtf8) {
  try {
    EffectFile::parse(R"({"tessaryEffect": 1, "a\nb": 1})", "my\neffect.json");
    FAIL() << "expected an EffectFileError";
  } catch (const EffectFileError& error) {
    EXPECT_EQ(error.file(), "my\neffect.json");
    EXPECT_EQ(error.place(), "/a\nb");
    EXPECT_EQ(error.problem(), "unknown key; expected one of: tessaryEffect, layer");
    EXPECT_STREQ(error.what(),
                 "my\\neffect.json: /a\\nb: unknown key; expected one of: tessaryEffect, layer");
  }
  // C1 controls can drive a terminal as well, and a file name is bytes, not always UTF-8.
  EXPECT_STREQ(EffectFileError("f\xC2\x9B", "p\x7F", "\xC3\xA9\t").what(),
               "f\\u009B: p\\u007F: \xC3\xA9\\t");
  EXPECT_EQ(outcome("[]", "bad\xFF.json"),
            "bad\xEF\xBF\xBD.json: /: expected an object, found an array");
}

TEST(EffectFileTest, ReadsTakeDefaultsWidenBoundsClampColoursAndNumberCells) {
  const auto layer = EffectFile::parse(R"({"tessaryEffect": 1, "layer": {"viewSize": {"width": 640},
      "emitterPosition": {"y": 20}, "backgroundColor": {"blue": 0.5}, "cells": [{"birthRate": 1000,
      "lifetime": {"value": -1}, "velocity": {"value": 5, "min": 10, "max": 20},
      "scale": {"value": 1, "max": 1}, "color": {"red": 1.5, "green": -0.25, "blue": 0.5, "alpha": 1e300},
      "texture": "textures/fire ball.png"}, {"texture": null}, {"subcells": [{}, {}]}]}})",
                                       "fx.json");
  LayerConfig expected;
  expected.viewWidth.value = 640;
  expected.emitterPositionY.value = 20;
  expected.backgroundBlue = 0.5;
  for (int index = 0; index < 3; ++index) {
    expected.cells.push_back(std::make_shared<CellConfig>());
    expected.cells[index]->index = index;
  }
  CellConfig& first = *expected.cells[0];
  first.birthRate = {1000, 0, 1000};
  first.lifetime = {-1, -1, 30};
  first.velocity = {5, 5, 20};
  first.scale = {1, 0, 1};
  std::tie(first.colorRed, first.colorGreen, first.colorBlue, first.colorAlpha) =
      std::tuple(1.0, 0.0, 0.5, 1.0);
  first.contentUrl = first.contentsUrl = platform::URL("textures/fire ball.png");
  expected.cells[1]->contentsUrl = platform::URL("None");
  for (int subindex = 0; subindex < 2; ++subindex) {
    expected.cells[2]->subcells.push_back(std::make_shared<CellConfig>());
    expected.cells[2]->subcells[subindex]->index = 2;
    expected.cells[2]->subcells[subindex]->subindex = subindex;
  }
  EXPECT_EQ(*layer, expected);
  EXPECT_EQ(*EffectFile::parse(R"({"tessaryEffect": 1})", "fx.json"), LayerConfig());
}

// The unusual effect holds every way a value can be written: extreme, tiny and signed-zero
// numbers, quotes, controls, NUL and line separators in names, the three kinds of texture and
// sub-cells three deep. The demo is written exactly as the file holds it.
TEST(EffectFileTest, EffectsWriteBackToTheTextTheyWereReadFrom) {
  const std::string unusual =
      readFile(fs::path(TESSARY_SOURCE_DIR) / "tests/golden/effect_file/unusual.json");
  EXPECT_EQ(outcome(unusual), unusual);
  EXPECT_EQ(EffectFile::serialize(*EffectFile::demo()), EffectFile::demoJson());
  EXPECT_EQ(*EffectFile::demo(), *EffectFile::parse(EffectFile::demoJson(), "demo"));
  testing::SeededRandom random;
  for (int round = 0; round < 20; ++round) {
    const LayerConfigRef effect = testing::generateEffect(random());
    const std::string text = EffectFile::serialize(*effect);
    EXPECT_EQ(*EffectFile::parse(text, "fx.json"), *effect);
    EXPECT_EQ(outcome(text), text);
  }
}

TEST(EffectFileTest, WritesValidJsonWhateverTheStoreHolds) {
  LayerConfig layer;
  layer.cells.push_back(std::make_shared<CellConfig>());
  layer.cells[0]->name = "a\xFF\xC3";
  EXPECT_EQ(EffectFile::parse(EffectFile::serialize(layer), "fx.json")->cells[0]->name,
            "a\xEF\xBF\xBD\xEF\xBF\xBD");
  layer.cells[0]->colorRed = std::nan("");
  EXPECT_DEATH(EffectFile::serialize(layer), "an effect holds a number that is not finite");
}

using EffectFileOnDiskTest = testing::TemporaryFolderTest;

TEST_F(EffectFileOnDiskTest, SavesLoadsAndNamesTheFileInItsMessages) {
  const fs::path file = folder_ / "effect.json", bad = folder_ / "bad.json";
  EffectFile::save(*EffectFile::demo(), file);
  EXPECT_EQ(readFile(file), EffectFile::demoJson());
  EXPECT_EQ(*EffectFile::load(file), *EffectFile::demo());
  EffectFile::save(LayerConfig(), bad);
  fs::resize_file(bad, 20);
  const std::string missing = (folder_ / "missing.json").string();
  const std::string inMissingFolder = (folder_ / "missing" / "effect.json").string();
  const std::pair<std::function<void()>, std::string> rows[] = {
      {[&] { EffectFile::load(missing); }, missing + ": cannot read: No such file or directory"},
      {[&] { EffectFile::load(folder_); }, folder_.string() + ": cannot read: Is a directory"},
      {[&] { EffectFile::load(bad); },
       bad.string() + ": line 2, column 19: syntax error while parsing value - unexpected end of "
                      "input; expected '[', '{', or a literal"},
      {[] { EffectFile::save(LayerConfig(), "/dev/full"); },
       "/dev/full: cannot save: not a regular file; refusing to replace it"},
      {[&] { EffectFile::save(LayerConfig(), inMissingFolder); },
       inMissingFolder + ": cannot save: No such file or directory"},
  };
  for (const auto& [action, message] : rows) {
    try {
      action();
      ADD_FAILURE() << "no error; expected " << message;
    } catch (const EffectFileError& error) {
      EXPECT_EQ(error.what(), message);
    }
  }
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 2);
}

}  // namespace
}  // namespace tessary::store
