#include "texture_files.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace tessary::tool {

namespace {

struct ImageType {
  std::string_view extension;
  std::string_view contentType;
  std::string_view signature;
};

constexpr std::array<ImageType, 5> kImageTypes{{
    {".png", "image/png", "\x89PNG\r\n\x1A\n"},
    {".jpg", "image/jpeg", "\xFF\xD8\xFF"},
    {".jpeg", "image/jpeg", "\xFF\xD8\xFF"},
    {".gif", "image/gif", "GIF8"},
    {".webp", "image/webp", "RIFF"},
}};

std::string lowercase(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

const ImageType* imageType(std::string_view name) {
  const std::string lower = lowercase(name);
  for (const ImageType& type : kImageTypes) {
    if (lower.size() > type.extension.size() && lower.ends_with(type.extension)) return &type;
  }
  return nullptr;
}

}  // namespace

std::optional<std::string> textureFileNameProblem(std::string_view name) {
  if (name.empty()) return "the file has no name";
  if (name.size() > 255) return "the file name is longer than 255 bytes";
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return "the file name holds a control character";
    if (c == '/' || c == '\\' || c == ':') return "the file name must not name a folder";
  }
  if (name.front() == '.') return "the file name must not begin with a dot";
  if (!imageType(name)) return "the file is not a PNG, JPEG, GIF or WebP image";
  return std::nullopt;
}

std::string_view textureContentType(std::string_view name) {
  const ImageType* type = imageType(name);
  return type ? type->contentType : "application/octet-stream";
}

bool looksLikeTexture(std::string_view name, std::string_view bytes) {
  const ImageType* type = imageType(name);
  if (!type || !bytes.starts_with(type->signature)) return false;
  return type->extension != ".webp" || (bytes.size() >= 12 && bytes.substr(8, 4) == "WEBP");
}

}  // namespace tessary::tool
