// Runs the built program: `tessary-code apply` on effect files in a temporary folder, also when the
// effect changed since its snippet was made. How a save that fails keeps the old effect is tested
// with the effect file and the atomic file.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/program_run.h"
#include "tessary/code_editor/snippet_layout.h"
#include "tessary/store/data_store.h"
#include "tessary/store/effect_file.h"

namespace tessary {
namespace {

namespace fs = std::filesystem;
using store::EffectFile;
using store::LayerConfig;
using testing::readFile;
using testing::runProgram;
using testing::writeFile;

class ApplyCommandTest : public testing::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    if (IsSkipped()) return;
    snippet_ = code_editor::SnippetLayout::plainText(*EffectFile::demo(),
                                                     code_editor::CodePlatform::macOS);
    edited_ = folder_ / "edited.swift";
  }
  // The demo's snippet with the first `from` replaced by `to`.
  std::string edited(const std::string& from, const std::string& to) const {
    return testing::replacedOnce(snippet_, from, to);
  }
  testing::ProgramRun apply(const std::string& text, const std::string& flags = "") const {
    writeFile(edited_, text);
    return runProgram("apply " + effect_.string() + " " + edited_.string() + " " + flags);
  }

  std::string snippet_;
  fs::path edited_;
  const std::string birthRate_ = "cell1.birthRate = 120.0";
};

// Each row applies an edited snippet of the demo to the demo effect, changed meanwhile by
// `meanwhile` as another program would. A line that differs from the effect's own is an edited
// line, whoever changed what.
TEST_F(ApplyCommandTest, AnswersReportsAndWhatIsSaved) {
  struct Row {
    std::string name;
    std::string edited;
    int status;
    std::string output;
    bool saved;
    std::function<void(LayerConfig&)> meanwhile = [](LayerConfig&) {};
  };
  const std::string birthRate150 = edited(birthRate_, "cell1.birthRate = 150");
  const std::vector<Row> rows{
      {"one number", birthRate150, 0, "valid\ncell1.birthRate: 120.0 -> 150.0\n", true},
      {"unchanged", snippet_, 1, "invalid\n", false},
      {"empty", "", 1, "invalid\n", false},
      {"pending", edited(birthRate_, "cell1.birthRate = 15."), 1, "pending\n", false},
      {"byte-order mark and CRLF line ends",
       "\xEF\xBB\xBF" + testing::replacedOnce(birthRate150, "\n", "\r\n"), 0,
       "valid\ncell1.birthRate: 120.0 -> 150.0\n", true},
      {"the position's Y, mirrored on macOS", edited("y: -259.0)", "y: -100.0)"), 0,
       "valid\nparticlesLayer.emitterPosition.y: 260.0 -> 101.0\n", true},
      {"a written line, then an invalid one",
       testing::replacedOnce(birthRate150, "cell1.lifetime = ", "cell1.lifetime = x"), 1,
       "invalid\ncell1.birthRate: 120.0 -> 150.0\n", true},
      {"another number changed meanwhile", edited("cell1.lifetime = 1.6", "cell1.lifetime = 2.5"),
       0, "valid\ncell1.birthRate: 130.0 -> 120.0\ncell1.lifetime: 1.6 -> 2.5\n", true,
       [](LayerConfig& layer) { layer.cells[0]->birthRate.setValue(130); }},
      // The first cell is now another one: its name line no longer matches, which stops the
      // analysis before any number of the wrong cell is written.
      {"cells reordered meanwhile", birthRate150, 1, "invalid\n", false,
       [](LayerConfig& layer) {
         std::swap(layer.cells[0], layer.cells[1]);
         store::DataStore::renumberCells(layer);
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const store::LayerConfigRef meanwhile = EffectFile::demo();
    row.meanwhile(*meanwhile);
    EffectFile::save(*meanwhile, effect_);
    const std::string before = readFile(effect_);
    const testing::ProgramRun result = apply(row.edited);
    EXPECT_EQ(result.status, row.status);
    EXPECT_EQ(result.output, row.output);
    EXPECT_EQ(readFile(effect_) != before, row.saved);
    EXPECT_EQ(EffectFile::load(effect_)->cells.size(), meanwhile->cells.size());
  }
}

TEST_F(ApplyCommandTest, StandardInputAndAnotherOutputFile) {
  writeFile(edited_, edited(birthRate_, "cell1.birthRate = 150"));
  const fs::path out = folder_ / "out.json";
  EXPECT_EQ(
      runProgram("apply " + effect_.string() + " - -o " + out.string() + " < " + edited_.string())
          .status,
      0);
  EXPECT_EQ(readFile(effect_), EffectFile::demoJson());
  EXPECT_EQ(EffectFile::load(out)->cells[0]->birthRate.value, 150.0);
  // Nothing changed: not even the other output file is written.
  fs::remove(out);
  EXPECT_EQ(apply(snippet_, "-o " + out.string()).status, 1);
  EXPECT_FALSE(fs::exists(out));
}

}  // namespace
}  // namespace tessary
