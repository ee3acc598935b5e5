#pragma once

// Runs the built program as a person would, for the tests of its commands.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/golden_file.h"
#include "support/temporary_folder.h"
#include "tessary/store/effect_file.h"

namespace tessary::testing {

inline std::string programPath() {
  return std::string(TESSARY_BINARY_DIR) + "/tessary-code";
}

struct ProgramRun {
  int status;
  std::string output;  // standard output and error
};

inline ProgramRun runShell(const std::string& command) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  std::string output;
  char buffer[4096];
  for (std::size_t count; (count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
    output.append(buffer, count);
  }
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

// Runs `tessary-code <arguments>` with standard input from /dev/null (no terminal) unless the
// arguments redirect it; `environment` goes before the command ("VISUAL=script").
inline ProgramRun runProgram(const std::string& arguments, const std::string& environment = "") {
  return runShell(environment + " " + programPath() + " </dev/null " + arguments);
}

inline void writeFile(const std::filesystem::path& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary) << contents;
}

inline std::string replacedOnce(std::string text, const std::string& from, const std::string& to) {
  text.replace(text.find(from), from.size(), to);
  return text;
}

inline std::string replacedAll(std::string text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// A fresh folder for each test of the program, holding the demo effect as fire.json. Skips the
// test when the program is not built.
class ProgramTest : public TemporaryFolderTest {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(programPath())) GTEST_SKIP() << programPath() << " is not built";
    TemporaryFolderTest::SetUp();
    effect_ = folder_ / "fire.json";
    writeFile(effect_, store::EffectFile::demoJson());
  }

  std::string path(const std::string& name) const { return (folder_ / name).string(); }

  std::filesystem::path effect_;
};

}  // namespace tessary::testing
