// tessary-code: turns a particle effect into a Swift snippet, and edits of the snippet back into
// the effect.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <exception>
#include <map>
#include <string>

#include "cli/apply_command.h"
#include "cli/build_command.h"
#include "cli/command_error.h"
#include "cli/edit_command.h"
#include "cli/output.h"
#include "playground/serve.h"
#include "tessary/code_editor/version.h"
#include "tessary/store/effect_file.h"

namespace {

using tessary::code_editor::CodePlatform;
using tessary::tool::ApplyOptions;
using tessary::tool::BuildOptions;
using tessary::tool::OutputFormat;

constexpr int kUsageOrFileError = 2;

// Option values are checked case-insensitively and read in lower case.
std::string lowercase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

CodePlatform platformNamed(const std::string& name) {
  return lowercase(name) == "ios" ? CodePlatform::iOS : CodePlatform::macOS;
}

OutputFormat formatNamed(const std::string& name) {
  static const std::map<std::string, OutputFormat> kFormats{{"auto", OutputFormat::automatic},
                                                            {"plain", OutputFormat::plain},
                                                            {"ansi", OutputFormat::ansi},
                                                            {"html", OutputFormat::html},
                                                            {"rtf", OutputFormat::rtf}};
  return kFormats.at(lowercase(name));
}

// "tessary-code 1.0 (Tessary-CodeEditor-1)", from the library's version symbols.
std::string versionText() {
  const std::string marker = reinterpret_cast<const char*>(TessaryCodeEditorVersionString);
  const std::size_t project = marker.find("PROJECT:") + 8;
  const std::size_t end = marker.find('\n', project);
  char number[32];
  std::snprintf(number, sizeof number, "%.1f", TessaryCodeEditorVersionNumber);
  return "tessary-code " + std::string(number) + " (" + marker.substr(project, end - project) + ")";
}

CLI::Option* addPlatformOption(CLI::App* command, std::string& platform,
                               const std::string& description) {
  return command->add_option("--platform", platform, description + ": macos or ios")
      ->check(CLI::IsMember({"macos", "ios"}, CLI::ignore_case))
      ->type_name("PLATFORM")
      ->default_str("macos");
}

void printError(const std::string& message) {
  std::fprintf(stderr, "tessary-code: %s\n", message.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Turns a particle effect into a ready-to-paste Swift snippet (macOS or iOS) that recreates "
      "it with Core Animation, and takes numbers edited in the snippet back into the effect.\n\n"
      "Example:\n  tessary-code demo > fire.json\n  tessary-code build fire.json --platform ios",
      "tessary-code"};
  app.require_subcommand(1);
  app.set_version_flag("--version", versionText());

  BuildOptions build;
  std::string buildPlatform = "macos";
  std::string buildFormat = "auto";
  std::string buildEffect;
  std::string buildOutput;
  CLI::App* buildCommand = app.add_subcommand(
      "build",
      "Write the snippet of an effect (the built-in demo effect when none is given).\n\n"
      "Example:\n  tessary-code build fire.json --platform ios --format plain -o fire.swift");
  buildCommand->add_option("EFFECT", buildEffect, "Effect file (JSON)");
  addPlatformOption(buildCommand, buildPlatform, "Target platform");
  buildCommand
      ->add_option("--format", buildFormat,
                   "auto (ansi on a terminal, plain otherwise), plain, ansi, html or rtf")
      ->check(CLI::IsMember({"auto", "plain", "ansi", "html", "rtf"}, CLI::ignore_case))
      ->type_name("FORMAT")
      ->default_str("auto");
  buildCommand->add_option("--text-size", build.textSize, "Text size in points")
      ->check(CLI::Range(1.0, 200.0))
      ->default_str("12");
  buildCommand->add_option("-o,--output", buildOutput, "Write to FILE instead of standard output");

  ApplyOptions apply;
  std::string applyPlatform = "macos";
  std::string applyEffect;
  std::string applyEdited;
  std::string applyOutput;
  CLI::App* applyCommand = app.add_subcommand(
      "apply",
      "Apply an edited snippet to an effect: the numbers changed in it are written into the "
      "effect, which is saved when anything changed. Prints valid, pending or invalid, then one "
      "line per change.\n\n"
      "Example:\n  tessary-code apply fire.json fire.swift --platform ios");
  applyCommand->add_option("EFFECT", applyEffect, "Effect file (JSON)")->required();
  applyCommand->add_option("EDITED", applyEdited,
                           "The edited snippet; - or nothing for standard input");
  addPlatformOption(applyCommand, applyPlatform, "Platform the snippet is written for");
  applyCommand->add_option("-o,--output", applyOutput,
                           "Save the changed effect to FILE instead of EFFECT");

  tessary::tool::EditOptions edit;
  std::string editPlatform = "macos";
  std::string editEffect;
  CLI::App* editCommand = app.add_subcommand(
      "edit",
      "Edit an effect's snippet in your editor ($VISUAL, then $EDITOR, then vi). When the editor "
      "closes, the numbers you changed are written into the effect and it is saved; a line that "
      "could not be used is named, and you may reopen your text, so nothing typed is lost.\n\n"
      "Example:\n  tessary-code edit fire.json --platform ios");
  editCommand->add_option("EFFECT", editEffect, "Effect file (JSON)")->required();
  addPlatformOption(editCommand, editPlatform, "Platform the snippet is written for");

  tessary::tool::ServeOptions serve;
  std::string servePlatform = "macos";
  std::string serveEffect;
  CLI::App* serveCommand = app.add_subcommand(
      "serve",
      "Open the playground: a local web page with the effect's controls, the coloured snippet "
      "(editable) and a live preview. Every change is saved to EFFECT; without EFFECT the demo "
      "effect is kept in memory until the page saves it.\n\n"
      "Example:\n  tessary-code serve fire.json --port 8765");
  serveCommand->add_option("EFFECT", serveEffect, "Effect file (JSON)");
  addPlatformOption(serveCommand, servePlatform, "Target platform");
  serveCommand->add_option("--port", serve.port, "Port on 127.0.0.1 (0: any free port)")
      ->check(CLI::Range(0, 65535))
      ->default_str("8765");

  app.add_subcommand("demo",
                     "Write the built-in demo effect file, a starting point for new effects.\n\n"
                     "Example:\n  tessary-code demo > fire.json");

  if (argc > 1 && argv[1][0] != '-') {
    const auto commands = app.get_subcommands([](CLI::App*) { return true; });
    const bool known = std::any_of(commands.begin(), commands.end(),
                                   [&](CLI::App* command) { return command->check_name(argv[1]); });
    if (!known) {
      printError(std::string("unknown command '") + argv[1] +
                 "'; the commands are build, apply, edit, demo and serve");
      std::fprintf(stderr, "Run 'tessary-code --help' for usage.\n");
      return kUsageOrFileError;
    }
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& success) {
    return app.exit(success);
  } catch (const CLI::ParseError& error) {
    printError(error.what());
    std::fprintf(stderr, "Run 'tessary-code --help' for usage.\n");
    return kUsageOrFileError;
  }

  try {
    if (buildCommand->parsed()) {
      build.platform = platformNamed(buildPlatform);
      build.format = formatNamed(buildFormat);
      if (!buildEffect.empty()) build.effect = buildEffect;
      if (!buildOutput.empty()) build.output = buildOutput;
      tessary::tool::runBuild(build);
    } else if (serveCommand->parsed()) {
      serve.platform = platformNamed(servePlatform);
      if (!serveEffect.empty()) serve.effect = serveEffect;
      tessary::tool::runServe(serve);
    } else if (editCommand->parsed()) {
      edit.effect = editEffect;
      edit.platform = platformNamed(editPlatform);
      return tessary::tool::runEdit(edit);
    } else if (applyCommand->parsed()) {
      apply.effect = applyEffect;
      apply.platform = platformNamed(applyPlatform);
      if (!applyEdited.empty() && applyEdited != "-") apply.edited = applyEdited;
      if (!applyOutput.empty()) apply.output = applyOutput;
      return tessary::tool::runApply(apply);
    } else {
      tessary::tool::writeOutput(std::nullopt, tessary::store::EffectFile::demoJson());
    }
  } catch (const tessary::tool::CommandError& error) {
    printError(error.what());
    return kUsageOrFileError;
  } catch (const std::exception& error) {
    printError(error.what());
    return kUsageOrFileError;
  }
  return 0;
}
