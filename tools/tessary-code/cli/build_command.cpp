#include "build_command.h"

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

}  // namespace tessary::tool
