#include "import_command.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "command_error.h"
#include "output.h"
#include "tessary/code_editor/code_importer.h"
#include "tessary/store/effect_file.h"

namespace tessary::tool {

namespace {

// "400x300" or "400×300" as a width and a height, each above zero.
std::optional<std::pair<double, double>> viewSizeFrom(const std::string& text) {
  std::size_t separator = text.find_first_of("xX");
  std::size_t skip = 1;
  if (separator == std::string::npos) {
    separator = text.find("\xc3\x97");
    skip = 2;
  }
  if (separator == std::string::npos) return std::nullopt;
  // A number above zero and at most 100,000 taking the whole text; NaN otherwise.
  const auto side = [](const std::string& number) {
    char* end = nullptr;
    const double value = std::strtod(number.c_str(), &end);
    const bool whole = !number.empty() && *end == '\0';
    return whole && value > 0 && value <= 100000 ? value : std::nan("");
  };
  const double width = side(text.substr(0, separator));
  const double height = side(text.substr(separator + skip));
  if (std::isnan(width) || std::isnan(height)) return std::nullopt;
  return std::pair(width, height);
}

}  // namespace

int runImport(const ImportOptions& options) {
  if (options.output && !isStandardStream(options.source)) {
    refuseToOverwrite(*options.output, options.source, "the source");
  }
  const std::string source = readInput(options.source);
  const std::string sourceName =
      isStandardStream(options.source) ? "standard input" : options.source.string();

  code_editor::CodeImporter::Options importOptions;
  importOptions.platform = options.platform;
  importOptions.viewWidth = options.viewWidth;
  importOptions.viewHeight = options.viewHeight;
  importOptions.layer = options.layer;
  // Images beside the source or in the images folder, written relative to where the effect goes.
  std::vector<std::filesystem::path> imageFolders;
  if (!isStandardStream(options.source)) imageFolders.push_back(options.source.parent_path());
  if (options.images) imageFolders.push_back(*options.images);
  const std::filesystem::path effectFolder =
      options.output && !isStreamOutput(*options.output) ? options.output->parent_path() : ".";
  importOptions.findImage = [&](std::string_view name) {
    return code_editor::CodeImporter::imageFile(name, imageFolders, effectFolder);
  };
  const code_editor::ImportResult result =
      code_editor::CodeImporter::importSource(source, importOptions);

  if (options.list) {
    std::string listing = result.listing();
    if (listing.empty()) listing = "no emitter layers found\n";
    writeOutput(std::nullopt, listing);
    return result.layers.empty() ? kUsageOrFileError : 0;
  }
  if (!result.effect) throw CommandError(sourceName + ": " + result.failure);
  writeOutput(options.output, store::EffectFile::serialize(*result.effect));
  const std::string report = result.summary() + "\n" + result.report(sourceName);
  std::fputs(report.c_str(), stderr);
  return result.keptEverything() ? 0 : 1;
}

Command addImportCommand(CLI::App& app) {
  struct Arguments {
    std::string source;
    std::string output;
    std::string platform = "auto";
    std::string viewSize;
    std::string layer;
    bool list = false;
    std::string images;
  };
  auto arguments = std::make_shared<Arguments>();
  CLI::App* command = addSubcommand(
      app, "import",
      "Make an effect of existing Swift or Objective-C code that sets up a CAEmitterLayer and its "
      "cells. Writes the effect file; on standard error a summary and one line per emitter "
      "setting not kept (SOURCE:LINE:COLUMN: not kept: statement: reason). Exit status 0 when "
      "everything was kept, 1 when some settings were not (the effect is still written), 2 when "
      "nothing could be imported.",
      "tessary-code import ConfettiView.swift --view-size 390x844 -o confetti.json");
  command
      ->add_option("SOURCE", arguments->source, "Swift or Objective-C source; - for standard input")
      ->type_name("FILE")
      ->required();
  addOutputOption(command, arguments->output,
                  "Write the effect to FILE instead of standard output (- is standard output)");
  command
      ->add_option("--platform", arguments->platform,
                   "Platform the code is written for; auto decides by its AppKit or UIKit names "
                   "(on macOS the y axis points up, so mirrored values are turned back)")
      ->check(CLI::IsMember({"auto", "macos", "ios"}, CLI::ignore_case).description(""))
      ->type_name("auto|macos|ios")
      ->default_str("auto");
  command
      ->add_option("--view-size", arguments->viewSize,
                   "Size of the view the layer fills, for values the code takes from it "
                   "(bounds.midX, frame.width); else a frame in the code, else 400x300")
      ->type_name("WxH")
      ->check(CLI::Validator(
          [](const std::string& text) {
            return viewSizeFrom(text) ? std::string()
                                      : text + " is not a size such as 390x844 (above zero)";
          },
          ""));
  command
      ->add_option("--layer", arguments->layer,
                   "The emitter layer to import, by number (from 1) or by the name of its "
                   "variable, property or function; the first when not given")
      ->type_name("N|NAME");
  command->add_flag("--list", arguments->list,
                    "Print the emitter layers found, with their cell counts, and write no effect");
  command
      ->add_option("--images", arguments->images,
                   "Folder to look for the images the code names, besides the source's own")
      ->type_name("DIR");
  return {command, [arguments] {
            ImportOptions options;
            options.source = arguments->source;
            options.output = givenPath(arguments->output);
            if (lowercase(arguments->platform) != "auto") {
              options.platform = platformNamed(arguments->platform);
            }
            if (const auto size = viewSizeFrom(arguments->viewSize)) {
              options.viewWidth = size->first;
              options.viewHeight = size->second;
            }
            options.layer = arguments->layer;
            options.list = arguments->list;
            options.images = givenPath(arguments->images);
            return runImport(options);
          }};
}

}  // namespace tessary::tool
