// Runs the built program: `tessary-code apply` against effect files in a temporary folder.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/program_run.h"
#include "tessary/code_editor/snippet_layout.h"
#include "tessary/platform/atomic_file.h"
#include "tessary/store/effect_file.h"

namespace tessary {
namespace {

namespace fs = std::filesystem;
using code_editor::CodePlatform;
using testing::replacedOnce;
using testing::runProgram;
using testing::writeFile;

class ApplyCommandTest : public testing::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    if (IsSkipped()) return;
    snippet_ =
        code_editor::SnippetLayout::plainText(*store::EffectFile::demo(), CodePlatform::macOS);
  }
  std::string effectText() const { return platform::readWholeFile(effect_); }

  std::string snippet_;
};

TEST_F(ApplyCommandTest, AnEditedNumberIsSavedAndReported) {
  writeFile(folder_ / "edited.swift",
            replacedOnce(snippet_, "cell1.birthRate = 120.0", "cell1.birthRate = 150"));
  const testing::ProgramRun result =
      runProgram("apply " + effect_.string() + " " + (folder_ / "edited.swift").string());
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output, "valid\ncell1.birthRate: 120.0 -> 150.0\n");
  EXPECT_EQ(store::EffectFile::load(effect_)->cells[0]->birthRate.value, 150.0);
}

TEST_F(ApplyCommandTest, AnswersAndWhatIsSaved) {
  struct Row {
    std::string name;
    std::string edited;
    std::string flags;
    int status;
    std::string output;
    bool effectChanged;
  };
  const std::string birthRate = "cell1.birthRate = 120.0";
  const std::vector<Row> rows{
      {"unchanged", snippet_, "", 1, "invalid\n", false},
      {"empty", "", "", 1, "invalid\n", false},
      {"pending", replacedOnce(snippet_, birthRate, "cell1.birthRate = 15."), "", 1, "pending\n",
       false},
      {"byte-order mark and CRLF line ends",
       "\xEF\xBB\xBF" +
           replacedOnce(replacedOnce(snippet_, birthRate, "cell1.birthRate = 150"), "\n", "\r\n"),
       "", 0, "valid\ncell1.birthRate: 120.0 -> 150.0\n", true},
      {"the position's Y, mirrored on macOS", replacedOnce(snippet_, "y: -259.0)", "y: -100.0)"),
       "", 0, "valid\nparticlesLayer.emitterPosition.y: 260.0 -> 101.0\n", true},
      {"a written line, then an invalid one",
       replacedOnce(replacedOnce(snippet_, birthRate, "cell1.birthRate = 150"),
                    "cell1.lifetime = ", "cell1.lifetime = x"),
       "", 1, "invalid\ncell1.birthRate: 120.0 -> 150.0\n", true},
  };
  const std::string original = store::EffectFile::demoJson();
  for (const Row& row : rows) {
    writeFile(effect_, original);
    writeFile(folder_ / "edited.swift", row.edited);
    const testing::ProgramRun result = runProgram(
        "apply " + effect_.string() + " " + (folder_ / "edited.swift").string() + " " + row.flags);
    EXPECT_EQ(result.status, row.status) << row.name;
    EXPECT_EQ(result.output, row.output) << row.name;
    EXPECT_EQ(platform::readWholeFile(effect_) != original, row.effectChanged) << row.name;
  }
}

TEST_F(ApplyCommandTest, StandardInputAndAnotherOutputFile) {
  writeFile(folder_ / "edited.swift",
            replacedOnce(snippet_, "cell1.birthRate = 120.0", "cell1.birthRate = 150"));
  const fs::path out = folder_ / "out.json";
  const testing::ProgramRun result =
      runProgram("apply " + effect_.string() + " - -o " + out.string() + " < " +
                 (folder_ / "edited.swift").string());
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(effectText(), store::EffectFile::demoJson());
  EXPECT_EQ(store::EffectFile::load(out)->cells[0]->birthRate.value, 150.0);

  // Nothing changed: not even the other output file is written.
  const fs::path unchangedOut = folder_ / "unchanged.json";
  writeFile(folder_ / "edited.swift", snippet_);
  EXPECT_EQ(runProgram("apply " + effect_.string() + " " + (folder_ / "edited.swift").string() +
                       " -o " + unchangedOut.string())
                .status,
            1);
  EXPECT_FALSE(fs::exists(unchangedOut));
}

TEST_F(ApplyCommandTest, FileAndUsageErrorsExitWithTwo) {
  EXPECT_EQ(runProgram("apply " + (folder_ / "missing.json").string() + " -").status, 2);
  EXPECT_EQ(
      runProgram("apply " + effect_.string() + " " + (folder_ / "missing.swift").string()).status,
      2);
  EXPECT_EQ(runProgram("apply").status, 2);
  EXPECT_EQ(runProgram("apply " + effect_.string() + " - --platform windows < /dev/null").status,
            2);
}

}  // namespace
}  // namespace tessary
