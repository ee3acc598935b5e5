#include "tessary/store/formatters.h"

#include <gtest/gtest.h>

#include "support/golden_file.h"

namespace tessary::store {
namespace {

TEST(FormattersTest, NumbersAsTheSnippetWritesThem) {
  testing::expectCasesMatchGolden("formatters.cases", 2, [](const auto& fields) {
    const double value = std::stod(fields[0]);
    if (fields[1] == "rgb") return rgbValue(value);
    return fields[1] == "shortest" ? shortestDecimal(value)
                                   : roundedTo(value, std::stoi(fields[1]));
  });
}

}  // namespace
}  // namespace tessary::store
