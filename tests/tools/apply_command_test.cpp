// Runs the built program: `tessary-code apply` against effect files in a temporary folder.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tessary/code_editor/snippet_layout.h"
#include "tessary/platform/atomic_file.h"
#include "tessary/store/effect_file.h"

namespace tessary {
namespace {

namespace fs = std::filesystem;
using code_editor::CodePlatform;

const fs::path kProgram = fs::path(TESSARY_BINARY_DIR) / "tessary-code";

struct ProgramRun {
  int status;
  std::string output;
};

ProgramRun run(const std::string& arguments) {
  const std::string command = kProgram.string() + " " + arguments + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  std::string output;
  char buffer[4096];
  std::size_t count = 0;
  while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, count);
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

void write(const fs::path& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary) << contents;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  text.replace(text.find(from), from.size(), to);
  return text;
}

class ApplyCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kProgram)) GTEST_SKIP() << "the program is not built: " << kProgram;
    folder_ = fs::path(::testing::TempDir()) / ("apply-" + std::to_string(::getpid()));
    fs::create_directories(folder_);
    effect_ = folder_ / "fire.json";
    write(effect_, store::EffectFile::demoJson());
    snippet_ =
        code_editor::SnippetLayout::plainText(*store::EffectFile::demo(), CodePlatform::macOS);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string effectText() const { return platform::readWholeFile(effect_); }

  fs::path folder_;
  fs::path effect_;
  std::string snippet_;
};

TEST_F(ApplyCommandTest, AnEditedNumberIsSavedAndReported) {
  write(folder_ / "edited.swift",
        replaced(snippet_, "cell1.birthRate = 120.0", "cell1.birthRate = 150"));
  const ProgramRun result =
      run("apply " + effect_.string() + " " + (folder_ / "edited.swift").string());
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
      {"pending", replaced(snippet_, birthRate, "cell1.birthRate = 15."), "", 1, "pending\n",
       false},
      {"byte-order mark and CRLF line ends",
       "\xEF\xBB\xBF" +
           replaced(replaced(snippet_, birthRate, "cell1.birthRate = 150"), "\n", "\r\n"),
       "", 0, "valid\ncell1.birthRate: 120.0 -> 150.0\n", true},
      {"the position's Y, mirrored on macOS", replaced(snippet_, "y: -259.0)", "y: -100.0)"), "", 0,
       "valid\nparticlesLayer.emitterPosition.y: 260.0 -> 101.0\n", true},
      {"a written line, then an invalid one",
       replaced(replaced(snippet_, birthRate, "cell1.birthRate = 150"),
                "cell1.lifetime = ", "cell1.lifetime = x"),
       "", 1, "invalid\ncell1.birthRate: 120.0 -> 150.0\n", true},
  };
  const std::string original = store::EffectFile::demoJson();
  for (const Row& row : rows) {
    write(effect_, original);
    write(folder_ / "edited.swift", row.edited);
    const ProgramRun result = run("apply " + effect_.string() + " " +
                                  (folder_ / "edited.swift").string() + " " + row.flags);
    EXPECT_EQ(result.status, row.status) << row.name;
    EXPECT_EQ(result.output, row.output) << row.name;
    EXPECT_EQ(platform::readWholeFile(effect_) != original, row.effectChanged) << row.name;
  }
}

TEST_F(ApplyCommandTest, StandardInputAndAnotherOutputFile) {
  write(folder_ / "edited.swift",
        replaced(snippet_, "cell1.birthRate = 120.0", "cell1.birthRate = 150"));
  const fs::path out = folder_ / "out.json";
  const ProgramRun result = run("apply " + effect_.string() + " - -o " + out.string() + " < " +
                                (folder_ / "edited.swift").string());
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(effectText(), store::EffectFile::demoJson());
  EXPECT_EQ(store::EffectFile::load(out)->cells[0]->birthRate.value, 150.0);

  // Nothing changed: not even the other output file is written.
  const fs::path unchangedOut = folder_ / "unchanged.json";
  write(folder_ / "edited.swift", snippet_);
  EXPECT_EQ(run("apply " + effect_.string() + " " + (folder_ / "edited.swift").string() + " -o " +
                unchangedOut.string())
                .status,
            1);
  EXPECT_FALSE(fs::exists(unchangedOut));
}

TEST_F(ApplyCommandTest, FileAndUsageErrorsExitWithTwo) {
  EXPECT_EQ(run("apply " + (folder_ / "missing.json").string() + " -").status, 2);
  EXPECT_EQ(run("apply " + effect_.string() + " " + (folder_ / "missing.swift").string()).status,
            2);
  EXPECT_EQ(run("apply").status, 2);
  EXPECT_EQ(run("apply " + effect_.string() + " - --platform windows < /dev/null").status, 2);
}

}  // namespace
}  // namespace tessary
