// Saving over a file a person laid out: only the changed values are written anew.

#include "tessary/store/effect_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "support/generated_effects.h"
#include "support/golden_file.h"
#include "support/temporary_folder.h"
#include "support/test_seed.h"
#include "tessary/store/data_store.h"
#include "tessary/store/property_table.h"

namespace tessary::store {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using OrderedJson = nlohmann::ordered_json;

std::size_t pick(std::mt19937& random, std::size_t count) {
  return std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
}

// The text's pieces: runs of spaces, single punctuation marks, strings, and the other values.
std::vector<std::string> tokens(const std::string& text) {
  std::vector<std::string> pieces;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = at + 1;
    if (text[at] == '"') {
      while (text[end] != '"') end += text[end] == '\\' ? 2 : 1;
      ++end;
    } else if (std::string(" \t\r\n").find(text[at]) != std::string::npos) {
      end = text.find_first_not_of(" \t\r\n", at);
    } else if (std::string("{}[]:,").find(text[at]) == std::string::npos) {
      end = text.find_first_of(" \t\r\n{}[]:,", at);
    }
    end = std::min(end, text.size());
    pieces.push_back(text.substr(at, end - at));
    at = end;
  }
  return pieces;
}

// Whether `after` differs from `before` only in values: the same spaces, punctuation and keys.
::testing::AssertionResult onlyValuesDiffer(const std::string& before, const std::string& after) {
  const std::vector<std::string> from = tokens(before), to = tokens(after);
  if (from.size() != to.size()) return ::testing::AssertionFailure() << "pieces added or lost";
  for (std::size_t i = 0; i < from.size(); ++i) {
    const bool isKey = i + 1 < from.size() && from[i + 1].find(':') == 0;
    const bool isValue = std::string(" \t\r\n{}[]:,").find(from[i][0]) == std::string::npos;
    if (from[i] != to[i] && (isKey || !isValue)) {
      return ::testing::AssertionFailure() << "'" << from[i] << "' became '" << to[i] << "'";
    }
  }
  return ::testing::AssertionSuccess();
}

// The file as a person might write it: keys in any order, keys at their defaults left out, any
// indentation, objects on one line or many, CRLF, a byte-order mark, other spellings of numbers
// and escaped non-ASCII letters.
class HandFormatter {
 public:
  explicit HandFormatter(std::mt19937& random) : random_(random) {
    LayerConfig defaults;
    defaults.cells.push_back(std::make_shared<CellConfig>());
    layerDefaults_ = OrderedJson::parse(EffectFile::serialize(defaults))["layer"];
    indent_ = std::vector<std::string>{" ", "   ", "\t", "    "}[pick(random_, 4)];
    newline_ = pick(random_, 2) ? "\n" : "\r\n";
  }

  std::string format(const std::string& json) {
    std::string out = pick(random_, 4) == 0 ? "\xEF\xBB\xBF" : "";
    value(OrderedJson::parse(json), nullptr, 0, out);
    return out + newline_;
  }

 private:
  void value(const OrderedJson& json, const OrderedJson* defaults, int depth, std::string& out) {
    if (json.is_structured()) {
      container(json, defaults, depth, out);
    } else if (json.is_number_float()) {
      char text[32];
      const double number = json.get<double>();
      std::snprintf(text, sizeof text, pick(random_, 2) ? "%.17g" : "%.3f", number);
      const bool exact = std::strtod(text, nullptr) == number;
      out += exact && pick(random_, 2) ? text : json.dump();
    } else {
      out += json.dump(-1, ' ', pick(random_, 2) == 0);
    }
  }

  void container(const OrderedJson& json, const OrderedJson* defaults, int depth,
                 std::string& out) {
    std::vector<std::pair<std::string, const OrderedJson*>> items;
    for (const auto& [key, item] : json.items()) {
      const bool isDefault = json.is_object() && defaults && defaults->contains(key) &&
                             (*defaults)[key] == item && !item.is_array();
      if (!isDefault || pick(random_, 2)) items.emplace_back(key, &item);
    }
    if (json.is_object()) std::shuffle(items.begin(), items.end(), random_);
    const bool compact = depth > 2 && pick(random_, 2);
    out += json.is_object() ? '{' : '[';
    for (std::size_t i = 0; i < items.size(); ++i) {
      out += i > 0 ? "," : "";
      if (compact) {
        out += " ";
      } else {
        out += newline_;
        for (int level = 0; level <= depth; ++level) out += indent_;
      }
      const auto& [key, item] = items[i];
      if (json.is_object()) out += OrderedJson(key).dump() + (pick(random_, 3) ? ": " : " :");
      const OrderedJson* inner = key == "layer"                        ? &layerDefaults_
                                 : json.is_array()                     ? &layerDefaults_["cells"][0]
                                 : defaults && defaults->contains(key) ? &(*defaults)[key]
                                                                       : nullptr;
      value(*item, inner, depth + 1, out);
    }
    if (!compact && !items.empty()) {
      out += newline_;
      for (int level = 0; level < depth; ++level) out += indent_;
    }
    out += json.is_object() ? '}' : ']';
  }

  std::mt19937& random_;
  OrderedJson layerDefaults_;
  std::string indent_;
  std::string newline_;
};

// One change a person could make in the playground: mostly a number, sometimes a colour, name,
// texture or emitter shape, or a cell more or less.
void randomEdit(LayerConfig& layer, std::mt19937& random) {
  CellConfig* cell =
      layer.cells.empty() ? nullptr : layer.cells[pick(random, layer.cells.size())].get();
  if (cell && !cell->subcells.empty() && pick(random, 2)) cell = cell->subcells.back().get();
  const auto rows = PropertyTable::rows();
  const PropertyTable::Row& row = rows[pick(random, rows.size())];
  const std::size_t kind = pick(random, 16);
  if (kind < 10 && (row.isLayerNumber() || (row.isCellNumber() && cell))) {
    LimitedValue& number =
        cell && row.isCellNumber() ? cell->*row.cellNumber : layer.*row.layerNumber;
    if (kind < 7) {
      number.setValue(std::uniform_real_distribution<double>(number.min, number.max)(random));
    } else {
      testing::randomize(number, random);
    }
  } else if (kind < 12 && cell) {
    (pick(random, 2) ? cell->colorGreen : layer.backgroundAlpha) = testing::randomComponent(random);
  } else if (kind == 12 && cell) {
    cell->name = testing::hostileNames()[pick(random, testing::hostileNames().size())];
  } else if (kind == 13 && cell) {
    const CellConfigRef textured =
        testing::generateEffect(static_cast<std::uint32_t>(random()), {.cells = 1})->cells[0];
    cell->contentUrl = textured->contentUrl;
    cell->contentsUrl = textured->contentsUrl;
  } else if (kind == 14) {
    layer.emitterShape = allEmitterShapes[pick(random, allEmitterShapes.size())];
  } else if (kind == 15 && !layer.cells.empty() && pick(random, 2)) {
    layer.cells.pop_back();
  } else {
    layer.cells.push_back(std::make_shared<CellConfig>());
  }
  DataStore::renumberCells(layer);
}

using EffectFilePatchTest = testing::TemporaryFolderTest;

// A hand-formatted file with CRLF or a byte-order mark keeps them; the changes that have a value
// in the file to replace keep everything else; any other change writes the whole effect.
TEST_F(EffectFilePatchTest, EditsOfAHandFormattedFileChangeOnlyTheirValues) {
  const fs::path file = folder_ / "effect.json";
  const auto edited = [](LayerConfig& layer) {
    CellConfig& flame = *layer.cells[0];
    CellConfig& spark = *flame.subcells[0];
    flame.birthRate = {150, 0, 400};
    flame.lifetime.setValue(2.5);
    flame.velocity.setValue(0.0);
    flame.colorGreen = 0.5;
    flame.name = "caf\xC3\xA9 \"hot\"";
    flame.contentUrl.reset();
    flame.contentsUrl = platform::URL("None");
    spark.contentUrl = spark.contentsUrl = platform::URL("spark.png");
    spark.scale.setValue(0.07);
    layer.cells[1]->spin.setValue(-30);
    layer.emitterShape = EmitterShape::rectangle;
    layer.emitterPositionX.setValue(180.5);
  };
  const std::function<void(LayerConfig&)> rewrites[] = {
      [](LayerConfig& layer) { layer.cells[1]->lifetime.setValue(3); },
      [](LayerConfig& layer) { layer.cells[0]->lifetime.setValue(40); },
      [](LayerConfig& layer) { layer.cells[1]->velocity.setValue(100); },
      [](LayerConfig& layer) { layer.cells[0]->subcells.clear(); },
      [](LayerConfig& layer) { layer.cells[1]->contentsUrl = platform::URL("None"); },
      [](LayerConfig& layer) { layer.cells[0]->contentUrl = layer.cells[0]->contentsUrl = {}; },
      [](LayerConfig& layer) { layer.backgroundAlpha = 0.5; },
  };
  const std::string hand = readFile(testing::goldenPath("effect_file/hand_formatted.json"));
  std::string saved;
  for (const auto& [prefix, newline] : {std::pair("", "\n"), {"\xEF\xBB\xBF", "\r\n"}}) {
    std::string text = prefix;
    for (const char c : hand) text += c == '\n' ? std::string(newline) : std::string(1, c);
    std::ofstream(file, std::ios::binary) << text;
    const LayerConfigRef layer = EffectFile::load(file);
    edited(*layer);
    EffectFile::save(*layer, file);
    EXPECT_EQ(*EffectFile::load(file), *layer);
    EXPECT_TRUE(onlyValuesDiffer(text, readFile(file)));
    if (saved.empty()) saved = readFile(file);
  }
  testing::expectMatchesGolden(saved, "effect_file/hand_formatted.saved.json");
  for (const auto& rewrite : rewrites) {
    std::ofstream(file, std::ios::binary) << hand;
    const LayerConfigRef layer = EffectFile::load(file);
    rewrite(*layer);
    EffectFile::save(*layer, file);
    EXPECT_EQ(readFile(file), EffectFile::serialize(*layer));
  }
  // A file the reader refuses, here for a repeated key, is no effect to keep.
  std::ofstream(file, std::ios::binary) << R"({"tessaryEffect": 1, "tessaryEffect": 1})";
  EffectFile::save(LayerConfig(), file);
  EXPECT_EQ(readFile(file), EffectFile::serialize(LayerConfig()));
}

// For random edits of random hand-formatted files, the saved file reads as the effect a whole
// rewrite would give, and differs from the file before only in values.
TEST_F(EffectFilePatchTest, SavesReadAsAWholeRewriteAndKeepAllButValues) {
  const fs::path file = folder_ / "effect.json";
  testing::SeededRandom random;
  int kept = 0;
  constexpr int kRounds = 120;
  for (int round = 0; round < kRounds; ++round) {
    const LayerConfigRef generated = testing::generateEffect(
        static_cast<std::uint32_t>(random()), {.cells = static_cast<int>(pick(random, 4))});
    const std::string hand = HandFormatter(random).format(EffectFile::serialize(*generated));
    std::ofstream(file, std::ios::binary) << hand;
    const LayerConfigRef layer = EffectFile::load(file);
    for (std::size_t edits = 1 + pick(random, 3); edits > 0; --edits) randomEdit(*layer, random);
    EffectFile::save(*layer, file);
    const std::string saved = readFile(file), whole = EffectFile::serialize(*layer);
    EXPECT_EQ(EffectFile::serialize(*EffectFile::load(file)),
              EffectFile::serialize(*EffectFile::parse(whole, "whole")));
    if (saved == whole) continue;
    ++kept;
    EXPECT_TRUE(onlyValuesDiffer(hand, saved)) << hand << "\n" << saved;
  }
  EXPECT_GT(kept, kRounds / 4);
}

}  // namespace
}  // namespace tessary::store
