#include "demo_command.h"

#include <optional>

#include "output.h"
#include "tessary/store/effect_file.h"

namespace tessary::tool {

Command addDemoCommand(CLI::App& app) {
  CLI::App* command = app.add_subcommand(
      "demo",
      "Write the built-in demo effect file, a starting point for new effects.\n\n"
      "Example:\n  tessary-code demo > fire.json");
  return {command, [] {
            writeOutput(std::nullopt, store::EffectFile::demoJson());
            return 0;
          }};
}

}  // namespace tessary::tool
