#include "edit_command.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "apply_command.h"
#include "command_error.h"
#include "output.h"
#include "tessary/code_editor/snippet_layout.h"
#include "tessary/code_editor/snippet_line_ends.h"
#include "tessary/platform/atomic_file.h"
#include "tessary/store/effect_file.h"
#include "tessary/store/load_effect.h"

namespace tessary::tool {

namespace {

constexpr int kCommandNotFound = 127;

// The editor the person chose: $VISUAL, then $EDITOR, then vi. It may hold arguments
// ("code --wait"), so it is run by the shell with the file as its last argument.
std::string editorCommand() {
  for (const char* variable : {"VISUAL", "EDITOR"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] != '\0') return value;
  }
  return "vi";
}

// Runs the editor on `file` and waits for it. Throws CommandError when it cannot be started or
// exits with an error.
void runEditor(const std::filesystem::path& file) {
  const std::string editor = editorCommand();
  std::fflush(stdout);
  const pid_t child = ::fork();
  if (child < 0)
    throw CommandError("cannot start the editor '" + editor + "': " + std::strerror(errno));
  if (child == 0) {
    const std::string script = editor + " \"$@\"";
    ::execl("/bin/sh", "sh", "-c", script.c_str(), "sh", file.c_str(), static_cast<char*>(nullptr));
    ::_exit(kCommandNotFound);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR)
      throw CommandError("cannot wait for the editor: " + std::string(std::strerror(errno)));
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == kCommandNotFound) {
    throw CommandError("cannot start the editor '" + editor +
                       "' (set VISUAL or EDITOR to an editor that exists); nothing changed");
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw CommandError("the editor '" + editor + "' failed; nothing changed");
  }
}

// A file for the snippet in the temporary folder, named after the effect, left in place.
std::filesystem::path snippetFileFor(const std::filesystem::path& effect) {
  std::error_code ignored;
  std::filesystem::path folder = std::filesystem::temp_directory_path(ignored);
  if (folder.empty()) folder = "/tmp";
  std::string pattern = (folder / ("tessary-" + effect.stem().string() + "-XXXXXX.swift")).string();
  const int descriptor = ::mkstemps(pattern.data(), 6);
  if (descriptor < 0) {
    throw CommandError(pattern + ": cannot create the file to edit: " + std::strerror(errno));
  }
  ::close(descriptor);
  return pattern;
}

std::string readText(const std::filesystem::path& file) {
  return code_editor::snippetLineEnds(readInput(file));
}

// The effect file's text now; nothing when it cannot be read (deleted, say).
std::optional<std::string> effectText(const std::filesystem::path& effect) {
  try {
    return platform::readWholeFile(effect);
  } catch (const platform::FileError&) {
    return std::nullopt;
  }
}

bool askToReopen() {
  std::fputs("Reopen the edited text in the editor? [Y/n] ", stderr);
  std::string answer;
  if (!std::getline(std::cin, answer)) return false;
  return answer.empty() || answer[0] == 'y' || answer[0] == 'Y';
}

}  // namespace

int runEdit(const EditOptions& options) {
  // The edit is saved only over the text its snippet was made from: a change another program made
  // while the editor was open is not overwritten, nor a deleted effect made again. Read before
  // loading, so that a change in between is taken for a change.
  std::optional<std::string> loadedText = effectText(options.effect);
  const store::LayerConfigRef layer = store::loadEffect(options.effect);
  const std::filesystem::path file = snippetFileFor(options.effect);
  const std::string original = code_editor::SnippetLayout::plainText(*layer, options.platform);
  writeOutput(file, original);

  for (;;) {
    try {
      runEditor(file);
    } catch (const CommandError&) {
      std::filesystem::remove(file);
      throw;
    }
    const std::string edited = readText(file);
    const AppliedEdit applied = applyEditedText(layer, edited, options.platform);
    if (applied.changedNothing()) {
      std::filesystem::remove(file);
      std::fputs("No changes.\n", stderr);
      return kApplyValid;
    }

    if (!applied.changes.empty()) {
      const std::optional<std::string> currentText = effectText(options.effect);
      if (currentText != loadedText) {
        throw CommandError(options.effect.string() +
                           (currentText ? ": changed on disk" : ": deleted") +
                           " while its snippet was being edited; nothing saved; the edited text "
                           "is kept in " +
                           file.string());
      }
      try {
        store::EffectFile::save(*layer, options.effect);
        loadedText = effectText(options.effect);
      } catch (const store::EffectFileError& error) {
        throw CommandError(std::string(error.what()) + "; the edited text is kept in " +
                           file.string());
      }
    }
    const bool valid = applied.answer == code_editor::CodeAnalysisResult::valid;
    if (valid) std::filesystem::remove(file);
    try {
      writeReport(describe(applied, options.platform, *layer),
                  applied.changes.empty() ? std::nullopt : std::optional(options.effect));
    } catch (const CommandError& error) {
      if (valid) throw;
      throw CommandError(
          std::string(error.what()) + "; the edited text is kept in " + file.string(),
          error.status());
    }
    if (valid) return kApplyValid;

    std::fputs(explainProblems(applied, edited, file.string(), options.platform).c_str(), stderr);
    if (!::isatty(STDIN_FILENO) || !askToReopen()) {
      std::fprintf(stderr, "Your edited text is kept in %s\n", file.c_str());
      return kApplyNotValid;
    }
  }
}

Command addEditCommand(CLI::App& app) {
  struct Arguments {
    std::string effect;
    std::string platform = "macos";
  };
  auto arguments = std::make_shared<Arguments>();
  CLI::App* command = addSubcommand(
      app, "edit",
      "Edit an effect's snippet in your editor ($VISUAL, then $EDITOR, then vi). When the editor "
      "closes, the numbers you changed are written into the effect and it is saved; a line that "
      "could not be used is named, and you may reopen your text, so nothing typed is lost.",
      "tessary-code edit fire.json --platform ios");
  addEffectArgument(command, arguments->effect, "Effect file (JSON)")->required();
  addPlatformOption(command, arguments->platform, "Platform the snippet is written for");
  return {command, [arguments] {
            EditOptions options;
            options.effect = arguments->effect;
            options.platform = platformNamed(arguments->platform);
            return runEdit(options);
          }};
}

}  // namespace tessary::tool
