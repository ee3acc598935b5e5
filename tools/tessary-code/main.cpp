// tessary-code: turns a particle effect into a Swift snippet, and edits of the snippet back into
// the effect.

#include <CLI/CLI.hpp>

#include <cstdio>
#include <exception>
#include <map>
#include <string>

#include "apply_command.h"
#include "build_command.h"
#include "command_error.h"
#include "edit_command.h"
#include "output.h"
#include "serve_command.h"
#include "tessary/code_editor/version.h"
#include "tessary/store/effect_file.h"

namespace {

using tessary::code_editor::CodePlatform;
using tessary::tool::ApplyOptions;
using tessary::tool::BuildOptions;
using tessary::tool::OutputFormat;

constexpr int kUsageOrFileError = 2;

const std::map<std::string, CodePlatform::Value>& platformNames() {
  static const std::map<std::string, CodePlatform::Value> kNames{{"macos", CodePlatform::macOS},
                                                                 {"ios", CodePlatform::iOS}};
  return kNames;
}

const std::map<std::string, OutputFormat>& formatNames() {
  static const std::map<std::string, OutputFormat> kNames{{"auto", OutputFormat::automatic},
                                                          {"plain", OutputFormat::plain},
                                                          {"ansi", OutputFormat::ansi},
                                                          {"html", OutputFormat::html},
                                                          {"rtf", OutputFormat::rtf}};
  return kNames;
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

CLI::Option* addPlatformOption(CLI::App* command, CodePlatform::Value& platform,
                               const std::string& description) {
  return command->add_option("--platform", platform, description)
      ->transform(CLI::CheckedTransformer(platformNames(), CLI::ignore_case))
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
  CodePlatform::Value buildPlatform = CodePlatform::macOS;
  std::string buildEffect;
  std::string buildOutput;
  CLI::App* buildCommand = app.add_subcommand(
      "build",
      "Write the snippet of an effect (the built-in demo effect when none is given).\n\n"
      "Example:\n  tessary-code build fire.json --platform ios --format plain -o fire.swift");
  buildCommand->add_option("EFFECT", buildEffect, "Effect file (JSON)");
  addPlatformOption(buildCommand, buildPlatform, "Target platform: macos or ios");
  buildCommand
      ->add_option("--format", build.format,
                   "auto (ansi on a terminal, plain otherwise), plain, ansi, html or rtf")
      ->transform(CLI::CheckedTransformer(formatNames(), CLI::ignore_case))
      ->default_str("auto");
  buildCommand->add_option("--text-size", build.textSize, "Text size in points")
      ->check(CLI::Range(1.0, 200.0))
      ->default_str("12");
  buildCommand->add_option("-o,--output", buildOutput, "Write to FILE instead of standard output");

  ApplyOptions apply;
  CodePlatform::Value applyPlatform = CodePlatform::macOS;
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
  CodePlatform::Value editPlatform = CodePlatform::macOS;
  std::string editEffect;
  CLI::App* editCommand = app.add_subcommand(
      "edit",
      "Edit an effect's snippet in your editor ($VISUAL, then $EDITOR, then vi). When the editor "
      "closes, the numbers you changed are written into the effect and it is saved; a line that "
      "could not be used is named, and you may reopen your text, so nothing typed is lost.\n\n"
      "Example:\n  EDITOR=nano tessary-code edit fire.json --platform ios");
  editCommand->add_option("EFFECT", editEffect, "Effect file (JSON)")->required();
  addPlatformOption(editCommand, editPlatform, "Platform the snippet is written for");

  tessary::tool::ServeOptions serve;
  CodePlatform::Value servePlatform = CodePlatform::macOS;
  std::string serveEffect;
  CLI::App* serveCommand = app.add_subcommand(
      "serve",
      "Open the playground: a local web page with the effect's controls, the coloured snippet "
      "(editable) and a live preview. Every change is saved to EFFECT; without EFFECT the demo "
      "effect is kept in memory until the page saves it.\n\n"
      "Example:\n  tessary-code serve fire.json --port 8765");
  serveCommand->add_option("EFFECT", serveEffect, "Effect file (JSON)");
  addPlatformOption(serveCommand, servePlatform, "Target platform: macos or ios");
  serveCommand->add_option("--port", serve.port, "Port on 127.0.0.1 (0: any free port)")
      ->check(CLI::Range(0, 65535))
      ->default_str("8765");

  app.add_subcommand("demo",
                     "Write the built-in demo effect file, a starting point for new effects.\n\n"
                     "Example:\n  tessary-code demo > fire.json");

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
      build.platform = buildPlatform;
      if (!buildEffect.empty()) build.effect = buildEffect;
      if (!buildOutput.empty()) build.output = buildOutput;
      tessary::tool::runBuild(build);
    } else if (serveCommand->parsed()) {
      serve.platform = servePlatform;
      if (!serveEffect.empty()) serve.effect = serveEffect;
      tessary::tool::runServe(serve);
    } else if (editCommand->parsed()) {
      edit.effect = editEffect;
      edit.platform = editPlatform;
      return tessary::tool::runEdit(edit);
    } else if (applyCommand->parsed()) {
      apply.effect = applyEffect;
      apply.platform = applyPlatform;
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
