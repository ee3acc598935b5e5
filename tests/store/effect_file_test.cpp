#include "tessary/store/effect_file.h"

#include <gtest/gtest.h>

#include <cmath>

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

// What an action gives: its text, or the message of the effect-file error it throws.
std::string outcome(const std::function<std::string()>& action) {
  try {
    return action();
  } catch (const EffectFileError& error) {
    return error.what();
  }
}

// What reading a document gives: the effect written out again, or the message.
std::string outcome(const std::string& json, const std::string& fileName = "fx.json") {
  return outcome([&] { return EffectFile::serialize(*EffectFile::parse(json, fileName)); });
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
// full parser gives, up to where it gives up (and the full parser takes over).
TEST(EffectFileTest, DocumentsReadAsTheGoldenFileSays) {
  testing::expectCasesMatchGolden("effect_file/documents.cases", 1, [](const auto& fields) {
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
    return (failed ? read : "read") + (plainRead ? "" : " [full parser]");
  });
}

// The message is one line of UTF-8: controls (C1 ones too) are escaped, a file name's bytes
// repaired.
TEST(EffectFileTest, ErrorsKeepTheirPartsAndPrintOneLineOfUtf8) {
  const EffectFileError error("my\neffect.json\xC2\x9B", "/a\nb\x7F", "\xC3\xA9\t");
  EXPECT_STREQ(error.what(), "my\\neffect.json\\u009B: /a\\nb\\u007F: \xC3\xA9\\t");
  EXPECT_EQ(outcome("[]", "bad\xFF.json"),
            "bad\xEF\xBF\xBD.json: /: expected an object, found an array");
}

// Missing values take their defaults, numbers outside their bounds widen them, colours are clamped,
// cells are numbered.
TEST(EffectFileTest, ReadsCompleteAndNumberWhatTheDocumentLeavesOut) {
  const std::string partial = readFile(testing::goldenPath("effect_file/partial.json"));
  testing::expectMatchesGolden(outcome(partial), "effect_file/partial.written.json");
  const LayerConfigRef layer = EffectFile::parse(partial, "fx.json");
  const auto numbers = [](const CellConfig& cell) { return std::tuple(cell.index, cell.subindex); };
  EXPECT_EQ(std::tuple(numbers(*layer->cells[1]), numbers(*layer->cells[2]->subcells[0]),
                       numbers(*layer->cells[2]->subcells[1])),
            std::tuple(std::tuple(1, std::nullopt), std::tuple(2, 0), std::tuple(2, 1)));
}

// The unusual effect holds every way a value can be written (extreme numbers, hostile names, the
// three kinds of texture, sub-cells three deep); the demo is written as its file holds it.
TEST(EffectFileTest, EffectsWriteBackToTheTextTheyWereReadFrom) {
  const std::string unusual = readFile(testing::goldenPath("effect_file/unusual.json"));
  EXPECT_EQ(outcome(unusual), unusual);
  EXPECT_EQ(EffectFile::serialize(*EffectFile::demo()), EffectFile::demoJson());
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

// Messages name the file (what failed and why, on reading and saving: see the program's errors).
TEST_F(EffectFileOnDiskTest, SavesLoadsAndNamesTheFileInItsMessages) {
  const fs::path file = folder_ / "effect.json";
  EffectFile::save(*EffectFile::demo(), file);
  EXPECT_EQ(readFile(file), EffectFile::demoJson());
  EXPECT_EQ(*EffectFile::load(file), *EffectFile::demo());
  fs::resize_file(file, 20);
  EXPECT_EQ(outcome([&] { return EffectFile::serialize(*EffectFile::load(file)); }),
            file.string() +
                ": line 2, column 19: syntax error while parsing value - unexpected "
                "end of input; expected '[', '{', or a literal");
}

}  // namespace
}  // namespace tessary::store
