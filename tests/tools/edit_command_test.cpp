// Drives `tessary-code edit` with scripted editors, also while the effect file changes or goes
// away under the open editor (another program saved it, a checkout replaced it).

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "support/golden_file.h"
#include "support/program_run.h"
#include "tessary/store/effect_file.h"

namespace tessary {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::replacedAll;
using testing::writeFile;

class EditCommandTest : public testing::ProgramTest {};

TEST_F(EditCommandTest, AnswersAndWhatIsSaved) {
  const std::string demo = store::EffectFile::demoJson();
  writeFile(path("other.json"), testing::replacedOnce(demo, "\"flame\"", "\"torch\""));
  testing::expectCasesMatchGolden("cli/edit.cases", 2, [&](const std::vector<std::string>& edit) {
    const std::string editor = replacedAll(edit[0], "$DIR", folder_.string());
    writeFile(path("editor.sh"), "#!/bin/sh\n" + editor + "\n");
    fs::permissions(path("editor.sh"), fs::perms::owner_all);
    writeFile(effect_, demo);
    const auto run = testing::runProgram("edit " + effect_.string() + " " + edit[1],
                                         editor.find("VISUAL=") == 0 || editor.find("EDITOR=") == 0
                                             ? editor
                                             : "VISUAL=" + path("editor.sh"));
    std::string output = run.output.substr(run.status == 2 ? run.output.find("tessary-code:") : 0);
    std::smatch keptIn;
    if (std::regex_search(output, keptIn, std::regex("kept in (\\S+\\.swift)"))) {
      EXPECT_NE(readFile(keptIn[1].str()).find("cell1."), std::string::npos);
      fs::remove(keptIn[1].str());
      output = replacedAll(output, keptIn[1].str(), "...");
    }
    const std::string after = fs::exists(effect_) ? readFile(effect_) : "";
    return std::to_string(run.status) + " " + replacedAll(output, folder_.string(), "$DIR") +
           "| effect " +
           (after.empty()                           ? "deleted"
            : after == demo                         ? "as it was"
            : after == readFile(path("other.json")) ? "the other"
                                                    : "edited");
  });
}

}  // namespace
}  // namespace tessary
