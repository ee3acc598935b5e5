// Every failure a person can cause gives one line on standard error naming the file and the
// place, exit status 2, and leaves every file as it was.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "support/program_run.h"
#include "tessary/store/effect_file.h"

namespace tessary {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::runProgram;
using testing::writeFile;

class ProgramErrorsTest : public testing::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    if (IsSkipped()) return;
    writeFile(path("malformed.json"), "{\n  \"tessaryEffect\": 1,\n  \"layer\": {\"cells\": [}\n}");
    writeFile(path("unknown.json"), "{\"tessaryEffect\": 1, \"layer\": {\"sparkle\": 1}}");
    writeFile(path("wrongtype.json"),
              "{\"tessaryEffect\": 1, \"layer\": {\"cells\": [{\"birthRate\": \"fast\"}]}}");
    writeFile(path("edited.swift"), "cell1.birthRate = 150\n");
  }
};

TEST_F(ProgramErrorsTest, OneLineNamingThePlaceExitTwoNothingWritten) {
  struct Row {
    std::string arguments;
    std::string message;  // the whole of standard error
  };
  const std::string out = path("out.html");
  const Row rows[] = {
      {"build " + path("missing.json") + " -o " + out,
       "tessary-code: " + path("missing.json") + ": cannot read: No such file or directory\n"},
      {"build " + folder_.string() + " -o " + out,
       "tessary-code: " + folder_.string() + ": cannot read: Is a directory\n"},
      {"build " + path("malformed.json") + " -o " + out,
       "tessary-code: " + path("malformed.json") + ": line 3, column "},
      {"build " + path("unknown.json") + " -o " + out,
       "tessary-code: " + path("unknown.json") + ": /layer/sparkle: unknown key"},
      {"build " + path("wrongtype.json") + " -o " + out,
       "tessary-code: " + path("wrongtype.json") +
           ": /layer/cells/0/birthRate: expected a number or an object {\"value\", \"min\", "
           "\"max\"}, found a string\n"},
      {"build --platform android -o " + out,
       "tessary-code: --platform: android not in {macos,ios}\n"
       "Run 'tessary-code --help' for usage.\n"},
      {"build --format pdf -o " + out, "tessary-code: --format: pdf not in {auto,plain,ansi,"},
      {"build --text-size 0 -o " + out, "tessary-code: --text-size: Value 0 not in range"},
      {"build --bogus", "tessary-code: The following argument was not expected: --bogus\n"},
      {"frobnicate",
       "tessary-code: unknown command 'frobnicate'; the commands are build, apply, edit, demo "
       "and serve\n"},
      {"build --format html -o " + path("no/such/folder/out.html"),
       "tessary-code: " + path("no/such/folder/out.html") +
           ": cannot write: No such file or directory\n"},
      {"build --format html -o /dev/full",
       "tessary-code: /dev/full: cannot write: not a regular file; refusing to replace it\n"},
      {"apply " + path("fire.json") + " " + path("missing.swift"),
       "tessary-code: " + path("missing.swift") + ": cannot read: No such file or directory\n"},
      {"apply " + path("unknown.json") + " " + path("edited.swift"),
       "tessary-code: " + path("unknown.json") + ": /layer/sparkle: unknown key"},
      {"apply " + path("fire.json") + " " + path("edited.swift") + " -o " +
           path("no/such/folder/fire.json"),
       "tessary-code: " + path("no/such/folder/fire.json") + ": cannot save: "},
      {"apply", "tessary-code: EFFECT is required\n"},
  };
  const std::string effectBefore = readFile(path("fire.json"));
  for (const Row& row : rows) {
    const auto result = runProgram(row.arguments, "", true);
    EXPECT_EQ(result.status, 2) << row.arguments;
    EXPECT_TRUE(result.output.starts_with(row.message))
        << row.arguments << "\n  got: " << result.output;
    EXPECT_LE(std::count(result.output.begin(), result.output.end(), '\n'), 2) << result.output;
    EXPECT_FALSE(fs::exists(out)) << row.arguments;
    EXPECT_EQ(readFile(path("fire.json")), effectBefore) << row.arguments;
  }
  EXPECT_FALSE(fs::exists(folder_ / "no"));
}

TEST_F(ProgramErrorsTest, HelpForEveryCommandHasAnExample) {
  for (const std::string command : {"", "build", "apply", "edit", "demo", "serve"}) {
    const auto result = runProgram(command + " --help");
    EXPECT_EQ(result.status, 0) << command;
    EXPECT_NE(result.output.find("Example:\n  tessary-code " + command), std::string::npos)
        << command << ":\n"
        << result.output;
  }
  const auto version = runProgram("--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.output, "tessary-code 1.0 (Tessary-CodeEditor-1)\n");
}

}  // namespace
}  // namespace tessary
