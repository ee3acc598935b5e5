#include "tessary/code_editor/section_builder.h"

#include <array>
#include <charconv>
#include <optional>

#include "tessary/platform/utf16_length.h"
#include "tessary/platform/well_formed_utf8.h"
#include "tessary/store/formatters.h"
#include "tessary/store/property_table.h"

namespace tessary::code_editor {

namespace {

using store::AnyKeyPath;
using store::CellConfig;
using store::CellProperty;
using store::LayerConfig;
using store::LayerProperty;

using Angle = store::PropertyTable::Angle;

// The row of a cell number's line, or null for any other key path.
const store::PropertyTable::Row* cellNumberRow(AnyKeyPath keypath) {
  const auto* row = store::PropertyTable::find(keypath);
  return row != nullptr && row->isCellNumber() ? row : nullptr;
}

void appendInteger(std::string& out, long long value) {
  std::array<char, 24> buffer;
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  out.append(buffer.data(), result.ptr);
}

std::string_view colorClass(CodePlatform platform) {
  return platform == CodePlatform::macOS ? "NSColor" : "UIColor";
}

// "NSColor(red: R/255.0, green: G/255.0, blue: B/255.0, alpha: A).cgColor"
void appendColor(std::string& out, CodePlatform platform, const platform::Color& color) {
  const auto [red, green, blue, alpha] = SectionBuilder::colorNumbers(color);
  out += colorClass(platform);
  out += "(red: ";
  out += red;
  out += "/255.0, green: ";
  out += green;
  out += "/255.0, blue: ";
  out += blue;
  out += "/255.0, alpha: ";
  out += alpha;
  out += ").cgColor";
}

void appendCellVariableName(std::string& out, const CellConfig& cell) {
  out += cell.subindex ? "subcell" : "cell";
  appendInteger(out, static_cast<long long>(cell.index) + 1);
  if (cell.subindex) {
    out += '_';
    appendInteger(out, static_cast<long long>(*cell.subindex) + 1);
  }
}

void appendCellNumber(std::string& out, const CellConfig& cell) {
  appendInteger(out, static_cast<long long>(cell.index) + 1);
  if (cell.subindex) {
    out += '_';
    appendInteger(out, static_cast<long long>(*cell.subindex) + 1);
  }
}

void appendHexCodePoint(std::string& out, char32_t codePoint) {
  std::array<char, 8> buffer;
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                                    static_cast<unsigned>(codePoint), 16);
  out += "\\u{";
  for (const char* c = buffer.data(); c != result.ptr; ++c) {
    out += (*c >= 'a' && *c <= 'f') ? static_cast<char>(*c - 'a' + 'A') : *c;
  }
  out += '}';
}

}  // namespace

std::string SectionBuilder::introText(const LayerConfig& layer, CodePlatform platform) {
  const bool macOS = platform == CodePlatform::macOS;
  std::string text = "\nlet size = CGSize(width: ";
  text += store::shortestDecimal(layer.viewWidth.value);
  text += ", height: ";
  text += store::shortestDecimal(layer.viewHeight.value);
  text += ")\nlet host = ";
  text += macOS ? "NSView" : "UIView";
  text +=
      "(frame: CGRect(x: 0.0, y: 0.0, width: size.width, height: size.height))\n"
      "self.view.addSubview(host) // Add to parent view\n\n"
      "let particlesLayer = CAEmitterLayer()\n"
      "particlesLayer.frame = CGRect(x: 0.0, y: 0.0, width: size.width, height: size.height)\n";
  if (macOS) text += "\nhost.wantsLayer = true";
  text += "\nhost.layer";
  if (macOS) text += '?';
  text += ".addSublayer(particlesLayer)\nhost.layer";
  if (macOS) text += '?';
  text += ".masksToBounds = true // constrain particles to host\n\n";
  return text;
}

std::string SectionBuilder::outroText(const LayerConfig& layer) {
  std::string text;
  for (std::size_t i = 0; i < layer.cells.size(); ++i) {
    const auto& subcells = layer.cells[i]->subcells;
    if (subcells.empty()) continue;
    text += "\ncell";
    appendInteger(text, static_cast<long long>(i) + 1);
    text += ".emitterCells = [";
    for (std::size_t j = 0; j < subcells.size(); ++j) {
      if (j > 0) text += ", ";
      text += "subcell";
      appendInteger(text, static_cast<long long>(i) + 1);
      text += '_';
      appendInteger(text, static_cast<long long>(j) + 1);
    }
    text += "]\n";
  }
  text += "\nparticlesLayer.emitterCells = [";
  for (std::size_t k = 0; k < layer.cells.size(); ++k) {
    if (k > 0) text += ", ";
    text += "cell";
    appendInteger(text, static_cast<long long>(k) + 1);
  }
  text += "]\n\n";
  return text;
}

std::string SectionBuilder::layerLine(AnyKeyPath keypath, const LayerConfig& layer,
                                      CodePlatform platform) const {
  std::string text;
  appendLayerLine(text, keypath, layer, platform);
  return text;
}

void SectionBuilder::appendLayerLine(std::string& out, AnyKeyPath keypath, const LayerConfig& layer,
                                     CodePlatform platform) const {
  if (keypath == LayerProperty::background) {
    out += "particlesLayer.backgroundColor = ";
    appendColor(out, platform, layer.background());
  } else if (keypath == LayerProperty::emitterShape) {
    out += "particlesLayer.emitterShape = .";
    out += store::rawValue(layer.emitterShape);
  } else if (keypath == LayerProperty::emitterPositionX ||
             keypath == LayerProperty::emitterPositionY) {
    const auto [x, y] = positionNumbers(layer, platform);
    out += "particlesLayer.emitterPosition = CGPoint(x: ";
    out += x;
    out += ", y: ";
    out += y;
    out += ')';
  } else if (keypath == LayerProperty::emitterWidth || keypath == LayerProperty::emitterHeight) {
    const auto [width, height] = sizeNumbers(layer);
    out += "particlesLayer.emitterSize = CGSize(width: ";
    out += width;
    out += ", height: ";
    out += height;
    out += ')';
  } else if (keypath == LayerProperty::emitterMode) {
    out += "particlesLayer.emitterMode = .";
    out += store::rawValue(layer.emitterMode);
  } else if (keypath == LayerProperty::renderMode) {
    out += "particlesLayer.renderMode = .";
    out += store::description(layer.renderMode);
  }
}

std::array<std::string, 4> SectionBuilder::colorNumbers(const platform::Color& color) {
  std::array<std::string, 4> numbers{store::rgbValue(color.red), store::rgbValue(color.green),
                                     store::rgbValue(color.blue), store::roundedTo(color.alpha, 2)};
  // A component's number stands before the "/255.0" of its scale.
  for (std::size_t i = 0; i < 3; ++i) numbers[i].erase(numbers[i].find('/'));
  return numbers;
}

std::array<std::string, 2> SectionBuilder::positionNumbers(const LayerConfig& layer,
                                                           CodePlatform platform) {
  const double y = platform == CodePlatform::macOS ? layer.emitterPositionYmacOS()
                                                   : layer.emitterPositionY.value;
  return {store::roundedTo(layer.emitterPositionX.value, 1), store::roundedTo(y, 1)};
}

std::array<std::string, 2> SectionBuilder::sizeNumbers(const LayerConfig& layer) {
  return {store::roundedTo(layer.emitterWidth.value, 1),
          store::roundedTo(layer.emitterHeight.value, 1)};
}

std::string SectionBuilder::cellLine(AnyKeyPath keypath, const CellConfig& cell,
                                     CodePlatform platform) const {
  std::string text;
  appendCellLine(text, keypath, cell, platform);
  return text;
}

void SectionBuilder::appendCellLine(std::string& out, AnyKeyPath keypath, const CellConfig& cell,
                                    CodePlatform platform) const {
  if (const auto* row = cellNumberRow(keypath)) {
    double value = (cell.*row->cellNumber).value;
    if (row->mirroredOnMacOS && platform == CodePlatform::macOS) value = -value;
    appendCellVariableName(out, cell);
    out += '.';
    out += row->swiftName;
    out += " = ";
    out += store::roundedTo(value, row->digits);
    if (row->angle != Angle::none) out += convertToRad;
    if (row->angle == Angle::radiansNoted) out += " // to radians";
    return;
  }
  if (keypath == CellProperty::contents) {
    const bool textured = hasTexture(cell);
    out += "\n\n";
    if (textured) {
      out += "/*  Import texture -- Export texture  */\n";
      out += textureCode(cellNumber(cell), imageName(cell), platform);
    }
    out += "let ";
    appendCellVariableName(out, cell);
    out += " = CAEmitterCell()\n";
    if (textured) {
      std::string variable;
      appendCellVariableName(variable, cell);
      out += contentsLine(variable, cellNumber(cell));
    }
  } else if (keypath == CellProperty::name) {
    appendCellVariableName(out, cell);
    out += ".name = \"";
    out += escapedForStringLiteral(cell.name);
    out += '"';
  } else if (keypath == CellProperty::color) {
    appendCellVariableName(out, cell);
    out += ".color = ";
    appendColor(out, platform, cell.color());
  }
}

std::string SectionBuilder::textureCode(std::string_view number, std::string_view imageName,
                                        CodePlatform platform) {
  std::string text = "let image";
  text += number;
  if (platform == CodePlatform::iOS) {
    text += " = UIImage(named: \"";
    text += escapedForStringLiteral(imageName);
    text += "\")?.cgImage\n\n";
    return text;
  }
  text += ": CGImage? = NSImage(named:\"";
  text += escapedForStringLiteral(imageName);
  text +=
      "\").flatMap {\n"
      "    var rect = CGRect(x: 0, y: 0, width: $0.size.width, height: $0.size.height)\n"
      "    return $0.cgImage(forProposedRect: &rect, context: nil, hints: nil)\n"
      "}\n\n";
  return text;
}

std::string SectionBuilder::contentsLine(std::string_view variableName, std::string_view number) {
  std::string text(variableName);
  text += ".contents = image";
  text += number;
  return text;
}

std::string SectionBuilder::cellVariableName(const CellConfig& cell) {
  std::string text;
  appendCellVariableName(text, cell);
  return text;
}

std::string SectionBuilder::cellNumber(const CellConfig& cell) {
  std::string text;
  appendCellNumber(text, cell);
  return text;
}

bool SectionBuilder::hasTexture(const CellConfig& cell) {
  const auto& [url, builtIn] = cell.contents();
  return !(url && url->absoluteString() == "None");
}

std::string SectionBuilder::imageName(const CellConfig& cell) {
  const platform::URL url = cell.contentUrl.value_or(platform::URL("Spark"));
  return url.deletingPathExtension().lastPathComponent();
}

std::string SectionBuilder::textureLinkValue(const CellConfig& cell, std::string_view action) {
  std::string text;
  appendInteger(text, cell.index);
  if (cell.subindex) {
    text += '_';
    appendInteger(text, *cell.subindex);
  }
  text += ": ";
  text += action;
  return text;
}

void SectionBuilder::addTextureLink(platform::MutableAttributedString& header,
                                    const CellConfig* cell, std::string_view action) {
  if (cell == nullptr) return;
  std::string phrase(action);
  phrase += " texture";
  const std::string_view text = header.string();
  const std::size_t found = text.find(phrase);
  if (found == std::string_view::npos) return;
  platform::TextAttributes link;
  link.link = textureLinkValue(*cell, action);
  header.addAttributes(
      link, {platform::utf16Length(text.substr(0, found)), platform::utf16Length(phrase)});
}

std::string SectionBuilder::escapedForStringLiteral(std::string_view text) {
  // Swift source is UTF-8: a name that is not (bytes from a file or a host) is escaped as the
  // text it shows, with replacement characters.
  if (!platform::isWellFormedUtf8(text))
    return escapedForStringLiteral(platform::wellFormedUtf8(text));
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    switch (byte) {
      case '\\':
        out += "\\\\";
        continue;
      case '"':
        out += "\\\"";
        continue;
      case '\n':
        out += "\\n";
        continue;
      case '\r':
        out += "\\r";
        continue;
      case '\t':
        out += "\\t";
        continue;
      case '\0':
        out += "\\0";
        continue;
      default:
        break;
    }
    if (byte < 0x20 || byte == 0x7F) {
      appendHexCodePoint(out, byte);
      continue;
    }
    // U+0080...U+009F are C2 80...C2 9F; U+2028 and U+2029 are E2 80 A8 and E2 80 A9.
    if (byte == 0xC2 && i + 1 < text.size()) {
      const auto next = static_cast<unsigned char>(text[i + 1]);
      if (next >= 0x80 && next <= 0x9F) {
        appendHexCodePoint(out, next);
        ++i;
        continue;
      }
    }
    if (byte == 0xE2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80) {
      const auto last = static_cast<unsigned char>(text[i + 2]);
      if (last == 0xA8 || last == 0xA9) {
        appendHexCodePoint(out, 0x2000 + last - 0x80);
        i += 2;
        continue;
      }
    }
    out += static_cast<char>(byte);
  }
  return out;
}

}  // namespace tessary::code_editor
