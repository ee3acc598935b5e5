#pragma once

// Outputs compared with golden files below tests/golden. On a difference the output is written
// beside the golden file as <name>.new for a person to review and, if right, move over it.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace tessary::testing {

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline std::filesystem::path goldenPath(const std::string& relativePath) {
  return std::filesystem::path(TESSARY_SOURCE_DIR) / "tests" / "golden" / relativePath;
}

inline void expectMatchesGolden(const std::string& actual, const std::string& relativePath) {
  const std::filesystem::path path = goldenPath(relativePath);
  const std::filesystem::path review = goldenPath(relativePath + ".new");
  if (std::filesystem::exists(path) && readFile(path) == actual) {
    std::filesystem::remove(review);
    return;
  }
  std::ofstream(review, std::ios::binary) << actual;
  ADD_FAILURE() << "output differs from " << path << "; wrote " << review << " for review";
}

// Case files hold one case a line: its input fields, then its result, separated by tabs, with
// bytes outside printable ASCII written \xHH. Lines starting with # are comments.
inline std::string escaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
    out += c >= 0x20 && c < 0x7F ? std::string(1, c) : hex;
  }
  return out;
}

inline std::string unescaped(std::string_view text) {
  std::string out;
  for (std::size_t at = 0; at < text.size(); ++at) {
    const bool byte = text.substr(at, 2) == "\\x";
    out += byte ? static_cast<char>(std::stoi(std::string(text.substr(at + 2, 2)), nullptr, 16))
                : text[at];
    at += byte ? 3 : 0;
  }
  return out;
}

// Expects the case file to hold its cases' first `inputs` fields followed by what `result` makes
// of them.
inline void expectCasesMatchGolden(
    const std::string& relativePath, std::size_t inputs,
    const std::function<std::string(const std::vector<std::string>&)>& result) {
  std::istringstream lines(readFile(goldenPath(relativePath)));
  std::string actual;
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields;
    for (std::size_t at = 0; !line.starts_with('#') && fields.size() < inputs;) {
      const std::size_t tab = std::min(line.find('\t', at), line.size());
      fields.push_back(unescaped(line.substr(at, tab - at)));
      actual += escaped(fields.back()) + '\t';
      at = tab + 1;
    }
    actual += fields.empty() ? line + '\n' : escaped(result(fields)) + '\n';
  }
  expectMatchesGolden(actual, relativePath);
}

}  // namespace tessary::testing
