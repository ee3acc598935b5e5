#include "tessary/platform/swift_tokenizer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "golden_cases.h"
#include "support/golden_file.h"

namespace tessary::platform {
namespace {

// The source with every token wrapped as {class}text{/}.
std::string marked(std::string_view source) {
  std::string result;
  std::uint32_t plainBegin = 0;
  SwiftTokenizer::visit(source, [&](TokenClass tokenClass, std::uint32_t begin, std::uint32_t end) {
    result.append(source.substr(plainBegin, begin - plainBegin));
    result += '{';
    result += tokenClassName(tokenClass);
    result += '}';
    result.append(source.substr(begin, end - begin));
    result += "{/}";
    plainBegin = end;
  });
  result.append(source.substr(plainBegin));
  return result;
}

// Every <name>.swift in the golden folder must mark up exactly as <name>.swift.classes.
TEST(SwiftTokenizerTest, MatchesGoldenFiles) {
  const std::filesystem::path folder =
      std::filesystem::path(TESSARY_SOURCE_DIR) / "tests" / "golden" / "swift";
  int inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".swift") continue;
    testing::expectMatchesGolden(marked(testing::readFile(entry.path())),
                                 "swift/" + entry.path().filename().string() + ".classes");
    ++inputs;
  }
  EXPECT_GT(inputs, 0) << folder;
}

// source_ends.cases holds sources that end inside a construct, and bytes that are not valid UTF-8.
TEST(SwiftTokenizerTest, EdgesOfTheSourceAndInvalidBytes) {
  platform::golden_cases::expectMatchesGolden("swift/source_ends.cases", 1,
                                              [](const auto& fields) { return marked(fields[0]); });
}

TEST(SwiftTokenizerTest, NestingBeyondTheInterpolationLimitStaysSound) {
  std::string source = "let s = ";
  for (int i = 0; i < 40; ++i) source += "\"\\(";
  source += "x";
  for (int i = 0; i < 40; ++i) source += ")\"";
  source += "\nlet y = 1";
  const std::string result = marked(source);
  EXPECT_TRUE(result.ends_with("\n{keyword}let{/} y = {number}1{/}")) << result;
}

}  // namespace
}  // namespace tessary::platform
