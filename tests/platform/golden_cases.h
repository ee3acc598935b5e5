#pragma once

// Tables of cases kept as golden files under tests/golden: one case a line, its input fields
// and then its result, separated by tabs and written as printable ASCII.

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "support/golden_file.h"

namespace tessary::platform::golden_cases {

// Bytes as printable ASCII: a backslash doubled, anything else
// outside ASCII's printable range as \xHH.
inline std::string escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02X", byte);
    out += c == '\\' ? "\\\\" : byte >= 0x20 && byte < 0x7F ? std::string(1, c) : hex;
  }
  return out;
}

inline std::string unescaped(std::string_view text) {
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

// Reads the first `inputs` fields of every line of the golden file `name`, and expects the file
// to equal those fields followed by what `result` makes of them.
inline void expectMatchesGolden(
    const std::string& name, std::size_t inputs,
    const std::function<std::string(const std::vector<std::string>&)>& result) {
  const std::string cases =
      testing::readFile(std::filesystem::path(TESSARY_SOURCE_DIR) / "tests" / "golden" / name);
  std::string actual;
  for (std::size_t start = 0; start < cases.size(); start = cases.find('\n', start) + 1) {
    std::vector<std::string> fields;
    for (std::size_t field = start; fields.size() < inputs; field = cases.find('\t', field) + 1) {
      fields.push_back(unescaped(cases.substr(field, cases.find_first_of("\t\n", field) - field)));
      actual += escaped(fields.back()) + '\t';
    }
    actual += escaped(result(fields)) + '\n';
  }
  testing::expectMatchesGolden(actual, name);
}

}  // namespace tessary::platform::golden_cases
