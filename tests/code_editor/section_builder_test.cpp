#include "tessary/code_editor/section_builder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tessary/code_editor/snippet_layout.h"

namespace tessary::code_editor {
namespace {

using store::AnyKeyPath;
using store::CellConfig;
using store::CellProperty;
using store::LayerConfig;
using store::LayerProperty;

constexpr CodePlatform kMac = CodePlatform::macOS;
constexpr CodePlatform kIOS = CodePlatform::iOS;

LayerConfig sampleLayer() {
  LayerConfig layer;
  layer.viewWidth.value = 400;
  layer.viewHeight.value = 300;
  layer.backgroundRed = 0.5;
  layer.backgroundGreen = 0.0;
  layer.backgroundBlue = 1.0;
  layer.backgroundAlpha = 0.456;
  layer.emitterShape = store::EmitterShape::rectangle;
  layer.emitterMode = store::EmitterMode::surface;
  layer.renderMode = store::RenderMode::oldestFirst;
  layer.emitterPositionX.value = -12.34;
  layer.emitterPositionY.value = 150;
  layer.emitterWidth.value = 50;
  layer.emitterHeight.value = 10.25;
  return layer;
}

CellConfig sampleCell(int index, std::optional<int> subindex) {
  CellConfig cell;
  cell.index = index;
  cell.subindex = subindex;
  cell.name = "spark";
  cell.birthRate.value = 120;
  cell.lifetime.value = 2.5;
  cell.lifetimeRange.value = 0.5;
  cell.beginTime.value = 0.125;  // an exact tie: rounds to even
  cell.duration.value = 3;
  cell.velocity.value = 150;
  cell.velocityRange.value = 20;
  cell.xAcceleration.value = 0;
  cell.yAcceleration.value = -9.81;
  cell.emissionLatitude.value = 0;
  cell.emissionLongitude.value = 30;
  cell.emissionRange.value = 45;
  cell.spin.value = -1.5;
  cell.spinRange.value = 30;
  cell.scale.value = 0.123456;
  cell.scaleRange.value = 0.1;
  cell.scaleSpeed.value = -0.05;
  cell.alphaRange.value = 0;
  cell.alphaSpeed.value = -0.3;
  cell.colorRed = 1.0;
  cell.colorGreen = 0.5;
  cell.colorBlue = 0.0;
  cell.colorAlpha = 1.0;
  cell.redRange.value = 0.1;
  cell.greenRange.value = 0.1234;
  cell.blueRange.value = 0;
  cell.contentUrl = platform::URL("star.png");
  cell.contentsUrl = platform::URL("star.png");
  return cell;
}

TEST(SectionBuilderTest, IntroPerPlatform) {
  const LayerConfig layer = sampleLayer();
  EXPECT_EQ(SectionBuilder::introText(layer, kMac),
            "\nlet size = CGSize(width: 400.0, height: 300.0)\n"
            "let host = NSView(frame: CGRect(x: 0.0, y: 0.0, width: size.width, height: "
            "size.height))\n"
            "self.view.addSubview(host) // Add to parent view\n\n"
            "let particlesLayer = CAEmitterLayer()\n"
            "particlesLayer.frame = CGRect(x: 0.0, y: 0.0, width: size.width, height: "
            "size.height)\n\n"
            "host.wantsLayer = true\n"
            "host.layer?.addSublayer(particlesLayer)\n"
            "host.layer?.masksToBounds = true // constrain particles to host\n\n");
  EXPECT_EQ(SectionBuilder::introText(layer, kIOS),
            "\nlet size = CGSize(width: 400.0, height: 300.0)\n"
            "let host = UIView(frame: CGRect(x: 0.0, y: 0.0, width: size.width, height: "
            "size.height))\n"
            "self.view.addSubview(host) // Add to parent view\n\n"
            "let particlesLayer = CAEmitterLayer()\n"
            "particlesLayer.frame = CGRect(x: 0.0, y: 0.0, width: size.width, height: "
            "size.height)\n\n"
            "host.layer.addSublayer(particlesLayer)\n"
            "host.layer.masksToBounds = true // constrain particles to host\n\n");

  LayerConfig odd = sampleLayer();
  odd.viewWidth.value = 0.1;
  odd.viewHeight.value = 812.5;
  EXPECT_EQ(SectionBuilder::introText(odd, kIOS).substr(0, 46),
            "\nlet size = CGSize(width: 0.1, height: 812.5)\n");
}

TEST(SectionBuilderTest, LayerLines) {
  const LayerConfig layer = sampleLayer();
  const SectionBuilder sections;
  struct Case {
    AnyKeyPath key;
    CodePlatform platform;
    const char* expected;
  };
  const Case cases[] = {
      {LayerProperty::background, kMac,
       "particlesLayer.backgroundColor = NSColor(red: 128/255.0, green: 0/255.0, blue: "
       "255/255.0, alpha: 0.46).cgColor"},
      {LayerProperty::background, kIOS,
       "particlesLayer.backgroundColor = UIColor(red: 128/255.0, green: 0/255.0, blue: "
       "255/255.0, alpha: 0.46).cgColor"},
      {LayerProperty::emitterShape, kMac, "particlesLayer.emitterShape = .rectangle"},
      // macOS shows Y measured from the other end of the emitter height.
      {LayerProperty::emitterPositionX, kMac,
       "particlesLayer.emitterPosition = CGPoint(x: -12.3, y: -139.8)"},
      {LayerProperty::emitterPositionY, kMac,
       "particlesLayer.emitterPosition = CGPoint(x: -12.3, y: -139.8)"},
      {LayerProperty::emitterPositionX, kIOS,
       "particlesLayer.emitterPosition = CGPoint(x: -12.3, y: 150.0)"},
      {LayerProperty::emitterWidth, kIOS,
       "particlesLayer.emitterSize = CGSize(width: 50.0, height: 10.2)"},
      {LayerProperty::emitterHeight, kMac,
       "particlesLayer.emitterSize = CGSize(width: 50.0, height: 10.2)"},
      {LayerProperty::emitterMode, kMac, "particlesLayer.emitterMode = .surface"},
      {LayerProperty::renderMode, kIOS, "particlesLayer.renderMode = .oldestFirst"},
      {LayerProperty::backgroundRed, kMac, ""},
      {LayerProperty::cells, kMac, ""},
      {CellProperty::birthRate, kMac, ""},
      {AnyKeyPath(LayerProperty::emitterPositionX).appendingValue(), kMac, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(sections.layerLine(c.key, layer, c.platform), c.expected)
        << c.key.description() << " " << c.platform.rawValue();
  }
}

TEST(SectionBuilderTest, CellLines) {
  const CellConfig cell = sampleCell(0, std::nullopt);
  const CellConfig subcell = sampleCell(2, 1);
  const SectionBuilder sections;
  struct Case {
    const CellConfig* cell;
    AnyKeyPath key;
    CodePlatform platform;
    const char* expected;
  };
  const Case cases[] = {
      {&cell, CellProperty::name, kMac, "cell1.name = \"spark\""},
      {&cell, CellProperty::birthRate, kMac, "cell1.birthRate = 120.0"},
      {&cell, CellProperty::lifetime, kIOS, "cell1.lifetime = 2.5"},
      {&cell, CellProperty::lifetimeRange, kIOS, "cell1.lifetimeRange = 0.5"},
      {&subcell, CellProperty::beginTime, kMac, "subcell3_2.beginTime = 0.12"},
      {&subcell, CellProperty::duration, kMac, "subcell3_2.duration = 3.0"},
      {&cell, CellProperty::velocity, kMac, "cell1.velocity = 150.0"},
      {&cell, CellProperty::velocityRange, kMac, "cell1.velocityRange = 20.0"},
      {&cell, CellProperty::xAcceleration, kMac, "cell1.xAcceleration = 0.0"},
      {&cell, CellProperty::yAcceleration, kMac, "cell1.yAcceleration = 9.81"},
      {&cell, CellProperty::yAcceleration, kIOS, "cell1.yAcceleration = -9.81"},
      // A stored zero becomes -0 on macOS; the text shows no sign for it.
      {&cell, CellProperty::emissionLatitude, kMac,
       "cell1.emissionLatitude = 0.0 * (.pi / 180.0) // to radians"},
      {&subcell, CellProperty::emissionLongitude, kMac,
       "subcell3_2.emissionLongitude = -30.0 * (.pi / 180.0)"},
      {&subcell, CellProperty::emissionLongitude, kIOS,
       "subcell3_2.emissionLongitude = 30.0 * (.pi / 180.0)"},
      {&cell, CellProperty::emissionRange, kMac, "cell1.emissionRange = 45.0 * (.pi / 180.0)"},
      {&subcell, CellProperty::spin, kIOS, "subcell3_2.spin = -1.5 * (.pi / 180.0)"},
      {&subcell, CellProperty::spin, kMac, "subcell3_2.spin = 1.5 * (.pi / 180.0)"},
      {&cell, CellProperty::spinRange, kMac, "cell1.spinRange = 30.0 * (.pi / 180.0)"},
      {&cell, CellProperty::scale, kMac, "cell1.scale = 0.1235"},
      {&cell, CellProperty::scaleRange, kMac, "cell1.scaleRange = 0.1"},
      {&cell, CellProperty::scaleSpeed, kMac, "cell1.scaleSpeed = -0.05"},
      {&cell, CellProperty::alphaRange, kMac, "cell1.alphaRange = 0.0"},
      {&cell, CellProperty::alphaSpeed, kMac, "cell1.alphaSpeed = -0.3"},
      {&cell, CellProperty::color, kMac,
       "cell1.color = NSColor(red: 255/255.0, green: 128/255.0, blue: 0/255.0, alpha: "
       "1.0).cgColor"},
      {&subcell, CellProperty::color, kIOS,
       "subcell3_2.color = UIColor(red: 255/255.0, green: 128/255.0, blue: 0/255.0, alpha: "
       "1.0).cgColor"},
      {&cell, CellProperty::redRange, kMac, "cell1.redRange = 0.1"},
      {&cell, CellProperty::greenRange, kMac, "cell1.greenRange = 0.123"},
      {&cell, CellProperty::blueRange, kMac, "cell1.blueRange = 0.0"},
      {&cell, CellProperty::colorRed, kMac, ""},
      {&cell, CellProperty::index, kMac, ""},
      {&cell, LayerProperty::viewWidth, kMac, ""},
      {&cell, AnyKeyPath(CellProperty::birthRate).appendingValue(), kMac, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(sections.cellLine(c.key, *c.cell, c.platform), c.expected)
        << c.key.description() << " " << c.platform.rawValue();
  }
}

TEST(SectionBuilderTest, CellHeaders) {
  const SectionBuilder sections;
  const CellConfig textured = sampleCell(0, std::nullopt);
  EXPECT_EQ(sections.cellLine(CellProperty::contents, textured, kMac),
            "\n\n/*  Import texture -- Export texture  */\n"
            "let image1: CGImage? = NSImage(named:\"star\").flatMap {\n"
            "    var rect = CGRect(x: 0, y: 0, width: $0.size.width, height: $0.size.height)\n"
            "    return $0.cgImage(forProposedRect: &rect, context: nil, hints: nil)\n"
            "}\n\n"
            "let cell1 = CAEmitterCell()\n"
            "cell1.contents = image1");
  EXPECT_EQ(sections.cellLine(CellProperty::contents, textured, kIOS),
            "\n\n/*  Import texture -- Export texture  */\n"
            "let image1 = UIImage(named: \"star\")?.cgImage\n\n"
            "let cell1 = CAEmitterCell()\n"
            "cell1.contents = image1");

  CellConfig withoutTexture = sampleCell(0, std::nullopt);
  withoutTexture.contentsUrl = platform::URL("None");
  EXPECT_EQ(sections.cellLine(CellProperty::contents, withoutTexture, kMac),
            "\n\nlet cell1 = CAEmitterCell()\n");

  CellConfig builtIn = sampleCell(1, 0);
  builtIn.contentUrl.reset();
  builtIn.contentsUrl.reset();
  EXPECT_EQ(sections.cellLine(CellProperty::contents, builtIn, kIOS),
            "\n\n/*  Import texture -- Export texture  */\n"
            "let image2_1 = UIImage(named: \"Spark\")?.cgImage\n\n"
            "let subcell2_1 = CAEmitterCell()\n"
            "subcell2_1.contents = image2_1");

  CellConfig dotted = sampleCell(0, std::nullopt);
  dotted.contentUrl = platform::URL("file:///tmp/fire.big.png");
  EXPECT_EQ(SectionBuilder::imageName(dotted), "fire.big");
}

TEST(SectionBuilderTest, NamesAndLinks) {
  struct Case {
    int index;
    std::optional<int> subindex;
    const char* variable;
    const char* number;
    const char* importLink;
  };
  const Case cases[] = {
      {0, std::nullopt, "cell1", "1", "0: Import"},
      {2, 0, "subcell3_1", "3_1", "2_0: Import"},
      {1, 1, "subcell2_2", "2_2", "1_1: Import"},
      {11, std::nullopt, "cell12", "12", "11: Import"},
  };
  for (const auto& c : cases) {
    const CellConfig cell = sampleCell(c.index, c.subindex);
    EXPECT_EQ(SectionBuilder::cellVariableName(cell), c.variable);
    EXPECT_EQ(SectionBuilder::cellNumber(cell), c.number);
    EXPECT_EQ(SectionBuilder::textureLinkValue(cell, "Import"), c.importLink);
  }
}

TEST(SectionBuilderTest, NamesAreEscapedAsStringLiteralContent) {
  struct Case {
    std::string name;
    const char* expected;
  };
  const Case cases[] = {
      {"plain", "plain"},
      {"say \"hi\"", "say \\\"hi\\\""},
      {"back\\slash", "back\\\\slash"},
      {"two\nlines", "two\\nlines"},
      {"cr\rtab\t", "cr\\rtab\\t"},
      {std::string("nul\0end", 7), "nul\\0end"},
      {"esc\x1b", "esc\\u{1B}"},
      {"del\x7f", "del\\u{7F}"},
      {"c1\xc2\x85", "c1\\u{85}"},
      {"ls\xe2\x80\xa8ps\xe2\x80\xa9", "ls\\u{2028}ps\\u{2029}"},
      {"emoji \xf0\x9f\x94\xa5 \xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d",
       "emoji \xf0\x9f\x94\xa5 \xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d"},
      {"x\")\nlet y = 1 //", "x\\\")\\nlet y = 1 //"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SectionBuilder::escapedForStringLiteral(c.name), c.expected) << c.name;
  }
  CellConfig cell = sampleCell(0, std::nullopt);
  cell.name = "a\"b";
  EXPECT_EQ(SectionBuilder().cellLine(CellProperty::name, cell, kMac), "cell1.name = \"a\\\"b\"");
}

TEST(SectionBuilderTest, Outro) {
  const auto cellWith = [](int subcells) {
    auto cell = std::make_shared<CellConfig>();
    for (int i = 0; i < subcells; ++i) cell->subcells.push_back(std::make_shared<CellConfig>());
    return cell;
  };
  struct Case {
    std::vector<int> subcellCounts;
    const char* expected;
  };
  const Case cases[] = {
      {{}, "\nparticlesLayer.emitterCells = []\n\n"},
      {{0}, "\nparticlesLayer.emitterCells = [cell1]\n\n"},
      {{0, 0, 0}, "\nparticlesLayer.emitterCells = [cell1, cell2, cell3]\n\n"},
      {{2, 0},
       "\ncell1.emitterCells = [subcell1_1, subcell1_2]\n"
       "\nparticlesLayer.emitterCells = [cell1, cell2]\n\n"},
      {{1, 0, 3},
       "\ncell1.emitterCells = [subcell1_1]\n"
       "\ncell3.emitterCells = [subcell3_1, subcell3_2, subcell3_3]\n"
       "\nparticlesLayer.emitterCells = [cell1, cell2, cell3]\n\n"},
  };
  for (const auto& c : cases) {
    LayerConfig layer;
    for (const int count : c.subcellCounts) layer.cells.push_back(cellWith(count));
    EXPECT_EQ(SectionBuilder::outroText(layer), c.expected);
  }
}

TEST(SnippetLayoutTest, PlainTextOrderAndLineCount) {
  LayerConfig layer = sampleLayer();
  auto cell = std::make_shared<CellConfig>(sampleCell(0, std::nullopt));
  cell->subcells.push_back(std::make_shared<CellConfig>(sampleCell(0, 0)));
  layer.cells.push_back(cell);
  layer.cells.push_back(std::make_shared<CellConfig>(sampleCell(1, std::nullopt)));

  int lines = 0;
  SnippetLayout::forEachLine(layer, [&](AnyKeyPath, const CellConfig*) { ++lines; });
  EXPECT_EQ(lines, 6 + (23 + 25 * 1) + 23);

  const std::string text = SnippetLayout::plainText(layer, kIOS);
  EXPECT_EQ(text.find("cell1.beginTime"), std::string::npos);
  EXPECT_LT(text.find("subcell1_1.lifetimeRange"), text.find("subcell1_1.beginTime"));
  EXPECT_LT(text.find("subcell1_1.duration"), text.find("subcell1_1.velocity ="));
  EXPECT_LT(text.find("cell1.blueRange"), text.find("let subcell1_1"));
  EXPECT_LT(text.find("subcell1_1.blueRange"), text.find("let cell2"));
  EXPECT_NE(text.find("particlesLayer.renderMode = .oldestFirst\n\n\n/*  Import texture"),
            std::string::npos);
  EXPECT_NE(text.find("cell2.blueRange = 0.0\n\ncell1.emitterCells = [subcell1_1]\n"),
            std::string::npos);
}

}  // namespace
}  // namespace tessary::code_editor
