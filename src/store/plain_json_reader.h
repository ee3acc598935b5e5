#pragma once

#include <string_view>

#include <nlohmann/json.hpp>

namespace tessary::store {

// A fast reader for the JSON that programs write: strings without escapes, numbers that convert
// without overflow, no comments. It gives a SAX handler the events nlohmann's parser would give
// it, in the same order, and gives up with false, part way through, at anything else: an escape,
// a syntax error, a number out of range. The caller then reads the text again with nlohmann's
// parser and a fresh handler, which finds the same events up to the problem and reports it.
class PlainJsonReader {
 public:
  using Sax = nlohmann::json_sax<nlohmann::json>;

  // Whether the whole text was read; a handler's exception passes through.
  static bool read(std::string_view text, Sax& sax);
};

}  // namespace tessary::store
