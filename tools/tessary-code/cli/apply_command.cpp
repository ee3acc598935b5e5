#include "apply_command.h"

#include <iostream>
#include <iterator>
#include <memory>
#include <vector>

#include "command_error.h"
#include "output.h"
#include "tessary/code_editor/code_analyzer.h"
#include "tessary/code_editor/code_builder.h"
#include "tessary/code_editor/snippet_line_ends.h"
#include "tessary/platform/atomic_file.h"
#include "tessary/platform/dispatch_queue.h"
#include "tessary/platform/text_storage.h"
#include "tessary/store/data_store.h"
#include "tessary/store/effect_file.h"
#include "tessary/store/formatters.h"
#include "tessary/store/load_effect.h"
#include "tessary/store/property_table.h"

namespace tessary::tool {

namespace {

using store::AnyKeyPath;
using store::StoreChange;

std::string readEdited(const std::optional<std::filesystem::path>& path) {
  if (path) return readInput(*path);
  std::string text((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
  if (std::cin.bad()) throw CommandError("standard input: read failed");
  return text;
}

// "particlesLayer", "cell3" or "subcell3_2", as the snippet names them.
std::string variableName(const StoreChange& change) {
  if (!change.cellIdx) return "particlesLayer";
  std::string name = change.subcellIdx ? "subcell" : "cell";
  name += std::to_string(static_cast<long long>(*change.cellIdx) + 1);
  if (change.subcellIdx)
    name += "_" + std::to_string(static_cast<long long>(*change.subcellIdx) + 1);
  return name;
}

// The member as the snippet names it ("emitterPosition.y"), and the fraction digits it shows a
// number with.
std::string propertyName(AnyKeyPath keypath) {
  if (const auto* row = store::PropertyTable::find(keypath)) return std::string(row->swiftName);
  return keypath.propertyName();
}

int fractionDigits(AnyKeyPath keypath) {
  const auto* row = store::PropertyTable::find(keypath);
  return row != nullptr ? row->digits : 1;
}

std::string valueText(AnyKeyPath keypath, const store::StoreValue& value) {
  if (const double* number = std::get_if<double>(&value)) {
    return store::roundedTo(*number, fractionDigits(keypath));
  }
  const platform::Color& color = std::get<platform::Color>(value);
  return "(red: " + store::rgbValue(color.red) + ", green: " + store::rgbValue(color.green) +
         ", blue: " + store::rgbValue(color.blue) + ", alpha: " + store::roundedTo(color.alpha, 2) +
         ")";
}

std::string changeLine(const StoreChange& change) {
  return variableName(change) + "." + propertyName(change.keypath) + ": " +
         valueText(change.keypath, change.oldValue) + " -> " +
         valueText(change.keypath, change.newValue) + "\n";
}

}  // namespace

AppliedEdit applyEditedText(const store::LayerConfigRef& layer, std::string_view edited,
                            code_editor::CodePlatform platform) {
  const code_editor::CodeBuilder builder(12.0, platform::DispatchQueue("tessary-code.cache"));
  code_editor::BuildResult built = builder.buildMainThread(std::nullopt, *layer, platform);
  code_editor::CodeAnalyzer analyzer(platform::DispatchQueue("tessary-code.history"));
  analyzer.setHistory(std::move(built.newHistroy));

  store::DataStore dataStore(layer);
  AppliedEdit applied{code_editor::CodeAnalysisResult::invalid, {}};
  dataStore.addObserver(
      [&applied](const StoreChange& change) { applied.changes.push_back(change); });
  applied.answer = analyzer.analyzeString(edited, platform::TextStorage(), dataStore, platform);
  return applied;
}

std::string describe(const AppliedEdit& applied) {
  std::string report(code_editor::toString(applied.answer));
  report += '\n';
  for (const StoreChange& change : applied.changes) report += changeLine(change);
  return report;
}

int runApply(const ApplyOptions& options) {
  const store::LayerConfigRef layer = store::loadEffect(options.effect);
  const AppliedEdit applied = applyEditedText(
      layer, code_editor::snippetLineEnds(readEdited(options.edited)), options.platform);
  if (!applied.changes.empty()) {
    try {
      store::EffectFile::save(*layer, options.output.value_or(options.effect));
    } catch (const store::EffectFileError& error) {
      throw CommandError(error.what());
    }
  }
  writeOutput(std::nullopt, describe(applied));
  return applied.answer == code_editor::CodeAnalysisResult::valid ? kApplyValid : kApplyNotValid;
}

Command addApplyCommand(CLI::App& app) {
  struct Arguments {
    ApplyOptions options;
    std::string platform = "macos";
    std::string edited;
    std::string output;
  };
  auto arguments = std::make_shared<Arguments>();
  CLI::App* command = app.add_subcommand(
      "apply",
      "Apply an edited snippet to an effect: the numbers changed in it are written into the "
      "effect, which is saved when anything changed. Prints valid, pending or invalid, then one "
      "line per change.\n\n"
      "Example:\n  tessary-code apply fire.json fire.swift --platform ios");
  command->add_option("EFFECT", arguments->options.effect, "Effect file (JSON)")->required();
  command->add_option("EDITED", arguments->edited,
                      "The edited snippet; - or nothing for standard input");
  addPlatformOption(command, arguments->platform, "Platform the snippet is written for");
  command->add_option("-o,--output", arguments->output,
                      "Save the changed effect to FILE instead of EFFECT");
  return {command, [arguments] {
            ApplyOptions options = arguments->options;
            options.platform = platformNamed(arguments->platform);
            if (!arguments->edited.empty() && arguments->edited != "-") {
              options.edited = arguments->edited;
            }
            if (!arguments->output.empty()) options.output = arguments->output;
            return runApply(options);
          }};
}

}  // namespace tessary::tool
