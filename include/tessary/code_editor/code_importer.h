#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tessary/code_editor/code_platform.h"
#include "tessary/code_editor/import_result.h"

namespace tessary::code_editor {

// Makes an effect of Swift or Objective-C source that sets up a `CAEmitterLayer` and its cells,
// the way people write it by hand: the reverse of the snippet. Text in, effect and report out;
// any source imports without failing, statements it cannot read are passed over or reported.
class CodeImporter {
 public:
  struct Options {
    // Decided from the source (AppKit or UIKit names) when absent.
    std::optional<CodePlatform> platform;
    // The size of the view the layer sits in: given, else a frame of literal numbers in the
    // source, else 400 × 300.
    std::optional<double> viewWidth;
    std::optional<double> viewHeight;
    // The layer to import: its number among those found (1 is the first) or its name; the
    // first when empty.
    std::string layer;
    // The texture an image name stands for, when a file for it is found; none otherwise.
    std::function<std::optional<std::string>(std::string_view name)> findImage;
  };

  static ImportResult importSource(std::string_view source, const Options& options);

  // macOS when the source uses more AppKit names than UIKit ones, iOS when fewer, else macOS.
  static CodePlatform platformOf(std::string_view source);

  // The image file an image name stands for: `name` with a common image extension (.png, .jpg,
  // ...) in the first of `folders` that has one, as a path relative to `relativeTo` (absolute
  // where there is none). A name that is empty, holds a path separator or starts with a dot
  // names no file.
  static std::optional<std::string> imageFile(std::string_view name,
                                              const std::vector<std::filesystem::path>& folders,
                                              const std::filesystem::path& relativeTo);
};

}  // namespace tessary::code_editor
