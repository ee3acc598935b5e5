#include "tessary/platform/swift_tokenizer.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "support/golden_file.h"

namespace tessary::platform {
namespace {

// The source with every token wrapped as {class}text{/}.
std::string marked(std::string_view source) {
  std::string result;
  std::uint32_t plainBegin = 0;
  SwiftTokenizer::visit(source, [&](TokenClass tokenClass, std::uint32_t begin, std::uint32_t end) {
    result.append(source.substr(plainBegin, begin - plainBegin));
    result += '{' + std::string(tokenClassName(tokenClass)) + '}';
    result.append(source.substr(begin, end - begin)) += "{/}";
    plainBegin = end;
  });
  return result.append(source.substr(plainBegin));
}

// Every <name>.swift in the golden folder marks up as <name>.swift.classes; source_ends.cases
// holds sources that end inside a construct, nest past the interpolation limit or are not UTF-8.
TEST(SwiftTokenizerTest, MatchesGoldenFiles) {
  for (const auto& entry : std::filesystem::directory_iterator(testing::goldenPath("swift"))) {
    if (entry.path().extension() != ".swift") continue;
    testing::expectMatchesGolden(marked(testing::readFile(entry.path())),
                                 "swift/" + entry.path().filename().string() + ".classes");
  }
  testing::expectCasesMatchGolden("swift/source_ends.cases", 1,
                                  [](const auto& fields) { return marked(fields[0]); });
}

}  // namespace
}  // namespace tessary::platform
