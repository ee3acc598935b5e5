#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string_view>

namespace tessary::platform {

// The one hash of the library's tables. It reads the bytes eight at a time as words (first byte
// lowest), then the bytes left over and the length, so the hash of every prefix of a text follows
// from the running state of the whole words before it: a reader can hash all the prefixes of a
// line in one pass over the line.
class WordHash {
 public:
  static constexpr std::size_t kWordSize = 8;
  static constexpr std::uint64_t kStart = 0x9E3779B97F4A7C15ULL;

  // `count` bytes (at most eight) as a word, the rest zero.
  static std::uint64_t loadWord(const char* bytes, std::size_t count) {
    std::uint64_t word = 0;
    if (count == kWordSize) {
      std::memcpy(&word, bytes, kWordSize);
      if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
      return word;
    }
    for (std::size_t i = 0; i < count; ++i) {
      word |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
    }
    return word;
  }

  // The first `count` bytes of `word` (count below eight), the rest zero.
  static std::uint64_t firstBytes(std::uint64_t word, std::size_t count) {
    return word & ((std::uint64_t{1} << (8 * count)) - 1);
  }

  // The running state after one more whole word.
  static std::uint64_t step(std::uint64_t state, std::uint64_t word) {
    return std::rotl((state ^ word) * 0xBF58476D1CE4E5B9ULL, 29);
  }

  // The hash of `length` bytes: the state after their whole words, and the bytes left over.
  static std::uint64_t finish(std::uint64_t state, std::uint64_t rest, std::size_t length) {
    std::uint64_t hash = step(state, rest) ^ length;
    hash ^= hash >> 31;
    hash *= 0x94D049BB133111EBULL;
    hash ^= hash >> 29;
    return hash;
  }

  static std::uint64_t of(std::string_view bytes) {
    std::uint64_t state = kStart;
    std::size_t at = 0;
    for (; at + kWordSize <= bytes.size(); at += kWordSize) {
      state = step(state, loadWord(bytes.data() + at, kWordSize));
    }
    const std::size_t rest = bytes.size() - at;
    // A text of a word or more reads its rest as the end of its last eight bytes, in one load.
    const std::uint64_t last = rest == 0 || bytes.size() < kWordSize
                                   ? loadWord(bytes.data() + at, rest)
                                   : loadWord(bytes.data() + bytes.size() - kWordSize, kWordSize) >>
                                         (8 * (kWordSize - rest));
    return finish(state, last, bytes.size());
  }

  // The hash of the words' bytes, the same as `of` gives for them.
  static std::uint64_t ofWords(std::initializer_list<std::uint64_t> words) {
    std::uint64_t state = kStart;
    for (const std::uint64_t word : words) state = step(state, word);
    return finish(state, 0, words.size() * kWordSize);
  }
};

}  // namespace tessary::platform
