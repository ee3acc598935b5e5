#pragma once

// Compares an output with its golden file. On a difference the output is written beside the
// golden file as <name>.new for a person to review and, if right, move over it.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tessary::testing {

inline std::string readFile(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// `relativePath` is below tests/golden.
inline void expectMatchesGolden(const std::string& actual, const std::string& relativePath) {
  const std::filesystem::path path =
      std::filesystem::path(TESSARY_SOURCE_DIR) / "tests" / "golden" / relativePath;
  std::filesystem::path review = path;
  review += ".new";
  if (std::filesystem::exists(path) && readFile(path) == actual) {
    std::filesystem::remove(review);
    return;
  }
  std::ofstream(review, std::ios::binary) << actual;
  ADD_FAILURE() << "output differs from " << path << "; wrote " << review << " for review";
}

}  // namespace tessary::testing
