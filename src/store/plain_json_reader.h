#pragma once

#include <cstddef>
#include <string_view>

#include <nlohmann/json.hpp>

namespace tessary::store {

// A fast reader for the JSON that programs and people write: keys without escapes, numbers that
// convert without overflow, no comments. It gives a SAX handler the events nlohmann's parser
// would give it, in the same order, and gives up with false, part way through, at anything else:
// an escape in a key, a syntax error, a number out of range, a bad escape. The caller then reads the text again with nlohmann's parser
// and a fresh handler, which finds the same events up to the problem and reports it.
class PlainJsonReader {
 public:
  using Sax = nlohmann::json_sax<nlohmann::json>;

  // The bytes of one value in the text: a number, a string with its quotes, or a literal.
  struct ValueSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
  };

  // Whether the whole text was read; a handler's exception passes through. When `valueSpan` is
  // given, it holds the place of each number, string and literal value while the handler is told
  // the value.
  static bool read(std::string_view text, Sax& sax, ValueSpan* valueSpan = nullptr);
};

}  // namespace tessary::store
