// Drives `tessary-code edit` with scripted editors, also while the effect file changes or goes
// away under the open editor (another program saved it, a checkout replaced it).

#include <gtest/gtest.h>

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
  // VISUAL set to a shell script that runs `command` on the file it is given ($1).
  std::string editor(const std::string& name, const std::string& command) const {
    const fs::path script = folder_ / name;
    writeFile(script, "#!/bin/sh\n" + command + "\n");
    fs::permissions(script, fs::perms::owner_all);
    return "VISUAL=" + script.string();
  }
};

TEST_F(EditCommandTest, AnswersAndWhatIsSaved) {
  const std::string birthRate150 =
      "sed -i 's/cell1.birthRate = 120.0/cell1.birthRate = 150/' \"$1\"";
  const fs::path other = folder_ / "other.json";
  writeFile(other, testing::replacedOnce(store::EffectFile::demoJson(), "\"name\": \"flame\"",
                                         "\"name\": \"torch\""));
  struct Row {
    std::string name;
    std::string environment;
    int status;
    std::string output;  // standard output and error; "..." stands for the file the edit is kept in
    std::string effectAfter;  // "" for any other than the demo
    std::string flags = "";
  };
  const std::string demo = store::EffectFile::demoJson();
  const std::string effect = effect_.string();
  const std::string kept = "the edited text is kept in ...\n";
  const Row rows[] = {
      {"one number, iOS", editor("ios.sh", birthRate150), 0,
       "valid\ncell1.birthRate: 120.0 -> 150.0\n", "", "--platform ios"},
      // $VISUAL wins over $EDITOR, and either may hold arguments.
      {"an editor with arguments",
       "EDITOR=false VISUAL=\"sed -i s/cell2.velocity\\ =\\ 90.0/cell2.velocity\\ =\\ 95/\"", 0,
       "valid\ncell2.velocity: 90.0 -> 95.0\n", ""},
      {"unchanged", "VISUAL=true", 0, "No changes.\n", demo},
      {"pending",
       editor("pending.sh", "sed -i 's/cell1.lifetime = 1.6/cell1.lifetime = 2./' \"$1\""), 1, "",
       demo},
      {"a failing editor", editor("fail.sh", birthRate150 + "; exit 3"), 2,
       "tessary-code: the editor '" + (folder_ / "fail.sh").string() +
           "' failed; nothing changed\n",
       demo},
      {"a missing editor", "VISUAL=/nonexistent/editor", 2,
       "tessary-code: cannot start the editor '/nonexistent/editor' (set VISUAL or EDITOR to an "
       "editor that exists); nothing changed\n",
       demo},
      {"the effect changed meanwhile",
       editor("changed.sh", birthRate150 + "\ncp " + other.string() + " " + effect), 2,
       "tessary-code: " + effect +
           ": changed on disk while its snippet was being edited; nothing saved; " + kept,
       readFile(other)},
      {"the effect deleted meanwhile", editor("deleted.sh", birthRate150 + "\nrm " + effect), 2,
       "tessary-code: " + effect + ": deleted while its snippet was being edited; nothing saved; " +
           kept,
       "(none)"},
      {"the effect rewritten with the same text",
       editor("same.sh", birthRate150 + "\ncp " + effect + " " + effect + ".copy && mv " + effect +
                             ".copy " + effect),
       0, "valid\ncell1.birthRate: 120.0 -> 150.0\n", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    writeFile(effect_, demo);
    const auto result = runProgram("edit " + effect + " " + row.flags, row.environment, true);
    EXPECT_EQ(result.status, row.status);
    std::string output = result.output;
    std::smatch keptIn;
    if (std::regex_search(output, keptIn, std::regex("kept in (\\S+\\.swift)"))) {
      EXPECT_NE(readFile(keptIn[1].str()).find("cell1."), std::string::npos);
      fs::remove(keptIn[1].str());
      output.replace(keptIn.position(1), keptIn.length(1), "...");
    }
    if (row.status == 1) {
      EXPECT_TRUE(output.starts_with("pending\n")) << output;
      EXPECT_NE(output.find("This line could not be used: line "), std::string::npos) << output;
      EXPECT_NE(output.find("Your edited text is kept in ..."), std::string::npos) << output;
    } else {
      // The shell may say first why an editor could not start.
      EXPECT_TRUE(row.status == 2 ? output.ends_with(row.output) : output == row.output) << output;
    }
    const std::string after = fs::exists(effect_) ? readFile(effect_) : "(none)";
    EXPECT_TRUE(row.effectAfter.empty() ? after != demo : after == row.effectAfter);
  }
}

TEST_F(EditCommandTest, UsageErrors) {
  const std::string missing = (folder_ / "missing.json").string();
  const std::pair<std::string, std::string> rows[] = {
      {"edit", "EFFECT is required"},
      {"edit " + missing, missing + ": cannot read: No such file or directory"},
      {"edit " + effect_.string() + " --platform android", "--platform"},
  };
  for (const auto& [arguments, message] : rows) {
    const auto result = runProgram(arguments, "VISUAL=true", true);
    EXPECT_EQ(result.status, 2) << arguments;
    EXPECT_NE(result.output.find(message), std::string::npos) << result.output;
  }
}

}  // namespace
}  // namespace tessary
