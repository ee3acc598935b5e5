// Drives `tessary-code edit` with scripted editors.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>

#include "support/program_run.h"
#include "tessary/store/effect_file.h"

namespace tessary {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::runProgram;
using testing::writeFile;

class EditCommandTest : public testing::ProgramTest {
 protected:
  // An editor: a shell script that runs `command` on the file it is given ($1).
  std::string editor(const std::string& name, const std::string& command) {
    const fs::path script = folder_ / name;
    writeFile(script, "#!/bin/sh\n" + command + "\n");
    fs::permissions(script, fs::perms::owner_all);
    return "VISUAL=" + script.string();
  }
};

TEST_F(EditCommandTest, AScriptedEditorChangesANumberAndTheEffectIsSaved) {
  const auto result = runProgram(
      "edit " + effect_.string() + " --platform ios",
      editor("ed.sh", "sed -i 's/cell1.birthRate = 120.0/cell1.birthRate = 150/' \"$1\""));
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output, "valid\ncell1.birthRate: 120.0 -> 150.0\n");
  EXPECT_EQ(store::EffectFile::load(effect_)->cells[0]->birthRate.value, 150.0);
}

TEST_F(EditCommandTest, EditorArgumentsAndTheEditorFallbackOrder) {
  // $VISUAL wins over $EDITOR, and either may hold arguments.
  const auto result = runProgram(
      "edit " + effect_.string(),
      "EDITOR=false VISUAL=\"sed -i s/cell2.velocity\\ =\\ 90.0/cell2.velocity\\ =\\ 95/\"");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(store::EffectFile::load(effect_)->cells[1]->velocity.value, 95.0);
}

TEST_F(EditCommandTest, AFailingOrMissingEditorChangesNothing) {
  const std::string before = readFile(effect_);
  struct Row {
    std::string environment;
    std::string message;
  };
  const Row rows[] = {
      {editor("fail.sh", "sed -i 's/120.0/150/' \"$1\"; exit 3"),
       "tessary-code: the editor '" + (folder_ / "fail.sh").string() +
           "' failed; nothing changed\n"},
      {"VISUAL=/nonexistent/editor",
       "tessary-code: cannot start the editor '/nonexistent/editor' (set VISUAL or EDITOR to an "
       "editor that exists); nothing changed\n"},
  };
  for (const Row& row : rows) {
    const auto result = runProgram("edit " + effect_.string(), row.environment, true);
    EXPECT_EQ(result.status, 2);
    EXPECT_TRUE(result.output.ends_with(row.message)) << result.output;
    EXPECT_EQ(readFile(effect_), before);
  }
}

TEST_F(EditCommandTest, AnUnchangedTextChangesNothing) {
  const std::string before = readFile(effect_);
  const auto result = runProgram("edit " + effect_.string(), "VISUAL=true", true);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output, "No changes.\n");
  EXPECT_EQ(readFile(effect_), before);
}

TEST_F(EditCommandTest, AnEditThatCannotBeUsedIsKeptInAFileItNames) {
  const std::string before = readFile(effect_);
  const auto result = runProgram(
      "edit " + effect_.string(),
      editor("pending.sh", "sed -i 's/cell1.lifetime = 1.6/cell1.lifetime = 2./' \"$1\""), true);
  EXPECT_EQ(result.status, 1);
  std::smatch kept;
  ASSERT_TRUE(std::regex_search(result.output, kept,
                                std::regex("Your edited text is kept in (\\S+\\.swift)")))
      << result.output;
  EXPECT_NE(result.output.find("pending\n"), std::string::npos);
  EXPECT_NE(result.output.find("This line could not be used: line "), std::string::npos);
  EXPECT_NE(readFile(kept[1].str()).find("cell1.lifetime = 2.\n"), std::string::npos);
  EXPECT_EQ(readFile(effect_), before);
  fs::remove(kept[1].str());
}

TEST_F(EditCommandTest, UsageErrors) {
  struct Row {
    std::string arguments;
    std::string message;
  };
  const Row rows[] = {
      {"edit", "EFFECT is required"},
      {"edit " + (folder_ / "missing.json").string(),
       (folder_ / "missing.json").string() + ": cannot read: No such file or directory"},
      {"edit " + effect_.string() + " --platform android", "--platform"},
  };
  for (const Row& row : rows) {
    const auto result = runProgram(row.arguments, "VISUAL=true", true);
    EXPECT_EQ(result.status, 2) << row.arguments;
    EXPECT_NE(result.output.find(row.message), std::string::npos) << result.output;
  }
}

}  // namespace
}  // namespace tessary
