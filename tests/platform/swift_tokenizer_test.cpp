#include "tessary/platform/swift_tokenizer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

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

// Bytes as printable ASCII: a backslash doubled, anything else outside ASCII's printable range as
// \xHH.
std::string escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02X", byte);
    out += c == '\\' ? "\\\\" : byte >= 0x20 && byte < 0x7F ? std::string(1, c) : hex;
  }
  return out;
}

std::string unescaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
    } else if (text[++i] == '\\') {
      out += '\\';
    } else {
      out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    }
  }
  return out;
}

// source_ends.cases holds a source a line, escaped, and after a tab what it marks up as: sources
// that end inside a construct, and bytes that are not valid UTF-8.
TEST(SwiftTokenizerTest, EdgesOfTheSourceAndInvalidBytes) {
  const std::string cases = testing::readFile(std::filesystem::path(TESSARY_SOURCE_DIR) / "tests" /
                                              "golden" / "swift" / "source_ends.cases");
  std::string actual;
  for (std::size_t start = 0; start < cases.size(); start = cases.find('\n', start) + 1) {
    const std::string source = unescaped(cases.substr(start, cases.find('\t', start) - start));
    actual += escaped(source) + '\t' + escaped(marked(source)) + '\n';
  }
  testing::expectMatchesGolden(actual, "swift/source_ends.cases");
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
