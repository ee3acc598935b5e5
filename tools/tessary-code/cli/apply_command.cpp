#include "apply_command.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <vector>

#include "command_error.h"
#include "output.h"
#include "tessary/code_editor/code_analyzer.h"
#include "tessary/code_editor/code_builder.h"
#include "tessary/code_editor/snippet_line_ends.h"
#include "tessary/code_editor/store_update.h"
#include "tessary/platform/dispatch_queue.h"
#include "tessary/platform/text_storage.h"
#include "tessary/store/data_store.h"
#include "tessary/store/effect_file.h"
#include "tessary/store/formatters.h"
#include "tessary/store/load_effect.h"
#include "tessary/store/property_table.h"

namespace tessary::tool {

namespace {

using code_editor::CodePlatform;
using code_editor::LineProblem;
using store::AnyKeyPath;
using store::StoreChange;

// "particlesLayer", "cell3" or "subcell3_2", as the snippet names them.
std::string variableName(std::optional<int> cellIndex, std::optional<int> subcellIndex) {
  if (!cellIndex) return "particlesLayer";
  std::string name = subcellIndex ? "subcell" : "cell";
  name += std::to_string(static_cast<long long>(*cellIndex) + 1);
  if (subcellIndex) name += "_" + std::to_string(static_cast<long long>(*subcellIndex) + 1);
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

// The value as the snippet for `platform` shows it. Mirroring a value is its own inverse, so the
// platform's mapping from a shown value to a stored one also maps a stored value to the shown.
store::StoreValue shownValue(AnyKeyPath keypath, const store::StoreValue& stored,
                             CodePlatform platform, const store::LayerConfig& layer) {
  if (const double* number = std::get_if<double>(&stored)) {
    return platform.get(*number, keypath, layer);
  }
  return stored;
}

std::string changeLine(const StoreChange& change, CodePlatform platform,
                       const store::LayerConfig& layer) {
  const AnyKeyPath keypath = change.keypath;
  const std::string storedOld = valueText(keypath, change.oldValue);
  const std::string storedNew = valueText(keypath, change.newValue);
  const std::string shownOld =
      valueText(keypath, shownValue(keypath, change.oldValue, platform, layer));
  const std::string shownNew =
      valueText(keypath, shownValue(keypath, change.newValue, platform, layer));
  std::string line = variableName(change.cellIdx, change.subcellIdx) + "." + propertyName(keypath) +
                     ": " + shownOld + " -> " + shownNew;
  if (shownOld != storedOld || shownNew != storedNew) {
    line += " (stored: " + storedOld + " -> " + storedNew + ")";
  }
  return line + "\n";
}

// "the number", or "the number after `y:`" on a line of several numbers.
std::string numberNamed(const LineProblem& problem) {
  return problem.label == "=" ? "the number"
                              : "the number after `" + std::string(problem.label) + "`";
}

std::string reasonText(const LineProblem& problem, const std::string& member) {
  using Reason = LineProblem::Reason;
  switch (problem.reason) {
    case Reason::lineMissing:
      return "no line for " + member;
    case Reason::notEditable:
      return "the snippet cannot change this line";
    case Reason::shapeLost: {
      const std::string kind = member.substr(member.find('.') + 1);
      const bool vowel = std::string_view("aeiouAEIOU").find(kind.front()) != std::string::npos;
      return std::string("the line no longer has the shape of ") + (vowel ? "an " : "a ") + kind +
             " line";
    }
    case Reason::numberMissing:
      return numberNamed(problem) + " is missing";
    case Reason::notANumber:
      if (problem.text.starts_with('-') &&
          code_editor::StoreUpdate::convertedNumber(problem.text)) {
        return numberNamed(problem) + " cannot be negative (`" + problem.text + "`)";
      }
      return "`" + problem.text + "`" +
             (problem.label == "=" ? "" : " after `" + std::string(problem.label) + "`") +
             " is not a number";
    case Reason::numberTooLarge:
      return numberNamed(problem) + " is too large";
    case Reason::stillTyping:
      return numberNamed(problem) + " is still being typed";
  }
  return {};
}

std::size_t lineNumber(std::string_view text, std::size_t offset) {
  return static_cast<std::size_t>(std::count(text.begin(), text.begin() + offset, '\n')) + 1;
}

// The first of the classes that tell a snippet's platform (its colour, image and view classes)
// that `text` names; empty when it names none.
std::string_view classNamed(std::string_view text, CodePlatform platform) {
  static constexpr std::array<std::string_view, 3> kMacOS{"NSColor", "NSImage", "NSView"};
  static constexpr std::array<std::string_view, 3> kIOS{"UIColor", "UIImage", "UIView"};
  for (std::string_view name : platform == CodePlatform::macOS ? kMacOS : kIOS) {
    if (text.find(name) != std::string_view::npos) return name;
  }
  return {};
}

void saveEffect(const store::LayerConfig& layer, const std::filesystem::path& path) {
  if (isStreamOutput(path)) return writeOutput(path, store::EffectFile::serialize(layer));
  try {
    store::EffectFile::save(layer, path);
  } catch (const store::EffectFileError& error) {
    throw CommandError(error.what());
  }
}

}  // namespace

bool AppliedEdit::changedNothing() const {
  return answer == code_editor::CodeAnalysisResult::invalid && changes.empty() && problems.empty();
}

AppliedEdit applyEditedText(const store::LayerConfigRef& layer, std::string_view edited,
                            CodePlatform platform) {
  const code_editor::CodeBuilder builder(12.0, platform::DispatchQueue("tessary-code.cache"));
  code_editor::BuildResult built = builder.buildMainThread(std::nullopt, *layer, platform);
  code_editor::CodeAnalyzer analyzer(platform::DispatchQueue("tessary-code.history"));
  analyzer.setHistory(std::move(built.newHistroy));

  store::DataStore dataStore(layer);
  AppliedEdit applied{code_editor::CodeAnalysisResult::invalid, {}, {}};
  dataStore.addObserver(
      [&applied](const StoreChange& change) { applied.changes.push_back(change); });
  applied.answer = analyzer.analyzeString(edited, platform::TextStorage(), dataStore, platform,
                                          applied.problems);
  return applied;
}

std::string describe(const AppliedEdit& applied, CodePlatform platform,
                     const store::LayerConfig& layer) {
  if (applied.changedNothing()) return "no changes\n";
  std::string report(code_editor::toString(applied.answer));
  report += '\n';
  for (const StoreChange& change : applied.changes) report += changeLine(change, platform, layer);
  return report;
}

std::string explainProblems(const AppliedEdit& applied, std::string_view edited,
                            const std::string& fileName, CodePlatform platform) {
  // A text that lost most of the snippet's lines says so in a few of them.
  constexpr std::size_t kMissingLinesNamed = 3;
  std::string explained;
  std::size_t missing = 0;
  for (const LineProblem& problem : applied.problems) {
    if (problem.reason == LineProblem::Reason::lineMissing && ++missing > kMissingLinesNamed) {
      continue;
    }
    const std::string property = propertyName(problem.record.keypath());
    const std::string member =
        variableName(problem.record.cellIndex(), problem.record.subcellIndex()) + "." +
        property.substr(0, property.find('.'));
    explained += fileName;
    if (problem.line) {
      explained += ":" + std::to_string(lineNumber(edited, problem.line->begin)) + ": " + member;
    }
    explained += ": " + reasonText(problem, member) + "\n";
  }
  if (missing > kMissingLinesNamed) {
    explained += fileName + ": and " + std::to_string(missing - kMissingLinesNamed) +
                 " more lines of the snippet are missing\n";
  }
  const CodePlatform other =
      platform == CodePlatform::macOS ? CodePlatform::iOS : CodePlatform::macOS;
  const std::string_view otherClass = classNamed(edited, other);
  if (!otherClass.empty()) {
    explained += fileName + ": the text names " + std::string(otherClass) + ", a class of the " +
                 std::string(other.rawValue()) + " snippet, but was applied as " +
                 std::string(platform.rawValue()) + "; try --platform " +
                 lowercase(std::string(other.rawValue())) + "\n";
  }
  return explained;
}

int runApply(const ApplyOptions& options) {
  if (options.output) refuseToOverwrite(*options.output, options.edited, "the edited snippet");
  const store::LayerConfigRef layer = store::loadEffect(options.effect);
  const std::string edited = code_editor::snippetLineEnds(readInput(options.edited));
  const AppliedEdit applied = applyEditedText(layer, edited, options.platform);
  // Both said in memory first: what is printed after the save must not fail half-way.
  const std::string report = describe(applied, options.platform, *layer);
  const std::string problems =
      explainProblems(applied, edited,
                      isStandardStream(options.edited) ? "standard input" : options.edited.string(),
                      options.platform);

  const std::filesystem::path savedTo = options.output.value_or(options.effect);
  const bool saved = !applied.changes.empty();
  if (saved) saveEffect(*layer, savedTo);
  try {
    if (isStandardStream(savedTo)) {
      std::fputs(report.c_str(), stderr);
    } else {
      writeReport(report, saved ? std::optional(savedTo) : std::nullopt);
    }
  } catch (const CommandError&) {
    std::fputs(problems.c_str(), stderr);
    throw;
  }
  std::fputs(problems.c_str(), stderr);
  return applied.answer == code_editor::CodeAnalysisResult::valid || applied.changedNothing()
             ? kApplyValid
             : kApplyNotValid;
}

void writeReport(const std::string& report, const std::optional<std::filesystem::path>& savedTo) {
  try {
    writeOutput(std::nullopt, report);
  } catch (const CommandError& error) {
    if (!savedTo) throw;
    throw CommandError(std::string(error.what()) + "; the effect was saved to " + savedTo->string(),
                       kApplySavedReportLost);
  }
}

Command addApplyCommand(CLI::App& app) {
  struct Arguments {
    std::string effect;
    std::string platform = "macos";
    std::string edited;
    std::string output;
  };
  auto arguments = std::make_shared<Arguments>();
  CLI::App* command = addSubcommand(
      app, "apply",
      "Apply an edited snippet to an effect: the numbers changed in it are written into the "
      "effect, which is saved when anything changed. Prints valid, pending, invalid or no "
      "changes, then one line per change; names each line that could not be used on standard "
      "error.",
      "tessary-code apply fire.json fire.swift --platform ios");
  addEffectArgument(command, arguments->effect, "Effect file (JSON)")->required();
  command
      ->add_option("EDITED", arguments->edited,
                   "The edited snippet; - or nothing for standard input")
      ->type_name("FILE");
  addPlatformOption(command, arguments->platform, "Platform the snippet is written for");
  addOutputOption(command, arguments->output,
                  "Save the changed effect to FILE instead of EFFECT; with -, write it to "
                  "standard output and the report to standard error");
  return {command, [arguments] {
            ApplyOptions options;
            options.effect = arguments->effect;
            options.platform = platformNamed(arguments->platform);
            options.edited = givenPath(arguments->edited).value_or("-");
            options.output = givenPath(arguments->output);
            return runApply(options);
          }};
}

}  // namespace tessary::tool
