#include "tessary/platform/swift_tokenizer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "support/golden_file.h"
#include "support/test_seed.h"

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

// The UTF-8 character boundaries of `text`: a well-formed sequence is one character, and so is
// each maximal ill-formed part (as a decoder replacing them with U+FFFD would count).
std::vector<bool> characterBoundaries(std::string_view text) {
  std::vector<bool> boundaries(text.size() + 1, false);
  std::size_t position = 0;
  while (position < text.size()) {
    boundaries[position] = true;
    const auto lead = static_cast<unsigned char>(text[position]);
    std::size_t length = 1;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    }
    std::size_t taken = 1;
    while (taken < length && position + taken < text.size()) {
      const auto byte = static_cast<unsigned char>(text[position + taken]);
      const bool fits = taken == 1 ? byte >= low && byte <= high : (byte & 0xC0) == 0x80;
      if (!fits) break;
      ++taken;
    }
    position += taken;
  }
  boundaries[text.size()] = true;
  return boundaries;
}

std::string randomSource(std::mt19937& random) {
  static const std::string_view pieces[] = {
      "\"",       "\"\"\"", "#",  "##",     "\\",       "\\(",  "(",    ")",
      "/",        "*",      "/*", "*/",     "//",       ".",    "..",   "-",
      "`",        "$0",     "@",  "\n",     "\r",       " ",    "a",    "Zed",
      "x1",       "1",      "0x", "2.5e-3", "e",        "let",  "?",    "!",
      "_",        "[",      "]",  "{",      "}",        ",",    ":",    "=",
      "é",        "😀",      "✨",  "\xFF",   "\xE2\x82", "\xC0", "\x80", "\xED\xA0\x80",
      "\xC2\xA0",
  };
  std::uniform_int_distribution<std::size_t> length(0, 120);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces));
  std::uniform_int_distribution<int> byte(0, 255);
  std::string source;
  for (std::size_t i = length(random); i > 0; --i) {
    const std::size_t index = pick(random);
    if (index == std::size(pieces)) {
      source += static_cast<char>(byte(random));
    } else {
      source += pieces[index];
    }
  }
  return source;
}

// On arbitrary bytes the tokens are ordered, non-empty, disjoint, within the source and on
// character boundaries.
TEST(SwiftTokenizerTest, TokensAreOrderedAndWithinBoundsOnArbitraryBytes) {
  testing::SeededRandom random;
  for (int round = 0; round < 20000; ++round) {
    const std::string source = randomSource(random);
    const std::vector<bool> boundaries = characterBoundaries(source);
    const std::vector<Token> tokens = SwiftTokenizer::tokenize(source);
    std::uint32_t previousEnd = 0;
    for (const Token& token : tokens) {
      const bool sound = previousEnd <= token.begin && token.begin < token.end &&
                         token.end <= source.size() && boundaries[token.begin] &&
                         boundaries[token.end];
      ASSERT_TRUE(sound) << "round " << round << ", token " << tokenClassName(token.tokenClass)
                         << " [" << token.begin << ", " << token.end << ") in "
                         << ::testing::PrintToString(source);
      previousEnd = token.end;
    }
  }
}

}  // namespace
}  // namespace tessary::platform
