#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <string>

#include "tessary/code_editor/code_platform.h"

namespace tessary::tool {

// A command of the program as the command line holds it: its subcommand with every option, and
// what carries it out when it is the one given, giving the exit status. Usage and file errors are
// thrown as CommandError.
struct Command {
  CLI::App* subcommand;
  std::function<int()> run;
};

// Option values are checked case-insensitively and read in lower case.
std::string lowercase(std::string text);

// The --platform option of a command that writes a snippet, read into `platform` ("macos" or
// "ios"); `description` says what the platform is for.
void addPlatformOption(CLI::App* command, std::string& platform, const std::string& description);

code_editor::CodePlatform platformNamed(const std::string& name);

}  // namespace tessary::tool
