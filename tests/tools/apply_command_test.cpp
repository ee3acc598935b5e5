// Runs the built program: `tessary-code apply` on effect files in a temporary folder, also when the
// effect changed since its snippet was made and when the disk will not take the save.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
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
  // The demo's snippet with the first `from` replaced by `to`.
  std::string edited(const std::string& from, const std::string& to) const {
    return testing::replacedOnce(snippet_, from, to);
  }
  testing::ProgramRun apply(const std::string& text, const std::string& flags = "") const {
    writeFile(path("edited.swift"), text);
    return runProgram("apply " + effect_.string() + " " + path("edited.swift") + " " + flags);
  }

  const std::string snippet_ = code_editor::SnippetLayout::plainText(
      *EffectFile::demo(), code_editor::CodePlatform::macOS);
  const std::string birthRate150_ = edited("cell1.birthRate = 120.0", "cell1.birthRate = 150");
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
  const std::vector<Row> rows{
      {"one number", birthRate150_, 0, "valid\ncell1.birthRate: 120.0 -> 150.0\n", true},
      {"unchanged", snippet_, 1, "invalid\n", false},
      {"empty", "", 1, "invalid\n", false},
      {"pending", edited("cell1.birthRate = 120.0", "cell1.birthRate = 15."), 1, "pending\n", false},
      {"byte-order mark and CRLF line ends",
       "\xEF\xBB\xBF" + testing::replacedOnce(birthRate150_, "\n", "\r\n"), 0,
       "valid\ncell1.birthRate: 120.0 -> 150.0\n", true},
      {"the position's Y, mirrored on macOS", edited("y: -259.0)", "y: -100.0)"), 0,
       "valid\nparticlesLayer.emitterPosition.y: 260.0 -> 101.0\n", true},
      {"a written line, then an invalid one",
       testing::replacedOnce(birthRate150_, "cell1.lifetime = ", "cell1.lifetime = x"), 1,
       "invalid\ncell1.birthRate: 120.0 -> 150.0\n", true},
      {"another number changed meanwhile", edited("cell1.lifetime = 1.6", "cell1.lifetime = 2.5"),
       0, "valid\ncell1.birthRate: 130.0 -> 120.0\ncell1.lifetime: 1.6 -> 2.5\n", true,
       [](LayerConfig& layer) { layer.cells[0]->birthRate.setValue(130); }},
      // The first cell is now another one: its name line no longer matches, which stops the
      // analysis before any number of the wrong cell is written.
      {"cells reordered meanwhile", birthRate150_, 1, "invalid\n", false,
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
  writeFile(path("edited.swift"), birthRate150_);
  const fs::path out = folder_ / "out.json";
  EXPECT_EQ(
      runProgram("apply " + effect_.string() + " - -o " + out.string() + " < " + path("edited.swift"))
          .status,
      0);
  EXPECT_EQ(readFile(effect_), EffectFile::demoJson());
  EXPECT_EQ(EffectFile::load(out)->cells[0]->birthRate.value, 150.0);
  // Nothing changed: not even the other output file is written.
  fs::remove(out);
  EXPECT_EQ(apply(snippet_, "-o " + out.string()).status, 1);
  EXPECT_FALSE(fs::exists(out));
}

// Saving onto a full disk, a read-only file system or a folder the user may not write: one line
// naming the file and the system's reason, exit status 2, the old effect as it was and nothing
// left beside it. The disks are made in a mount namespace of their own, so nothing stays mounted;
// a fault that cannot be made here is said and passed over.
TEST_F(ApplyCommandTest, ADiskThatWillNotTakeTheSave) {
  writeFile(path("edited.swift"), birthRate150_);
  const std::string disk = (folder_ / "disk").string();
  const std::string effect = disk + "/fire.json";
  std::filesystem::create_directories(disk);
  const bool root = ::geteuid() == 0;
  struct Row {
    std::string shell;
    std::string prepare;  // fails where the fault cannot be made
    std::string runAs;
    std::string reason;
    std::string listing;
  };
  const Row rows[] = {
      {"unshare -m sh",
       "mount -t tmpfs -o size=64k tmpfs " + disk + " && cp " + effect_.string() + " " + disk +
           " && { dd if=/dev/zero of=" + disk + "/filler bs=1k 2>/dev/null; true; }",
       "", "No space left on device", "filler\nfire.json\n"},
      {"unshare -m sh", "mount --bind -o ro " + disk + " " + disk, "", "Read-only file system",
       "fire.json\n"},
      // Root may write anywhere: the program runs as nobody then.
      {"sh",
       (root ? "command -v setpriv >/dev/null && " : "") + std::string("chmod 555 ") + disk +
           " && chmod 755 " + folder_.string(),
       root ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : "", "Permission denied",
       "fire.json\n"},
  };
  constexpr int kCannotMakeFault = 77;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.reason);
    const fs::path script = folder_ / "fault.sh";
    writeFile(script, "cp " + effect_.string() + " " + disk + "\n" + row.prepare + " || exit " +
                          std::to_string(kCannotMakeFault) + "\n" + row.runAs + " " +
                          testing::programPath() + " apply " + effect + " " +
                          path("edited.swift") + " 2>&1\necho \"status $?\"\ncmp -s " +
                          effect_.string() + " " + effect + " && echo intact\nls -A " + disk +
                          "\nchmod 755 " + disk + " 2>/dev/null\n");
    const testing::ProgramRun run = testing::runShell(row.shell + " " + script.string(), true);
    if (run.status == kCannotMakeFault) {
      std::printf("cannot make the fault \"%s\" here: %s", row.reason.c_str(), run.output.c_str());
      continue;
    }
    EXPECT_EQ(run.output, "tessary-code: " + effect + ": cannot save: " + row.reason +
                              "\nstatus 2\nintact\n" + row.listing);
  }
}

}  // namespace
}  // namespace tessary
