#pragma once

#include <optional>
#include <string_view>

namespace tessary::platform {

// A font face at a point size. Only the faces this platform knows can be made by name; the
// system font stands for whatever face the host's text system uses for plain interface text.
class Font {
 public:
  // The font of that full name ("Menlo Regular") or PostScript name ("Menlo-Regular"), or none
  // when no face of that name is known.
  static std::optional<Font> fontWithName(std::string_view name, double pointSize);
  static Font systemFontOfSize(double pointSize);
  // fontWithName, falling back to the system font of the same size.
  static Font fontWithNameOrSystemFont(std::string_view name, double pointSize);

  std::string_view fontName() const { return face_->fontName; }
  std::string_view familyName() const { return face_->familyName; }
  double pointSize() const { return pointSize_; }
  bool isBold() const { return face_->bold; }
  bool isItalic() const { return face_->italic; }
  bool isMonospaced() const { return face_->monospaced; }

  bool operator==(const Font& other) const {
    return face_ == other.face_ && pointSize_ == other.pointSize_;
  }

  struct Face {
    std::string_view fontName;
    std::string_view postScriptName;
    std::string_view familyName;
    bool bold;
    bool italic;
    bool monospaced;
  };

 private:
  Font(const Face& face, double pointSize) : face_(&face), pointSize_(pointSize) {}

  // Faces live in a constant table, so a font is a pointer and a size, cheap to copy and compare.
  const Face* face_;
  double pointSize_;
};

}  // namespace tessary::platform
