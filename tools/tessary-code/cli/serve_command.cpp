#include "serve_command.h"

#include <memory>
#include <string>

#include "playground/serve.h"

namespace tessary::tool {

Command addServeCommand(CLI::App& app) {
  struct Arguments {
    ServeOptions options;
    std::string platform = "macos";
    std::string effect;
  };
  auto arguments = std::make_shared<Arguments>();
  CLI::App* command = addSubcommand(
      app, "serve",
      "Open the playground: a local web page with the effect's controls, the coloured snippet "
      "(editable) and a live preview. Every change is saved to EFFECT; without EFFECT the demo "
      "effect is kept in memory until the page saves it.",
      "tessary-code serve fire.json --port 8765");
  addEffectArgument(command, arguments->effect, "Effect file (JSON)");
  addPlatformOption(command, arguments->platform, "Target platform");
  command->add_option("--port", arguments->options.port, "Port on 127.0.0.1 (0: any free port)")
      ->check(numberFrom(0, 65535, Numbers::whole))
      ->type_name("0-65535")
      ->default_str("8765");
  return {command, [arguments] {
            ServeOptions options = arguments->options;
            options.platform = platformNamed(arguments->platform);
            options.effect = givenPath(arguments->effect);
            runServe(options);
            return 0;
          }};
}

}  // namespace tessary::tool
