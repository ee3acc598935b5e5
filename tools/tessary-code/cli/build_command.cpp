#include "build_command.h"

#include <map>
#include <memory>
#include <string>

#include "command_error.h"
#include "output.h"
#include "tessary/code_editor/code_builder.h"
#include "tessary/code_editor/snippet_layout.h"
#include "tessary/platform/ansi_renderer.h"
#include "tessary/platform/dispatch_queue.h"
#include "tessary/platform/html_renderer.h"
#include "tessary/platform/rtf_renderer.h"
#include "tessary/store/load_effect.h"

namespace tessary::tool {

namespace {

using code_editor::CodeHighlighter;

std::string render(const platform::MutableAttributedString& text, OutputFormat format,
                   const BuildOptions& options) {
  const code_editor::CodeTheme& theme = CodeHighlighter::theme();
  const platform::Font font =
      platform::Font::fontWithNameOrSystemFont("Menlo Regular", options.textSize);
  switch (format) {
    case OutputFormat::ansi:
      return platform::AnsiRenderer({theme.plainTextColor, std::nullopt}).render(text);
    case OutputFormat::html: {
      const std::string source = options.effect ? options.effect->filename().string() : "demo";
      return platform::HtmlRenderer(
                 {source + " \xe2\x80\x94 Swift for " + std::string(options.platform.rawValue()),
                  theme.backgroundColor, theme.plainTextColor, font})
          .render(text);
    }
    case OutputFormat::rtf:
      return platform::RtfRenderer({theme.backgroundColor, theme.plainTextColor, font})
          .render(text);
    case OutputFormat::automatic:
    case OutputFormat::plain:
      break;
  }
  return text.string();
}

}  // namespace

void runBuild(const BuildOptions& options) {
  OutputFormat format = options.format;
  if (format == OutputFormat::automatic) {
    format =
        (!options.output && standardOutputWantsColor()) ? OutputFormat::ansi : OutputFormat::plain;
  }
  const store::LayerConfigRef layer = store::loadEffect(options.effect);
  if (format == OutputFormat::plain) {
    writeOutput(options.output, code_editor::SnippetLayout::plainText(*layer, options.platform));
    return;
  }
  const code_editor::CodeBuilder builder(options.textSize,
                                         platform::DispatchQueue("tessary-code.cache"));
  const std::shared_ptr<const platform::MutableAttributedString> text =
      builder.buildText(*layer, options.platform);
  writeOutput(options.output, render(*text, format, options));
}

Command addBuildCommand(CLI::App& app) {
  struct Arguments {
    BuildOptions options;
    std::string platform = "macos";
    std::string format = "auto";
    std::string effect;
    std::string output;
  };
  auto arguments = std::make_shared<Arguments>();
  CLI::App* command = app.add_subcommand(
      "build",
      "Write the snippet of an effect (the built-in demo effect when none is given).\n\n"
      "Example:\n  tessary-code build fire.json --platform ios --format plain -o fire.swift");
  command->add_option("EFFECT", arguments->effect, "Effect file (JSON)");
  addPlatformOption(command, arguments->platform, "Target platform");
  command
      ->add_option("--format", arguments->format,
                   "auto (ansi on a terminal, plain otherwise), plain, ansi, html or rtf")
      ->check(CLI::IsMember({"auto", "plain", "ansi", "html", "rtf"}, CLI::ignore_case))
      ->type_name("FORMAT")
      ->default_str("auto");
  command->add_option("--text-size", arguments->options.textSize, "Text size in points")
      ->check(CLI::Range(1.0, 200.0))
      ->default_str("12");
  command->add_option("-o,--output", arguments->output, "Write to FILE instead of standard output");
  return {command, [arguments] {
            static const std::map<std::string, OutputFormat> kFormats{
                {"auto", OutputFormat::automatic},
                {"plain", OutputFormat::plain},
                {"ansi", OutputFormat::ansi},
                {"html", OutputFormat::html},
                {"rtf", OutputFormat::rtf}};
            BuildOptions options = arguments->options;
            options.platform = platformNamed(arguments->platform);
            options.format = kFormats.at(lowercase(arguments->format));
            if (!arguments->effect.empty()) options.effect = arguments->effect;
            if (!arguments->output.empty()) options.output = arguments->output;
            runBuild(options);
            return 0;
          }};
}

}  // namespace tessary::tool
