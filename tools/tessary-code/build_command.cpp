#include "build_command.h"

#include "command_error.h"
#include "effect_source.h"
#include "output.h"
#include "tessary/code_editor/snippet_layout.h"

namespace tessary::tool {

void runBuild(const BuildOptions& options) {
  const OutputFormat format =
      options.format == OutputFormat::automatic ? OutputFormat::plain : options.format;
  if (format != OutputFormat::plain) {
    throw CommandError("--format: only plain is available in this version");
  }
  const store::LayerConfigRef layer = loadEffect(options.effect);
  writeOutput(options.output, code_editor::SnippetLayout::plainText(*layer, options.platform));
}

}  // namespace tessary::tool
