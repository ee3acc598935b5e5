#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessary::tool {

// What is wrong with `name` as the file name of a texture in an effect's folder, or none: it must
// be a plain name (no folder part, no "..", no leading dot, no control characters, at most 255
// bytes) of a PNG, JPEG, GIF or WebP image. Names that pass can never leave the folder.
std::optional<std::string> textureFileNameProblem(std::string_view name);

// The media type for a texture file name that passed the check.
std::string_view textureContentType(std::string_view name);

// Whether `bytes` begin the way an image of the name's type does.
bool looksLikeTexture(std::string_view name, std::string_view bytes);

}  // namespace tessary::tool
