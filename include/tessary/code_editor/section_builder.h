#pragma once

#include <array>
#include <string>
#include <string_view>

#include "tessary/code_editor/code_platform.h"
#include "tessary/platform/attributed_string.h"
#include "tessary/platform/color.h"
#include "tessary/store/cell_config.h"
#include "tessary/store/key_path.h"
#include "tessary/store/layer_config.h"

namespace tessary::code_editor {

// Writes the text of every piece of the snippet: the intro, the six layer lines, each cell's
// header and property lines, and the closing lists. A line is written without its final newline;
// the build appends exactly one. The edit analysis reads these texts back with patterns that
// depend on every literal, blank and separator here.
//
// Each line comes in two forms: one that returns a new string, and one that appends to a buffer
// the caller reuses, so that a build writes thousands of lines without an allocation each.
class SectionBuilder {
 public:
  // Appended to every angle, which the store keeps in degrees.
  const std::string convertToRad = " * (.pi / 180.0)";

  static std::string introText(const store::LayerConfig& layer, CodePlatform platform);
  static std::string outroText(const store::LayerConfig& layer);

  // One layer line; the empty text for a key path that selects none. Either key path of the
  // emitter position (or size) selects the whole position (or size) line.
  std::string layerLine(store::AnyKeyPath keypath, const store::LayerConfig& layer,
                        CodePlatform platform) const;
  void appendLayerLine(std::string& out, store::AnyKeyPath keypath, const store::LayerConfig& layer,
                       CodePlatform platform) const;

  // The numbers of the lines that show several, each as its line writes it and as its value
  // pattern matches it, in the line's order: red, green and blue on the 0 to 255 scale ("140")
  // and alpha of a colour; x and y of the position (y as the platform measures it); width and
  // height of the size.
  static std::array<std::string, 4> colorNumbers(const platform::Color& color);
  static std::array<std::string, 2> positionNumbers(const store::LayerConfig& layer,
                                                    CodePlatform platform);
  static std::array<std::string, 2> sizeNumbers(const store::LayerConfig& layer);

  // One cell piece: the header for `contents`, else one property line; the empty text for a key
  // path that selects none.
  std::string cellLine(store::AnyKeyPath keypath, const store::CellConfig& cell,
                       CodePlatform platform) const;
  void appendCellLine(std::string& out, store::AnyKeyPath keypath, const store::CellConfig& cell,
                      CodePlatform platform) const;

  // The statement that loads a cell's image; it ends with an empty line.
  static std::string textureCode(std::string_view number, std::string_view imageName,
                                 CodePlatform platform);
  static std::string contentsLine(std::string_view variableName, std::string_view number);

  // "cell" N or "subcell" N "_" M, with N = index + 1 and M = subindex + 1.
  static std::string cellVariableName(const store::CellConfig& cell);
  // N, or N "_" M for a sub-cell.
  static std::string cellNumber(const store::CellConfig& cell);
  // Whether the header carries the texture comment, the image statement and the contents line.
  static bool hasTexture(const store::CellConfig& cell);
  // The image's name: the texture file without its extension, or "Spark" for the built-in image.
  static std::string imageName(const store::CellConfig& cell);
  // The value of a texture link: the cell's stored index, "_" and its subindex for a sub-cell,
  // then ": " and the action ("0: Import", "0_1: Export").
  static std::string textureLinkValue(const store::CellConfig& cell, std::string_view action);

  // Puts a link whose value names `action` ("Import" or "Export") and the cell on the first
  // "<action> texture" phrase of a coloured cell header; does nothing without a cell or phrase.
  static void addTextureLink(platform::MutableAttributedString& header,
                             const store::CellConfig* cell, std::string_view action);

  // `text` as the content of a Swift string literal: backslash, double quote, control
  // characters and line separators escaped, so that no name can end the literal, split the line
  // or change the code around it.
  static std::string escapedForStringLiteral(std::string_view text);
};

}  // namespace tessary::code_editor
