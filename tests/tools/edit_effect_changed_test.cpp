// `tessary-code edit` while the effect file changes or goes away under the open editor (another
// program saved it, a checkout replaced it): the edit is not saved over it, the person is told
// why, and the edited text is kept.

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

class EditEffectChangedTest : public testing::ProgramTest {
 protected:
  // An editor that changes a number, while `meanwhile` runs as another program would.
  std::string editorThatEditsWhile(const std::string& meanwhile) {
    const fs::path script = folder_ / "editor.sh";
    writeFile(script,
              "#!/bin/sh\nsed -i 's/cell1.birthRate = 120.0/cell1.birthRate = 150/' \"$1\"\n" +
                  meanwhile + "\n");
    fs::permissions(script, fs::perms::owner_all);
    return "VISUAL=" + script.string();
  }
};

TEST_F(EditEffectChangedTest, AnEffectChangedOrDeletedMeanwhileIsNotSavedOver) {
  struct Row {
    std::string name;
    std::string meanwhile;
    std::string problem;
    bool fileExists;
  };
  const fs::path other = folder_ / "other.json";
  writeFile(other, testing::replacedOnce(store::EffectFile::demoJson(), "\"name\": \"flame\"",
                                         "\"name\": \"torch\""));
  const Row rows[] = {
      {"changed", "cp " + other.string() + " " + effect_.string(),
       ": changed on disk while its snippet was being edited; nothing saved", true},
      {"deleted", "rm " + effect_.string(),
       ": deleted while its snippet was being edited; nothing saved", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    writeFile(effect_, store::EffectFile::demoJson());
    const auto result =
        runProgram("edit " + effect_.string(), editorThatEditsWhile(row.meanwhile), true);
    EXPECT_EQ(result.status, 2);
    std::smatch kept;
    ASSERT_TRUE(std::regex_search(result.output, kept,
                                  std::regex("the edited text is kept in (\\S+\\.swift)")))
        << result.output;
    EXPECT_NE(result.output.find("tessary-code: " + effect_.string() + row.problem),
              std::string::npos)
        << result.output;
    EXPECT_NE(readFile(kept[1].str()).find("cell1.birthRate = 150\n"), std::string::npos);
    fs::remove(kept[1].str());
    EXPECT_EQ(fs::exists(effect_), row.fileExists);
    if (row.fileExists) {
      EXPECT_EQ(readFile(effect_), readFile(other));
    }
  }
}

TEST_F(EditEffectChangedTest, AnEffectRewrittenWithTheSameTextIsSaved) {
  const auto result = runProgram(
      "edit " + effect_.string(),
      editorThatEditsWhile("cp " + effect_.string() + " " + (folder_ / "copy").string() +
                           " && mv " + (folder_ / "copy").string() + " " + effect_.string()));
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(store::EffectFile::load(effect_)->cells[0]->birthRate.value, 150.0);
}

}  // namespace
}  // namespace tessary
