#include "tessary/store/effect_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cfloat>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "support/temporary_folder.h"
#include "tessary/store/data_store.h"

namespace tessary::store {
namespace {

namespace fs = std::filesystem;

std::string errorOf(std::string_view json) {
  try {
    EffectFile::parse(json, "fx.json");
  } catch (const EffectFileError& error) {
    return error.what();
  }
  return "(no error)";
}

// An effect document whose layer holds `layer` (the text between the layer's braces).
std::string withLayer(std::string_view layer) {
  return R"({"tessaryEffect": 1, "layer": {)" + std::string(layer) + "}}";
}

// An effect document with one cell whose members are `cell`.
std::string withCell(std::string_view cell) {
  return withLayer(R"("cells": [{)" + std::string(cell) + "}]");
}

std::string nestedCells(int depth) {
  std::string cells = "[]";
  for (int level = 0; level < depth; ++level) cells = R"([{"subcells": )" + cells + "}]";
  return withLayer(R"("cells": )" + cells);
}

std::string readFile(const fs::path& path) {
  std::ifstream stream(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, std::string_view text) {
  std::ofstream stream(path, std::ios::binary);
  stream << text;
}

TEST(EffectFileTest, ProblemsAreReportedWithTheirPlace) {
  struct Case {
    std::string json;
    std::string expected;
  };
  const Case cases[] = {
      // Not JSON
      {"",
       "fx.json: line 1, column 1: syntax error while parsing value - unexpected end of "
       "input; expected '[', '{', or a literal"},
      {R"({"tessaryEffect": 1,})",
       "fx.json: line 1, column 21: syntax error while parsing object key - unexpected '}'; "
       "expected string literal"},
      {"{\"tessaryEffect\": 1, \"layer\": {\"cells\": [{\n  \"name\": "
       "\"\xF0\x9F\x94\xA5\xC3\xA9\", x}]}}",
       "fx.json: line 2, column 17: syntax error while parsing object key - invalid literal; "
       "last read: '\"\xF0\x9F\x94\xA5\xC3\xA9\", x'; expected string literal"},
      {R"({"tessaryEffect": 1} 2)",
       "fx.json: line 1, column 22: syntax error while parsing value - unexpected number "
       "literal; expected end of input"},
      {"{\"tessaryEffect\": 1, \"layer\": {\"cells\": [{\"name\": \"a\nb\"}]}}",
       "fx.json: line 1, column 53: syntax error while parsing value - invalid string: control "
       "character U+000A (LF) must be escaped to \\u000A or \\n; last read: '\"a<U+000A>'"},
      // Not UTF-8
      {"{\"tessaryEffect\": 1, \"layer\": {\"cells\": [{\"name\": \"a\xFF\"}]}}",
       "fx.json: line 1, column 53: invalid UTF-8 (byte 0xFF at offset 52)"},
      {"{\n\"\xC3\xA9t\xC3\xA9\": \"\xC0\xAF\"}",
       "fx.json: line 2, column 9: invalid UTF-8 (byte 0xC0 at offset 12)"},
      {"{\"x\": \"\xED\xA0\x80\"}",
       "fx.json: line 1, column 8: invalid UTF-8 (byte 0xED at offset 7)"},
      {"{\"x\": \"\xF4\x90\x80\x80\"}",
       "fx.json: line 1, column 8: invalid UTF-8 (byte 0xF4 at offset 7)"},
      {"{\"x\": \"\xE2\x82", "fx.json: line 1, column 8: invalid UTF-8 (byte 0xE2 at offset 7)"},
      // Version
      {R"({"layer": {}})", "fx.json: /: missing \"tessaryEffect\" (the effect file version, 1)"},
      {R"({"tessaryEffect": 2})",
       "fx.json: /tessaryEffect: unsupported version 2; this program reads version 1"},
      {R"({"tessaryEffect": 1.0})",
       "fx.json: /tessaryEffect: unsupported version 1.0; this program reads version 1"},
      {R"({"tessaryEffect": -1})",
       "fx.json: /tessaryEffect: unsupported version -1; this program reads version 1"},
      {R"({"tessaryEffect": "1"})",
       "fx.json: /tessaryEffect: expected the version number 1, found a string"},
      // Unknown and repeated keys
      {R"({"tessaryEffect": 1, "tessaryeffect": 1})",
       "fx.json: /tessaryeffect: unknown key (did you mean \"tessaryEffect\"?)"},
      {withLayer(R"("cells": [{}, {"birthrate": 5}])"),
       "fx.json: /layer/cells/1/birthrate: unknown key (did you mean \"birthRate\"?)"},
      {withCell(R"("glow": 1)"), "fx.json: /layer/cells/0/glow: unknown key"},
      {withLayer(R"("viewSize": {"depth": 3})"),
       "fx.json: /layer/viewSize/depth: unknown key; expected one of: width, height"},
      {withLayer(R"("a/b~c": 1)"),
       "fx.json: /layer/a~1b~0c: unknown key; expected one of: viewSize, backgroundColor, "
       "emitterShape, emitterMode, renderMode, emitterPosition, emitterSize, cells"},
      {R"({"tessaryEffect": 1, "line\nbreak\u001b": 1})",
       "fx.json: /line\\nbreak\\u001B: unknown key; expected one of: tessaryEffect, layer"},
      {withLayer("\"\xF0\x9F\x94\xA5\": 1"),
       "fx.json: /layer/\xF0\x9F\x94\xA5: unknown key; expected one of: viewSize, "
       "backgroundColor, emitterShape, emitterMode, renderMode, emitterPosition, emitterSize, "
       "cells"},
      {withCell(R"("color": {"red": 1, "green": 1, "blue": 1, "alpha": 1, "Red": 0})"),
       "fx.json: /layer/cells/0/color/Red: unknown key (did you mean \"red\"?)"},
      {R"({"tessaryEffect": 1, "tessaryEffect": 1})", "fx.json: /tessaryEffect: duplicate key"},
      {withCell(R"("name": "a", "name": "b")"), "fx.json: /layer/cells/0/name: duplicate key"},
      // Types
      {"[]", "fx.json: /: expected an object, found an array"},
      {R"({"tessaryEffect": 1, "layer": null})", "fx.json: /layer: expected an object, found null"},
      {withCell(R"("birthRate": "5")"),
       "fx.json: /layer/cells/0/birthRate: expected a number or an object {\"value\", \"min\", "
       "\"max\"}, found a string"},
      {withCell(R"("birthRate": [5])"),
       "fx.json: /layer/cells/0/birthRate: expected a number or an object {\"value\", \"min\", "
       "\"max\"}, found an array"},
      {withCell(R"("name": 5)"), "fx.json: /layer/cells/0/name: expected a string, found a number"},
      {withCell(R"("texture": true)"),
       "fx.json: /layer/cells/0/texture: expected a file name or null, found a boolean"},
      {withCell(R"("color": {"red": "1"})"),
       "fx.json: /layer/cells/0/color/red: expected a number, found a string"},
      {withCell(R"("color": null)"),
       "fx.json: /layer/cells/0/color: expected an object, found null"},
      {withLayer(R"("emitterShape": 3)"),
       "fx.json: /layer/emitterShape: expected the name of the emitter shape, found a number"},
      {withLayer(R"("cells": {})"),
       "fx.json: /layer/cells: expected an array of cells, found an object"},
      {withLayer(R"("cells": [{}, 1])"),
       "fx.json: /layer/cells/1: expected a cell object, found a number"},
      {withCell(R"("subcells": [{}, {}, []])"),
       "fx.json: /layer/cells/0/subcells/2: expected a cell object, found an array"},
      {withCell(R"("birthRate": {"value": false})"),
       "fx.json: /layer/cells/0/birthRate/value: expected a number, found a boolean"},
      {withLayer(R"("viewSize": {"width": {"value": 1, "max": null}})"),
       "fx.json: /layer/viewSize/width/max: expected a number, found null"},
      // Numbers out of range
      {withCell(R"("birthRate": 1e999)"),
       "fx.json: /layer/cells/0/birthRate: number out of range: 1e999"},
      {withCell(R"("color": {"alpha": -2e400})"),
       "fx.json: /layer/cells/0/color/alpha: number out of range: -2e400"},
      {withLayer(R"("cells": [{}, 1e999])"), "fx.json: /layer/cells/1: number out of range: 1e999"},
      // Names of the emitter constants
      {withLayer(R"("emitterShape": "star")"),
       "fx.json: /layer/emitterShape: unknown emitter shape \"star\"; expected one of: point, "
       "line, rectangle, cuboid, circle, sphere"},
      {withLayer(R"("emitterMode": "Outline")"),
       "fx.json: /layer/emitterMode: unknown emitter mode \"Outline\"; expected one of: points, "
       "outline, surface, volume"},
      {withLayer(R"("renderMode": "add\"\n")"),
       "fx.json: /layer/renderMode: unknown render mode \"add\\\"\\n\"; expected one of: "
       "unordered, oldestFirst, oldestLast, backToFront, additive"},
      {withLayer("\"emitterShape\": \"" + std::string(70, 'x') + "\""),
       "fx.json: /layer/emitterShape: unknown emitter shape \"" + std::string(60, 'x') +
           "\"...; expected one of: point, line, rectangle, cuboid, circle, sphere"},
      // Slider bounds
      {withCell(R"("birthRate": {"min": 0, "max": 5})"),
       "fx.json: /layer/cells/0/birthRate: missing \"value\""},
      {withCell(R"("birthRate": {"value": 1, "min": 10, "max": 5})"),
       "fx.json: /layer/cells/0/birthRate: min 10.0 is greater than max 5.0"},
      {withCell(R"("lifetime": {"value": 1, "min": 40})"),
       "fx.json: /layer/cells/0/lifetime: min 40.0 is greater than max 30.0"},
      {withCell(R"("birthRate": {"value": 1, "mn": 0})"),
       "fx.json: /layer/cells/0/birthRate/mn: unknown key; expected one of: value, min, max"},
      {withCell(R"("birthRate": {"value": 1, "value": 2})"),
       "fx.json: /layer/cells/0/birthRate/value: duplicate key"},
      // Textures and nesting
      {withCell(R"("texture": "")"),
       "fx.json: /layer/cells/0/texture: empty texture file name (use null for a cell without "
       "texture)"},
      {nestedCells(33), "fx.json: /layer/cells/0" +
                            [] {
                              std::string path;
                              for (int level = 1; level < 33; ++level) path += "/subcells/0";
                              return path;
                            }() +
                            ": sub-cells nested deeper than 32 levels"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(errorOf(c.json), c.expected) << c.json;
  }
}

TEST(EffectFileTest, LongSyntaxMessagesAreCutShort) {
  const std::string error = errorOf(R"({"tessaryEffect": 1, "layer": {"cells": [{"name": ")" +
                                    std::string(500, 'r') + "\x01\"}]}}");
  const std::string place = "fx.json: line 1, column 552: ";
  const std::string problem =
      "syntax error while parsing value - invalid string: control character U+0001 (SOH) must "
      "be escaped to \\u0001; last read: '\"rrr";
  EXPECT_EQ(error.substr(0, place.size() + problem.size()), place + problem);
  EXPECT_EQ(error.size(), place.size() + 200 + 3);
  EXPECT_EQ(error.substr(error.size() - 6), "rrr...");
}

TEST(EffectFileTest, ErrorsKeepTheirPartsAndPrintOneLine) {
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
  // C1 controls can drive a terminal as well.
  EXPECT_STREQ(EffectFileError("f\xC2\x9B", "p\x7F", "\xC3\xA9\t").what(),
               "f\\u009B: p\\u007F: \xC3\xA9\\t");
}

TEST(EffectFileTest, MissingKeysTakeTheDefaults) {
  EXPECT_EQ(*EffectFile::parse(R"({"tessaryEffect": 1})", "fx.json"), LayerConfig());
  EXPECT_EQ(*EffectFile::parse(withLayer(""), "fx.json"), LayerConfig());
  // A byte-order mark is allowed.
  EXPECT_EQ(*EffectFile::parse("\xEF\xBB\xBF{\"tessaryEffect\": 1}", "fx.json"), LayerConfig());

  const auto layer =
      EffectFile::parse(withLayer(R"("viewSize": {"width": 640}, "emitterPosition": {"y": 20},
                   "backgroundColor": {"blue": 0.5}, "cells": [{"subcells": [{}]}, {}])"),
                        "fx.json");
  LayerConfig expected;
  expected.viewWidth.value = 640;
  expected.emitterPositionY.value = 20;
  expected.backgroundBlue = 0.5;
  for (int index = 0; index < 2; ++index) {
    auto cell = std::make_shared<CellConfig>();
    cell->index = index;
    expected.cells.push_back(cell);
  }
  auto subcell = std::make_shared<CellConfig>();
  subcell->subindex = 0;
  expected.cells[0]->subcells.push_back(subcell);
  EXPECT_EQ(*layer, expected);
}

TEST(EffectFileTest, NumbersOutsideTheirBoundsWidenThemAndColoursAreClamped) {
  const auto layer = EffectFile::parse(withCell(R"("birthRate": 1000, "lifetime": {"value": -1},
                  "velocity": {"value": 5, "min": 10, "max": 20}, "scale": {"value": 1, "max": 1},
                  "color": {"red": 1.5, "green": -0.25, "blue": 0.5, "alpha": 1e300})"),
                                       "fx.json");
  const CellConfig& cell = *layer->cells[0];
  EXPECT_EQ(cell.birthRate, (LimitedValue{1000, 0, 1000}));
  EXPECT_EQ(cell.lifetime, (LimitedValue{-1, -1, 30}));
  EXPECT_EQ(cell.velocity, (LimitedValue{5, 5, 20}));
  EXPECT_EQ(cell.scale, (LimitedValue{1, 0, 1}));
  EXPECT_EQ(cell.color(), (platform::Color{1.0, 0.0, 0.5, 1.0}));
}

// Texts as programs write them are read by a fast reader, others by the full JSON parser. The
// same document with an escape in its first key is read by the full parser from the start: the
// two must give the same effect, or the same message. Spaces before the plain key keep the
// columns of later problems equal.
TEST(EffectFileTest, FastAndFullReadersAgree) {
  const std::vector<std::string> documents = {
      withCell(R"("name": "cell", "birthRate": 0, "lifetime": -0, "velocity": -0.0,
                  "scale": 0.1, "spin": 1E+2, "spinRange": 2e-3, "xAcceleration": -12.5e1)"),
      withCell(R"("birthRate": 18446744073709551615, "lifetime": -9223372036854775808,
                  "velocity": 18446744073709551616, "scale": -9223372036854775809)"),
      withCell(R"("birthRate": 1e308, "lifetime": 5e-324, "velocity": 2.2250738585072011e-308,
                  "scale": 1e-400, "spin": 0.30000000000000004)"),
      withCell(R"("birthRate": 1e400)"),
      withCell(R"("birthRate": -1e400)"),
      withCell(R"("name": "caf\u00e9 \"hot\"", "texture": null)"),
      withCell("\"name\": \"caf\xC3\xA9 \xF0\x9F\x94\xA5\", \"texture\": \"spark.png\""),
      withCell("\"name\": \"tab\there\""),
      withCell(R"("birthRate": 01)"),
      withCell(R"("birthRate": 1.)"),
      withCell(R"("birthRate": .5)"),
      withCell(R"("birthRate": -)"),
      withCell(R"("birthRate": 1e)"),
      withCell(R"("birthRate": +1)"),
      withCell(R"("birthRate": 1.5x)"),
      withCell(R"("birthRate": true)"),
      withCell(R"("birthRate": nul)"),
      withCell(R"("birthRate": "fast")"),
      withCell(R"("birthRate" 1)"),
      withCell(R"("birthRate": 1,)"),
      withCell(R"("birthRate": 1, "birthRate": 2)"),
      withCell(R"("bithRate": 1)"),
      withCell(R"("birthRate": {"value": 5, "min": 10, "max": 1})"),
      withLayer(R"("cells": [{}, {"subcells": [{"name": "a"}, ]}])"),
      withLayer(R"("cells": [[]])"),
      nestedCells(40),
      withLayer(R"("emitterShape": "circle", "renderMode": "unknown")"),
      withLayer("") + " x",
      withLayer("") + " \r\n\t",
      withLayer("") + "}",
  };
  const std::string firstKey = R"("tessaryEffect")";
  const auto outcome = [](const std::string& json) {
    try {
      return EffectFile::serialize(*EffectFile::parse(json, "fx.json"));
    } catch (const EffectFileError& error) {
      return std::string("error: ") + error.what();
    }
  };
  for (const std::string& document : documents) {
    std::string plain = document;
    plain.replace(plain.find(firstKey), firstKey.size(), R"(     "tessaryEffect")");
    std::string escaped = document;
    escaped.replace(escaped.find(firstKey), firstKey.size(), R"("tessary\u0045ffect")");
    EXPECT_EQ(outcome(plain), outcome(escaped)) << plain;
  }
}

TEST(EffectFileTest, TextureForms) {
  const auto layer = EffectFile::parse(
      withLayer(R"("cells": [{"texture": "textures/fire ball.png"}, {"texture": null}, {}])"),
      "fx.json");
  const CellConfig& withTexture = *layer->cells[0];
  EXPECT_EQ(withTexture.contentUrl, platform::URL("textures/fire ball.png"));
  EXPECT_EQ(withTexture.contentsUrl, platform::URL("textures/fire ball.png"));
  const CellConfig& withoutTexture = *layer->cells[1];
  EXPECT_FALSE(withoutTexture.contentUrl.has_value());
  EXPECT_EQ(withoutTexture.contentsUrl, platform::URL("None"));
  const CellConfig& builtIn = *layer->cells[2];
  EXPECT_FALSE(builtIn.contentUrl.has_value());
  EXPECT_FALSE(builtIn.contentsUrl.has_value());

  const std::string text = EffectFile::serialize(*layer);
  EXPECT_NE(text.find(R"("texture": "textures/fire ball.png",)"), std::string::npos);
  EXPECT_NE(text.find(R"("texture": null,)"), std::string::npos);
  EXPECT_EQ(*EffectFile::parse(text, "fx.json"), *layer);
}

TEST(EffectFileTest, CellsAreNumberedByTheirPositions) {
  const auto layer =
      EffectFile::parse(withLayer(R"("cells": [{}, {}, {"subcells": [{}, {}]}])"), "fx.json");
  ASSERT_EQ(layer->cells.size(), 3u);
  EXPECT_EQ(layer->cells[2]->index, 2);
  EXPECT_FALSE(layer->cells[2]->subindex.has_value());
  ASSERT_EQ(layer->cells[2]->subcells.size(), 2u);
  EXPECT_EQ(layer->cells[2]->subcells[1]->index, 2);
  EXPECT_EQ(layer->cells[2]->subcells[1]->subindex, 1);

  const auto deep = EffectFile::parse(nestedCells(32), "fx.json");
  CellConfigRef cell = deep->cells[0];
  for (int level = 1; level < 32; ++level) cell = cell->subcells.at(0);
  EXPECT_EQ(cell->index, 0);
  EXPECT_EQ(cell->subindex, 0);
}

// A layer that exercises every way a value can be written.
LayerConfigRef unusualLayer() {
  auto layer = std::make_shared<LayerConfig>();
  layer->viewWidth.setValue(DBL_MAX);
  layer->viewHeight = {812.5, 1, 4000};
  layer->backgroundRed = -0.0;
  layer->backgroundGreen = 0.1;
  layer->backgroundBlue = DBL_MIN;
  layer->backgroundAlpha = std::numeric_limits<double>::denorm_min();
  layer->emitterShape = EmitterShape::sphere;
  layer->emitterMode = EmitterMode::volume;
  layer->renderMode = RenderMode::backToFront;
  layer->emitterPositionX.setValue(-0.0);
  layer->emitterPositionY.setValue(-DBL_MAX);
  layer->emitterWidth = {0.1 + 0.2, -1e-300, 1e300};
  layer->emitterHeight.setValue(123456789.123456789);

  const std::string names[] = {
      "\xF0\x9F\x94\xA5 Feuer \xC3\xA9t\xC3\xA9 \xE7\x81\xAB",
      "quote \" backslash \\ slash /",
      "line\nfeed\r\ttab \x01\x1F\x7F nul",
      std::string("with\0nul", 8),
      "\xE2\x80\xA8 separators \xE2\x80\xA9",
  };
  for (const auto& name : names) {
    auto cell = std::make_shared<CellConfig>();
    cell->name = name;
    layer->cells.push_back(cell);
  }
  CellConfig& first = *layer->cells[0];
  first.contentUrl = platform::URL("textures/\xF0\x9F\x94\xA5 \"x\".png");
  first.contentsUrl = first.contentUrl;
  first.birthRate = {-0.0, -0.0, 1.0};
  first.lifetime.setValue(1e-320);
  first.velocity = {5e-324, -5e-324, 5e-324};
  first.yAcceleration.setValue(-9.81);
  first.emissionLongitude.setValue(-90);
  first.colorRed = 0.1 + 0.7;
  first.colorGreen = -0.0;
  first.colorBlue = 1.0 / 3.0;
  layer->cells[1]->contentsUrl = platform::URL("None");

  // Sub-cells three levels deep.
  CellConfig* parent = &first;
  for (int level = 0; level < 3; ++level) {
    auto subcell = std::make_shared<CellConfig>();
    subcell->name = "level " + std::to_string(level);
    subcell->spin.setValue(-720.5 - level);
    subcell->beginTime.setValue(0.25 * level);
    parent->subcells.push_back(subcell);
    parent->subcells.push_back(std::make_shared<CellConfig>());
    parent = subcell.get();
  }
  DataStore::renumberCells(*layer);
  return layer;
}

TEST(EffectFileTest, RoundTripGivesTheSameEffectAndTheSameText) {
  const LayerConfigRef original = unusualLayer();
  const std::string text = EffectFile::serialize(*original);
  const LayerConfigRef read = EffectFile::parse(text, "fx.json");
  EXPECT_EQ(*read, *original);
  EXPECT_EQ(EffectFile::serialize(*read), text);

  // Equality does not see the sign of a zero; the file keeps it.
  EXPECT_TRUE(std::signbit(read->backgroundRed));
  EXPECT_TRUE(std::signbit(read->emitterPositionX.value));
  EXPECT_TRUE(std::signbit(read->cells[0]->birthRate.value));
  EXPECT_TRUE(std::signbit(read->cells[0]->colorGreen));
  EXPECT_EQ(read->cells[0]->velocity.value, 5e-324);
  EXPECT_EQ(read->cells[3]->name.size(), 8u);
  EXPECT_EQ(read->cells[0]->subcells[0]->subcells[0]->subcells[0]->name, "level 2");
}

TEST(EffectFileTest, WritesValidJsonWhateverTheStoreHolds) {
  LayerConfig layer;
  layer.cells.push_back(std::make_shared<CellConfig>());
  layer.cells[0]->name = "a\xFF\xC3";
  const auto read = EffectFile::parse(EffectFile::serialize(layer), "fx.json");
  EXPECT_EQ(read->cells[0]->name, "a\xEF\xBF\xBD\xEF\xBF\xBD");

  layer.cells[0]->colorRed = std::nan("");
  EXPECT_DEATH(EffectFile::serialize(layer), "an effect holds a number that is not finite");
}

// The demo is written exactly as the file holds it, so it pins the layout the writer keeps.
TEST(EffectFileTest, DemoIsACampfireInTheFileLayout) {
  const LayerConfigRef demo = EffectFile::demo();
  EXPECT_EQ(*demo, *EffectFile::parse(EffectFile::demoJson(), "demo"));
  EXPECT_EQ(EffectFile::serialize(*demo), EffectFile::demoJson());

  ASSERT_EQ(demo->cells.size(), 3u);
  const CellConfig& flame = *demo->cells[0];
  EXPECT_EQ(flame.name, "flame");
  EXPECT_EQ(flame.contentUrl, platform::URL("flame.png"));
  EXPECT_LT(flame.emissionLongitude.value, 0.0);  // upwards, the y axis pointing down
  ASSERT_EQ(flame.subcells.size(), 1u);
  const CellConfig& spark = *flame.subcells[0];
  EXPECT_EQ(spark.contentUrl, platform::URL("spark.png"));
  EXPECT_EQ(spark.subindex, 0);
  EXPECT_GT(spark.duration.value, 0.0);
  EXPECT_FALSE(demo->cells[1]->contents().first.has_value());  // the built-in image
  EXPECT_EQ(demo->cells[2]->contentsUrl, platform::URL("None"));
}

class EffectFileOnDiskTest : public testing::TemporaryFolderTest {
 protected:
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }
  static std::string errorOf(const std::function<void()>& action) {
    try {
      action();
    } catch (const EffectFileError& error) {
      return error.what();
    }
    return "(no error)";
  }
};

TEST_F(EffectFileOnDiskTest, SaveThenLoad) {
  const fs::path file = folder_ / "effect.json";
  const LayerConfigRef effect = unusualLayer();
  EffectFile::save(*effect, file);
  EXPECT_EQ(readFile(file), EffectFile::serialize(*effect));
  EXPECT_EQ(*EffectFile::load(file), *effect);

  EffectFile::save(*EffectFile::demo(), file);
  EXPECT_EQ(readFile(file), EffectFile::demoJson());
  EXPECT_EQ(entries(), std::vector<std::string>{"effect.json"});
}

TEST_F(EffectFileOnDiskTest, LoadErrorsNameTheFile) {
  const std::string missing = (folder_ / "missing.json").string();
  EXPECT_EQ(errorOf([&] { EffectFile::load(missing); }),
            missing + ": cannot read: No such file or directory");
  EXPECT_EQ(errorOf([&] { EffectFile::load(folder_); }),
            folder_.string() + ": cannot read: Is a directory");
  const fs::path bad = folder_ / "bad.json";
  writeFile(bad, "{\"tessaryEffect\": 1,\n \"layer\": []}");
  EXPECT_EQ(errorOf([&] { EffectFile::load(bad); }),
            bad.string() + ": /layer: expected an object, found an array");
}

TEST_F(EffectFileOnDiskTest, DeviceFilesAndMissingFoldersAreRefused) {
  EXPECT_EQ(errorOf([] { EffectFile::save(LayerConfig(), "/dev/full"); }),
            "/dev/full: cannot save: not a regular file; refusing to replace it");
  EXPECT_TRUE(fs::is_character_file("/dev/full"));
  const std::string inMissingFolder = (folder_ / "missing" / "effect.json").string();
  EXPECT_EQ(errorOf([&] { EffectFile::save(LayerConfig(), inMissingFolder); }),
            inMissingFolder + ": cannot save: No such file or directory");
  EXPECT_TRUE(entries().empty());
}

// The load below runs in a child process, whose memory growth is its own.

// Sanitizers change what memory a load takes, and take long over a large file.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

long peakResidentKilobytes() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

int loadLargeFile(const fs::path& file, std::size_t cellCount) {
  const auto fileBytes = static_cast<long>(fs::file_size(file));
  // A forked child starts at the parent's current size, so the growth is this load's own.
  const long before = peakResidentKilobytes();
  const LayerConfigRef layer = EffectFile::load(file);
  const long grownKilobytes = peakResidentKilobytes() - before;
  const bool ok = layer->cells.size() == cellCount &&
                  layer->cells.back()->birthRate == LimitedValue{123.5, 0, 1000} &&
                  layer->cells.back()->index == static_cast<int>(cellCount - 1) &&
                  grownKilobytes * 1024 < 3 * fileBytes;
  if (!ok) std::fprintf(stderr, "grew by %ld kB for %ld bytes\n", grownKilobytes, fileBytes);
  return ok ? 0 : 1;
}

TEST_F(EffectFileOnDiskTest, LargeFileLoadsWithoutAJsonTree) {
  if (kSanitized) GTEST_SKIP() << "memory use is not measurable under sanitizers";
  const fs::path file = folder_ / "large.json";
  std::size_t cellCount = 0;
  {
    LayerConfig layer;
    auto cell = std::make_shared<CellConfig>();
    cell->name = "\xE2\x9C\xA8 sparkle";
    cell->birthRate = {123.5, 0, 1000};
    layer.cells.push_back(cell);
    const std::size_t cellBytes =
        EffectFile::serialize(layer).size() - EffectFile::serialize(LayerConfig()).size();
    cellCount = 52'000'000 / cellBytes;
    layer.cells.assign(cellCount, cell);
    EffectFile::save(layer, file);
  }
  ASSERT_GE(fs::file_size(file), 50'000'000u);
  EXPECT_EXIT(_exit(loadLargeFile(file, cellCount)), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace tessary::store
