// Writes a seeded generated effect of N top-level cells with one sub-cell each, the shape the
// benchmarks measure, as an effect file.
//
//   tessary-generate-effect CELLS OUTPUT [SEED]

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string_view>

#include "support/generated_effects.h"
#include "tessary/store/effect_file.h"

namespace {

template <typename Number>
bool parse(std::string_view text, Number& number) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  return error == std::errc() && end == text.data() + text.size();
}

}  // namespace

int main(int argc, char** argv) {
  int cells = 0;
  std::uint32_t seed = 1;
  if (argc < 3 || argc > 4 || !parse(argv[1], cells) || cells < 0 ||
      (argc == 4 && !parse(argv[3], seed))) {
    std::fprintf(stderr, "usage: %s CELLS OUTPUT [SEED]\n", argv[0]);
    return 2;
  }
  try {
    const auto layer = tessary::testing::generateEffect(
        seed, {.cells = cells, .minSubcells = 1, .maxSubcells = 1, .hostileNames = false});
    tessary::store::EffectFile::save(*layer, argv[2]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  return 0;
}
