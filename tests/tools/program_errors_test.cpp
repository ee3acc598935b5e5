// Every failure a person can cause gives one line on standard error naming the file and the
// place, exit status 2, and leaves every file as it was.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/golden_file.h"
#include "support/program_run.h"

namespace tessary {
namespace {

using testing::readFile;
using testing::replacedAll;
using testing::runProgram;
using testing::writeFile;

class ProgramErrorsTest : public testing::ProgramTest {};

TEST_F(ProgramErrorsTest, OneLineNamingThePlaceExitTwoNothingWritten) {
  writeFile(path("malformed.json"), "{\n  \"tessaryEffect\": 1,\n  \"layer\": {\"cells\": [}\n}");
  writeFile(path("unknown.json"), "{\"tessaryEffect\": 1, \"layer\": {\"sparkle\": 1}}");
  writeFile(path("wrongtype.json"),
            "{\"tessaryEffect\": 1, \"layer\": {\"cells\": [{\"birthRate\": \"fast\"}]}}");
  writeFile(path("edited.swift"), "cell1.birthRate = 150\n");
  const std::string effectBefore = readFile(effect_);
  testing::expectCasesMatchGolden(
      "cli/program_errors.cases", 1, [&](const std::vector<std::string>& arguments) {
        const auto run =
            runProgram(replacedAll(arguments[0], "$DIR", folder_.string()), "VISUAL=false");
        EXPECT_EQ(readFile(effect_), effectBefore) << arguments[0];
        EXPECT_FALSE(std::filesystem::exists(path("out.html"))) << arguments[0];
        return std::to_string(run.status) + " " + replacedAll(run.output, folder_.string(), "$DIR");
      });
  EXPECT_FALSE(std::filesystem::exists(folder_ / "no"));
}

TEST_F(ProgramErrorsTest, HelpForEveryCommandHasAnExample) {
  for (const std::string command : {"", "build", "apply", "edit", "demo", "serve"}) {
    const auto result = runProgram(command + " --help");
    EXPECT_EQ(result.status, 0) << command;
    EXPECT_NE(result.output.find("Example:\n  tessary-code " + command), std::string::npos)
        << command << ":\n"
        << result.output;
  }
}

}  // namespace
}  // namespace tessary
