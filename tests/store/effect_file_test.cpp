#include "tessary/store/effect_file.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <utility>

#include "store/plain_json_reader.h"
#include "support/generated_effects.h"
#include "support/golden_file.h"
#include "support/temporary_folder.h"
#include "support/test_seed.h"
#include "tessary/platform/well_formed_utf8.h"

namespace tessary::store {
namespace {

namespace fs = std::filesystem;
using testing::readFile;

// What reading a document gives: the effect written out again, or the message.
std::string outcome(const std::string& json, const std::string& fileName = "fx.json") {
  try {
    return EffectFile::serialize(*EffectFile::parse(json, fileName));
  } catch (const EffectFileError& error) {
    return error.what();
  }
}

// The events a JSON reader gives its handler, written out.
struct JsonEvents final : nlohmann::json_sax<nlohmann::json> {
  bool add(const std::string& event) {
    log += event + ' ';
    return true;
  }
  bool null() override { return add("null"); }
  bool boolean(bool value) override { return add(value ? "true" : "false"); }
  bool number_integer(number_integer_t value) override { return add("i" + std::to_string(value)); }
  bool number_unsigned(number_unsigned_t value) override { return add(std::to_string(value)); }
  bool number_float(number_float_t, const string_t& text) override { return add("f" + text); }
  bool string(string_t& value) override { return add('"' + value); }
  bool binary(binary_t&) override { return false; }
  bool start_object(std::size_t) override { return add("{"); }
  bool key(string_t& key) override { return add(key + ':'); }
  bool end_object() override { return add("}"); }
  bool start_array(std::size_t) override { return add("["); }
  bool end_array() override { return add("]"); }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    return false;
  }
  std::string log;
};

// Each document's message (or that it reads) is pinned; every message is one line of well-formed
// UTF-8. Texts as programs write them are read by the plain reader, which gives the events the
// full parser gives, up to where it gives up. The same document with an escape in its first key
// is read by the full parser alone, and must give the same effect or message (spaces before the
// plain key keep the columns equal).
TEST(EffectFileTest, DocumentsReadAsTheGoldenFileSays) {
  const std::string firstKey = R"("tessaryEffect")";
  testing::expectCasesMatchGolden("effect_file/documents.cases", 1, [&](const auto& fields) {
    const std::string& json = fields[0];
    const std::string read = outcome(json);
    const bool failed = read.starts_with("fx.json: ");
    EXPECT_TRUE(!failed ||
                (platform::isWellFormedUtf8(read) && read.find('\n') == std::string::npos))
        << read;
    JsonEvents plain, full;
    const bool plainRead = PlainJsonReader::read(json, plain);
    nlohmann::json::sax_parse(json, &full);
    EXPECT_TRUE(plainRead ? plain.log == full.log : full.log.starts_with(plain.log)) << json;
    if (const std::size_t at = json.find(firstKey); at != std::string::npos) {
      std::string plainKey = json, escapedKey = json;
      plainKey.replace(at, firstKey.size(), R"(     "tessaryEffect")");
      escapedKey.replace(at, firstKey.size(), R"("tessary\u0045ffect")");
      EXPECT_EQ(outcome(plainKey), outcome(escapedKey)) << json;
    }
    return (failed ? read : "read") + (plainRead ? "" : " [full parser]");
  });
}

// The message is one line: controls (C1 ones drive a terminal as well) are escaped, and a file
// name, being bytes, need not be UTF-8.
TEST(EffectFileTest, ErrorsKeepTheirPartsAndPrintOneLineOfUtf8) {
  const EffectFileError error("my\neffect.json\xC2\x9B", "/a\nb\x7F", "\xC3\xA9\t");
  EXPECT_EQ(std::tie(error.file(), error.place(), error.problem()),
            std::tuple("my\neffect.json\xC2\x9B", "/a\nb\x7F", "\xC3\xA9\t"));
  EXPECT_STREQ(error.what(), "my\\neffect.json\\u009B: /a\\nb\\u007F: \xC3\xA9\\t");
  EXPECT_EQ(outcome("[]", "bad\xFF.json"),
            "bad\xEF\xBF\xBD.json: /: expected an object, found an array");
}

TEST(EffectFileTest, ReadsTakeDefaultsWidenBoundsClampColoursAndNumberCells) {
  const auto read = [](const std::string& layer) {
    return EffectFile::parse(R"({"tessaryEffect": 1, "layer": {)" + layer + "}}", "fx.json");
  };
  const LayerConfigRef layer = read(R"("viewSize": {"width": 640}, "backgroundColor": {"blue": 0.5},
      "cells": [{"birthRate": 1000, "lifetime": {"value": -1}, "velocity": {"value": 5, "min": 10,
      "max": 20}, "scale": {"value": 1, "max": 1}, "color": {"red": 1.5, "green": -0.25,
      "alpha": 1e300}, "texture": "a b.png"}, {"texture": null}, {"subcells": [{}, {}]}])");
  const LayerConfigRef expected = read(R"("cells": [{}, {}, {"subcells": [{}, {}]}])");
  expected->viewWidth.value = 640;
  expected->backgroundBlue = 0.5;
  CellConfig& first = *expected->cells[0];
  std::tie(first.birthRate, first.lifetime, first.velocity, first.scale) =
      std::tuple(LimitedValue{1000, 0, 1000}, LimitedValue{-1, -1, 30}, LimitedValue{5, 5, 20},
                 LimitedValue{1, 0, 1});
  std::tie(first.colorRed, first.colorGreen, first.colorAlpha) = std::tuple(1.0, 0.0, 1.0);
  first.contentUrl = first.contentsUrl = platform::URL("a b.png");
  expected->cells[1]->contentsUrl = platform::URL("None");
  EXPECT_EQ(*layer, *expected);
  EXPECT_EQ(*read(""), LayerConfig());
  const CellConfig& last = *layer->cells[2]->subcells[1];
  EXPECT_EQ(std::tuple(last.index, last.subindex), std::tuple(2, std::optional(1)));
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
  EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 2);
}

// A save killed at any moment leaves the old effect or the new one, never a mix.
TEST_F(EffectFileOnDiskTest, SavesKilledAtAnyMomentLeaveTheOldOrTheNewEffect) {
  const fs::path file = folder_ / "effect.json";
  const LayerConfigRef firstEffect = testing::generateEffect(3, {.cells = 600});
  const LayerConfigRef secondEffect = testing::generateEffect(4, {.cells = 700});
  const std::string first = EffectFile::serialize(*firstEffect);
  const std::string second = EffectFile::serialize(*secondEffect);
  EffectFile::save(*firstEffect, file);
  testing::SeededRandom random;
  for (int round = 0; round < 25; ++round) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (;;) {
        EffectFile::save(*secondEffect, file);
        EffectFile::save(*firstEffect, file);
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 40'000));
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const std::string saved = readFile(file);
    EXPECT_TRUE(saved == first || saved == second)
        << "a mixed file of " << saved.size() << " bytes";
  }
}

}  // namespace
}  // namespace tessary::store
