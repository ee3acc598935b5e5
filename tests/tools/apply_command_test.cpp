// Runs the built program: `tessary-code apply` on effect files in a temporary folder, also when the
// effect changed since its snippet was made and when the disk will not take the save.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/golden_file.h"
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
using testing::replacedAll;
using testing::runProgram;
using testing::writeFile;

class ApplyCommandTest : public testing::ProgramTest {
 protected:
  const std::string snippet_ =
      code_editor::SnippetLayout::plainText(*EffectFile::demo(), code_editor::CodePlatform::macOS);
};

// A line that differs from the effect's own is an edited line, whoever changed what; when the
// cells were reordered the first cell's name line no longer matches, which stops the analysis
// before any number of the wrong cell is written. The arguments after the effect are the edited
// file's unless a row gives its own.
TEST_F(ApplyCommandTest, AnswersReportsAndWhatIsSaved) {
  const std::map<std::string, std::function<void(LayerConfig&)>> changes{
      {"", [](LayerConfig&) {}},
      {"cell1.birthRate 130", [](LayerConfig& layer) { layer.cells[0]->birthRate.setValue(130); }},
      {"cells reordered", [](LayerConfig& layer) {
         std::swap(layer.cells[0], layer.cells[1]);
         store::DataStore::renumberCells(layer);
       }}};
  fs::create_symlink("out.json", path("link.json"));
  testing::expectCasesMatchGolden("cli/apply.cases", 3, [&](const std::vector<std::string>& row) {
    const store::LayerConfigRef meanwhile = EffectFile::demo();
    changes.at(row[0])(*meanwhile);
    EffectFile::save(*meanwhile, effect_);
    const std::string before = readFile(effect_);
    std::string text = row[1] == "(nothing)" ? "" : snippet_;
    for (std::size_t at = 0; at < row[1].size() && row[1] != "(nothing)";) {
      const std::size_t arrow = row[1].find(" => ", at), end = row[1].find(" ; ", arrow);
      text = testing::replacedOnce(text, row[1].substr(at, arrow - at),
                                   row[1].substr(arrow + 4, end - arrow - 4));
      at = end == std::string::npos ? end : end + 3;
    }
    writeFile(path("edited.swift"), text);
    const testing::ProgramRun result = runProgram(
        "apply " + effect_.string() + " " +
        replacedAll(row[2].empty() ? "$DIR/edited.swift" : row[2], "$DIR", folder_.string()));
    EXPECT_EQ(EffectFile::load(effect_)->cells.size(), meanwhile->cells.size());
    const bool wroteOut = fs::remove(path("out.json"));
    return std::to_string(result.status) + " " +
           replacedAll(result.output, folder_.string(), "$DIR") +
           (readFile(effect_) == before ? "| not saved" : "| saved") +
           (wroteOut ? ", out.json written" : "");
  });
}

// Saving onto a full disk, a read-only file system or a folder the user may not write: one line
// naming the file and the system's reason, exit status 2, the old effect as it was and nothing
// left beside it. The disks are made in a mount namespace of their own, so nothing stays mounted;
// a fault that cannot be made here (the preparation fails) is said and passed over. Root may
// write anywhere: the program runs as nobody then.
TEST_F(ApplyCommandTest, ADiskThatWillNotTakeTheSave) {
  writeFile(path("edited.swift"),
            testing::replacedOnce(snippet_, "cell1.birthRate = 120.0", "cell1.birthRate = 150"));
  const std::string disk = path("disk"), root = ::geteuid() == 0 ? "root" : "";
  fs::create_directories(disk);
  struct Row {
    std::string shell, prepare, runAs, reason, listing;
  };
  const Row rows[] = {
      {"unshare -m sh",
       R"(mount -t tmpfs -o size=64k tmpfs "$DISK" && cp "$SOURCE" "$DISK" && )"
       R"({ dd if=/dev/zero of="$DISK/filler" bs=1k 2>/dev/null; true; })",
       "", "No space left on device", "filler\nfire.json\n"},
      {"unshare -m sh", R"(mount --bind -o ro "$DISK" "$DISK")", "", "Read-only file system",
       "fire.json\n"},
      {"sh",
       (root.empty() ? "" : "command -v setpriv >/dev/null && ") +
           std::string(R"(chmod 555 "$DISK" && chmod 755 "$DISK/..")"),
       root.empty() ? "" : "setpriv --reuid=65534 --regid=65534 --clear-groups",
       "Permission denied", "fire.json\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.reason);
    writeFile(path("fault.sh"), "cp \"$SOURCE\" \"$DISK\"\n" + row.prepare + " || exit 77\n" +
                                    row.runAs +
                                    R"( "$PROGRAM" apply "$DISK/fire.json" "$EDITED" 2>&1
echo "status $?"
cmp -s "$SOURCE" "$DISK/fire.json" && echo intact
ls -A "$DISK"
chmod 755 "$DISK" 2>/dev/null
)");
    const testing::ProgramRun run = testing::runShell(
        "DISK=" + disk + " SOURCE=" + effect_.string() + " PROGRAM=" + testing::programPath() +
        " EDITED=" + path("edited.swift") + " " + row.shell + " " + path("fault.sh"));
    if (run.status == 77) {
      std::printf("cannot make the fault \"%s\" here: %s", row.reason.c_str(), run.output.c_str());
      continue;
    }
    EXPECT_EQ(run.output, "tessary-code: " + disk + "/fire.json: cannot save: " + row.reason +
                              "\nstatus 2\nintact\n" + row.listing);
  }
}

}  // namespace
}  // namespace tessary
