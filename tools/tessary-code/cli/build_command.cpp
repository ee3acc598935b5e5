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
#include "tessary/store/effect_file.h"
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
      const std::string source = !options.effect ? "demo"
                                 : isStandardStream(*options.effect)
                                     ? "standard input"
                                     : options.effect->filename().string();
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

bool writesToStandardOutput(const BuildOptions& options) {
  return !options.output || isStandardStream(*options.output);
}

OutputFormat chosenFormat(const BuildOptions& options) {
  if (options.format != OutputFormat::automatic) return options.format;
  if (writesToStandardOutput(options)) {
    return standardOutputWantsColor(options.color) ? OutputFormat::ansi : OutputFormat::plain;
  }
  const std::string extension = lowercase(options.output->extension().string());
  if (extension == ".html" || extension == ".htm") return OutputFormat::html;
  if (extension == ".rtf") return OutputFormat::rtf;
  return options.color == ColorChoice::always && extension != ".swift" ? OutputFormat::ansi
                                                                       : OutputFormat::plain;
}

store::LayerConfigRef loadedEffect(const std::optional<std::filesystem::path>& effect) {
  if (effect && isStandardStream(*effect)) {
    return store::EffectFile::parse(readInput(*effect), "standard input");
  }
  return store::loadEffect(effect);
}

}  // namespace

void runBuild(const BuildOptions& options) {
  if (options.effect && options.output) {
    refuseToOverwrite(*options.output, *options.effect, "the effect file");
  }
  const OutputFormat format = chosenFormat(options);
  const store::LayerConfigRef layer = loadedEffect(options.effect);
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
    std::string color = "auto";
    std::string effect;
    std::string output;
  };
  auto arguments = std::make_shared<Arguments>();
  CLI::App* command = addSubcommand(
      app, "build", "Write the snippet of an effect (the built-in demo effect when none is given).",
      "tessary-code build fire.json --platform ios -o fire.swift");
  addEffectArgument(command, arguments->effect,
                    "Effect file (JSON); - for standard input; the demo effect when none is given");
  addPlatformOption(command, arguments->platform, "Target platform");
  command
      ->add_option("--format", arguments->format,
                   "auto: by the output file's extension (.html, .rtf, .swift), otherwise ansi "
                   "when colour is wanted, plain when not")
      ->check(
          CLI::IsMember({"auto", "plain", "ansi", "html", "rtf"}, CLI::ignore_case).description(""))
      ->type_name("auto|plain|ansi|html|rtf")
      ->default_str("auto");
  command
      ->add_option("--color", arguments->color,
                   "Colour for --format auto: always, never, or auto: off when NO_COLOR is set, "
                   "on when FORCE_COLOR or CLICOLOR_FORCE is (and not 0), off when TERM=dumb, "
                   "otherwise on a terminal only")
      ->check(CLI::IsMember({"auto", "always", "never"}, CLI::ignore_case).description(""))
      ->type_name("auto|always|never")
      ->default_str("auto");
  command->add_option("--text-size", arguments->options.textSize, "Text size in points, 1 to 200")
      ->check(numberFrom(1, 200))
      ->type_name("POINTS")
      ->default_str("12");
  addOutputOption(command, arguments->output,
                  "Write to FILE instead of standard output (- is standard output)");
  return {
      command, [arguments] {
        static const std::map<std::string, OutputFormat> kFormats{{"auto", OutputFormat::automatic},
                                                                  {"plain", OutputFormat::plain},
                                                                  {"ansi", OutputFormat::ansi},
                                                                  {"html", OutputFormat::html},
                                                                  {"rtf", OutputFormat::rtf}};
        static const std::map<std::string, ColorChoice> kColors{{"auto", ColorChoice::automatic},
                                                                {"always", ColorChoice::always},
                                                                {"never", ColorChoice::never}};
        BuildOptions options = arguments->options;
        options.platform = platformNamed(arguments->platform);
        options.format = kFormats.at(lowercase(arguments->format));
        options.color = kColors.at(lowercase(arguments->color));
        options.effect = givenPath(arguments->effect);
        options.output = givenPath(arguments->output);
        runBuild(options);
        return 0;
      }};
}

}  // namespace tessary::tool
