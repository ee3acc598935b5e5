// tessary-code: turns a particle effect into a Swift snippet, and edits of the snippet back into
// the effect.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/apply_command.h"
#include "cli/build_command.h"
#include "cli/command_error.h"
#include "cli/command_line.h"
#include "cli/demo_command.h"
#include "cli/edit_command.h"
#include "cli/import_command.h"
#include "cli/serve_command.h"
#include "tessary/code_editor/version.h"

namespace {

// "tessary-code 1.0 (Tessary-CodeEditor-1)", from the library's version symbols.
std::string versionText() {
  const std::string marker = reinterpret_cast<const char*>(TessaryCodeEditorVersionString);
  const std::size_t project = marker.find("PROJECT:") + 8;
  const std::size_t end = marker.find('\n', project);
  char number[32];
  std::snprintf(number, sizeof number, "%.1f", TessaryCodeEditorVersionNumber);
  return "tessary-code " + std::string(number) + " (" + marker.substr(project, end - project) + ")";
}

void printError(const std::string& message) {
  std::fprintf(stderr, "tessary-code: %s\n", message.c_str());
}

// The help to read after a usage error: the command's own when one was named.
std::string helpCommand(const std::vector<tessary::tool::Command>& commands, int argc,
                        char** argv) {
  const char* const* named =
      std::find_if(argv + 1, argv + argc, [](const char* argument) { return argument[0] != '-'; });
  for (const tessary::tool::Command& command : commands) {
    if (named != argv + argc && command.subcommand->check_name(*named)) {
      return "tessary-code " + command.subcommand->get_name() + " --help";
    }
  }
  return "tessary-code --help";
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tessary::tool;
  CLI::App app{
      "Turns a particle effect into a ready-to-paste Swift snippet (macOS or iOS) that recreates "
      "it with Core Animation, and takes numbers edited in the snippet back into the effect.",
      "tessary-code"};
  app.footer(
      "Example:\n  tessary-code demo > fire.json\n  tessary-code build fire.json --platform ios");
  app.require_subcommand(1);
  app.set_version_flag("--version", versionText());
  const std::vector<Command> commands{addBuildCommand(app), addApplyCommand(app),
                                      addEditCommand(app),  addImportCommand(app),
                                      addServeCommand(app), addDemoCommand(app)};

  if (argc > 1 && argv[1][0] != '-' &&
      std::none_of(commands.begin(), commands.end(), [&](const Command& command) {
        return command.subcommand->check_name(argv[1]);
      })) {
    printError(std::string("unknown command '") + argv[1] +
               "'; the commands are build, apply, edit, import, demo and serve; see 'tessary-code "
               "--help'");
    return kUsageOrFileError;
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& success) {
    return app.exit(success);
  } catch (const CLI::ParseError& error) {
    printError(std::string(error.what()) + "; see '" + helpCommand(commands, argc, argv) + "'");
    return kUsageOrFileError;
  }

  try {
    for (const Command& command : commands) {
      if (command.subcommand->parsed()) return command.run();
    }
  } catch (const CommandError& error) {
    printError(error.what());
    return error.status();
  } catch (const std::exception& error) {
    printError(error.what());
    return kUsageOrFileError;
  }
  return 0;
}
