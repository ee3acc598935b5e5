// `tessary-code apply` with a snippet made from an older version of the effect (the file changed
// after the snippet was built and edited), with the file gone or broken, and with several applies
// saving one file at once: every answer follows the edited lines' text, and the file is always a
// whole effect.

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/program_run.h"
#include "tessary/code_editor/snippet_layout.h"
#include "tessary/store/data_store.h"
#include "tessary/store/effect_file.h"

namespace tessary {
namespace {

namespace fs = std::filesystem;
using code_editor::CodePlatform;
using store::EffectFile;
using store::LayerConfig;
using store::LayerConfigRef;
using testing::readFile;
using testing::replacedOnce;
using testing::runProgram;
using testing::writeFile;

class ApplyStaleSnippetTest : public testing::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    if (IsSkipped()) return;
    edited_ = folder_ / "edited.swift";
    // The snippet the person built and edited, from the effect as it was then.
    snippet_ = code_editor::SnippetLayout::plainText(*EffectFile::demo(), CodePlatform::macOS);
  }
  std::string apply() const { return "apply " + effect_.string() + " " + edited_.string(); }

  fs::path edited_;
  std::string snippet_;
};

TEST_F(ApplyStaleSnippetTest, AnEffectChangedSinceTheSnippetWasMade) {
  struct Row {
    std::string name;
    std::function<void(LayerConfig&)> changeMeanwhile;
    std::string edited;
    int status;
    std::string output;
    bool saved;
  };
  const std::vector<Row> rows{
      // A line that differs from the effect's own is an edited line, whoever changed what.
      {"another number changed",
       [](LayerConfig& layer) { layer.cells[0]->birthRate.setValue(130); },
       replacedOnce(snippet_, "cell1.lifetime = 1.6", "cell1.lifetime = 2.5"), 0,
       "valid\ncell1.birthRate: 130.0 -> 120.0\ncell1.lifetime: 1.6 -> 2.5\n", true},
      {"the edited cell removed", [](LayerConfig& layer) { layer.cells.pop_back(); },
       replacedOnce(snippet_, "cell3.velocity = 25.0", "cell3.velocity = 30"), 1, "invalid\n",
       false},
      {"a cell added",
       [](LayerConfig& layer) {
         layer.cells.push_back(layer.cells[1]->deepCopy());
         store::DataStore::renumberCells(layer);
       },
       replacedOnce(snippet_, "cell1.birthRate = 120.0", "cell1.birthRate = 150"), 0,
       "valid\ncell1.birthRate: 120.0 -> 150.0\n", true},
      // The first cell is now another one: its name line no longer matches, which stops the
      // analysis before any number of the wrong cell is written.
      {"cells reordered",
       [](LayerConfig& layer) {
         std::swap(layer.cells[0], layer.cells[1]);
         store::DataStore::renumberCells(layer);
       },
       replacedOnce(snippet_, "cell1.birthRate = 120.0", "cell1.birthRate = 150"), 1, "invalid\n",
       false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const LayerConfigRef meanwhile = EffectFile::demo();
    row.changeMeanwhile(*meanwhile);
    EffectFile::save(*meanwhile, effect_);
    const std::string before = readFile(effect_);
    writeFile(edited_, row.edited);

    const auto result = runProgram(apply());
    EXPECT_EQ(result.status, row.status);
    EXPECT_EQ(result.output, row.output);
    const LayerConfigRef after = EffectFile::load(effect_);
    EXPECT_EQ(readFile(effect_) != before, row.saved);
    EXPECT_EQ(after->cells.size(), meanwhile->cells.size());
  }
}

TEST_F(ApplyStaleSnippetTest, AnEffectDeletedOrBrokenSinceTheSnippetWasMade) {
  writeFile(edited_, replacedOnce(snippet_, "cell1.birthRate = 120.0", "cell1.birthRate = 150"));

  fs::remove(effect_);
  const auto deleted = runProgram(apply(), "", true);
  EXPECT_EQ(deleted.status, 2);
  EXPECT_EQ(deleted.output,
            "tessary-code: " + effect_.string() + ": cannot read: No such file or directory\n");
  EXPECT_FALSE(fs::exists(effect_)) << "a deleted effect was made again";

  const std::string broken = EffectFile::demoJson().substr(0, 200);
  writeFile(effect_, broken);
  const auto cut = runProgram(apply(), "", true);
  EXPECT_EQ(cut.status, 2);
  EXPECT_TRUE(cut.output.starts_with("tessary-code: " + effect_.string() + ": line "))
      << cut.output;
  EXPECT_EQ(cut.output.find('\n'), cut.output.size() - 1) << "one line";
  EXPECT_EQ(readFile(effect_), broken);
}

TEST_F(ApplyStaleSnippetTest, ApplicationsSavingOneFileAtOnceLeaveAWholeEffect) {
  const std::vector<std::pair<std::string, std::string>> edits{
      {"cell1.birthRate = 120.0", "cell1.birthRate = 150"},
      {"cell2.velocity = 90.0", "cell2.velocity = 95"},
      {"cell3.lifetime = 4.5", "cell3.lifetime = 5"},
      {"subcell1_1.duration = 0.6", "subcell1_1.duration = 0.7"},
  };
  std::string applyAll;
  for (std::size_t i = 0; i < edits.size(); ++i) {
    const fs::path edited = folder_ / ("edited" + std::to_string(i) + ".swift");
    writeFile(edited, replacedOnce(snippet_, edits[i].first, edits[i].second));
    applyAll += testing::programPath().string() + " apply " + effect_.string() + " " +
                edited.string() + " >/dev/null 2>&1 & ";
  }
  applyAll += "wait";

  for (int round = 0; round < 5; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    writeFile(effect_, EffectFile::demoJson());
    std::atomic<bool> done{false};
    std::thread applications([&] {
      EXPECT_EQ(std::system(applyAll.c_str()), 0);
      done = true;
    });
    int reads = 0;
    while (!done) {
      const std::string text = readFile(effect_);
      EXPECT_NO_THROW(EffectFile::parse(text, effect_.string())) << "read " << reads;
      ++reads;
    }
    applications.join();
    const LayerConfigRef after = EffectFile::load(effect_);
    // Each application read the file at its own time, so one may save over another's change;
    // every number is the old one or the edited one.
    const double birthRate = after->cells[0]->birthRate.value;
    const double velocity = after->cells[1]->velocity.value;
    EXPECT_TRUE(birthRate == 120.0 || birthRate == 150.0) << birthRate;
    EXPECT_TRUE(velocity == 90.0 || velocity == 95.0) << velocity;
    EXPECT_EQ(after->cells.size(), 3u);
    for (const auto& entry : fs::directory_iterator(folder_)) {
      EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos)
          << "a temporary file left behind: " << entry.path();
    }
  }
}

}  // namespace
}  // namespace tessary
