#pragma once

#include <CLI/CLI.hpp>

#include <filesystem>
#include <functional>
#include <optional>
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

// A subcommand whose help says what it does, then its usage and options, then `example`.
CLI::App* addSubcommand(CLI::App& app, const std::string& name, const std::string& description,
                        const std::string& example);

// Option values are checked case-insensitively and read in lower case.
std::string lowercase(std::string text);

// The EFFECT argument, an effect file's path read into `effect`.
CLI::Option* addEffectArgument(CLI::App* command, std::string& effect,
                               const std::string& description);

// The --platform option of a command that writes a snippet, read into `platform` ("macos" or
// "ios"); `description` says what the platform is for.
void addPlatformOption(CLI::App* command, std::string& platform, const std::string& description);

code_editor::CodePlatform platformNamed(const std::string& name);

// The -o/--output option, a file name read into `output`: "-" is standard output (which
// `description` says), and an empty name is a usage error.
void addOutputOption(CLI::App* command, std::string& output, const std::string& description);

// A check that an option's value is a number from `least` to `most`; a whole one for an option
// whose value is counted.
enum class Numbers { any, whole };
CLI::Validator numberFrom(double least, double most, Numbers numbers = Numbers::any);

// The path a file argument names; nothing when it was not given.
std::optional<std::filesystem::path> givenPath(const std::string& argument);

}  // namespace tessary::tool
