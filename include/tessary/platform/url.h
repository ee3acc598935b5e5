#pragma once

#include <string>
#include <string_view>

namespace tessary::platform {

// A URL as the texture code needs it: a plain file name ("star.png"), a relative path
// ("textures/star.png"), a file URL ("file:///home/me/star.png") or a marker text ("None").
// It keeps the text it was made from.
class URL {
 public:
  explicit URL(std::string text);

  // The text the URL was made from.
  const std::string& absoluteString() const { return text_; }

  // The URL without the extension of its last path component ("fire.big.png" -> "fire.big").
  // A component that only starts with a dot (".png") has no extension.
  URL deletingPathExtension() const;

  // The last path component, a trailing slash ignored; percent escapes of a URL with a scheme
  // are decoded ("file:///a/my%20star.png" -> "my star.png").
  std::string lastPathComponent() const;

  bool operator==(const URL&) const = default;

 private:
  bool hasScheme() const;
  std::string text_;
};

}  // namespace tessary::platform
