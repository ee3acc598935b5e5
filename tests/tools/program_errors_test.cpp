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
  writeFile(path("emitter.swift"), "let layer = CAEmitterLayer()\nlayer.seed = 7\n");
  std::filesystem::create_symlink(effect_, path("link.json"));
  std::filesystem::create_hard_link(effect_, path("hard.json"));
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

// What the program writes where: "plain", "ansi", "html <title>", "rtf" or "help" (its usage, then
// an example) for standard output and each file made in the folder. A row whose environment holds
// TTY runs with a terminal for output.
TEST_F(ProgramErrorsTest, OutputsAndColours) {
  const auto kind = [](const std::string& text) -> std::string {
    const std::size_t title = text.find("<title>") + 7, end = text.find("</title>");
    const std::size_t example = text.find("\nExample:\n  tessary-code");
    const bool help = example != std::string::npos && text.find("Usage: tessary-code") < example;
    return text.empty()                              ? "nothing"
           : help                                    ? "help"
           : text.starts_with("{\\rtf")              ? "rtf"
           : end != std::string::npos                ? "html " + text.substr(title, end - title)
           : text.find("\x1b[") != std::string::npos ? "ansi"
                                                     : "plain";
  };
  testing::expectCasesMatchGolden("cli/outputs.cases", 2, [&](const std::vector<std::string>& row) {
    const std::string arguments = replacedAll(row[1], "$DIR", folder_.string());
    const auto run = row[0].find("TTY") == std::string::npos
                         ? runProgram(arguments, row[0])
                         : testing::runShell(row[0] + " script -qec '" + testing::programPath() +
                                             " " + arguments + "' /dev/null");
    std::string written = std::to_string(run.status) + " " + kind(run.output);
    for (const auto& file : std::filesystem::directory_iterator(folder_)) {
      if (file.path().filename().string().starts_with("out")) {
        written += ", " + file.path().filename().string() + ": " + kind(readFile(file.path()));
        std::filesystem::remove(file.path());
      }
    }
    return written;
  });
}

}  // namespace
}  // namespace tessary
