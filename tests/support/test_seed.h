#pragma once

// Random numbers for a randomised test, replayable: the seed, from TESSARY_TEST_SEED if set, else
// fresh, is printed and named in every failure while the generator lives.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace tessary::testing {

class SeededRandom : public std::mt19937 {
 public:
  SeededRandom() : SeededRandom(std::getenv("TESSARY_TEST_SEED")) {}

 private:
  explicit SeededRandom(const char* fixed)
      : SeededRandom(fixed ? static_cast<std::uint32_t>(std::strtoul(fixed, nullptr, 10))
                           : std::random_device{}()) {}
  explicit SeededRandom(std::uint32_t seed)
      : std::mt19937(seed),
        trace_(__FILE__, __LINE__, "TESSARY_TEST_SEED=" + std::to_string(seed)) {
    std::printf("TESSARY_TEST_SEED=%u\n", seed);
  }

  ::testing::ScopedTrace trace_;
};

}  // namespace tessary::testing
