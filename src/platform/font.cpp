#include "tessary/platform/font.h"

#include <array>

namespace tessary::platform {

namespace {

constexpr std::array<Font::Face, 8> kNamedFaces{{
    {"Menlo Regular", "Menlo-Regular", "Menlo", false, false, true},
    {"Menlo Bold", "Menlo-Bold", "Menlo", true, false, true},
    {"Menlo Italic", "Menlo-Italic", "Menlo", false, true, true},
    {"Menlo Bold Italic", "Menlo-BoldItalic", "Menlo", true, true, true},
    {"Courier", "Courier", "Courier", false, false, true},
    {"Courier Bold", "Courier-Bold", "Courier", true, false, true},
    {"Helvetica", "Helvetica", "Helvetica", false, false, false},
    {"Helvetica Bold", "Helvetica-Bold", "Helvetica", true, false, false},
}};

// Like the host's system font, it cannot be asked for by name.
constexpr Font::Face kSystemFace{
    "System Font Regular", "SystemFont-Regular", "System Font", false, false, false};

}  // namespace

std::optional<Font> Font::fontWithName(std::string_view name, double pointSize) {
  for (const Face& face : kNamedFaces) {
    if (face.fontName == name || face.postScriptName == name) return Font(face, pointSize);
  }
  return std::nullopt;
}

Font Font::systemFontOfSize(double pointSize) {
  return Font(kSystemFace, pointSize);
}

Font Font::fontWithNameOrSystemFont(std::string_view name, double pointSize) {
  if (auto font = fontWithName(name, pointSize)) return *font;
  return systemFontOfSize(pointSize);
}

}  // namespace tessary::platform
