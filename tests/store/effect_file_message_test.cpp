// Problems with an effect file are reported as one line of well-formed UTF-8, whatever bytes the
// file or its name holds.

#include <gtest/gtest.h>

#include <string>

#include "tessary/platform/well_formed_utf8.h"
#include "tessary/store/effect_file.h"

namespace tessary::store {
namespace {

std::string messageOf(const std::string& json, const std::string& fileName) {
  try {
    EffectFile::parse(json, fileName);
  } catch (const EffectFileError& error) {
    return error.what();
  }
  return "(no error)";
}

TEST(EffectFileMessageTest, MessagesAreWellFormedUtf8) {
  struct Row {
    std::string json;
    std::string fileName;
    std::string message;
  };
  const std::string replacement = "\xef\xbf\xbd";
  const Row rows[] = {
      // The JSON reader quotes what it last read, here the first byte of a byte-order mark.
      {"{\"tessaryEffect\": 1,\n\xef\xbb\xbf}", "fire.json",
       "fire.json: line 2, column 1: syntax error while parsing object key - invalid literal; "
       "last read: '1,<U+000A>" +
           replacement + "'; expected string literal"},
      // A file name is bytes, not always UTF-8.
      {"{\"tessaryEffect\": 1, \"layer\": {\"cells\": [{\"name\": 5}]}}", "bad\xff.json",
       "bad" + replacement + ".json: /layer/cells/0/name: expected a string, found a number"},
  };
  for (const Row& row : rows) {
    const std::string message = messageOf(row.json, row.fileName);
    EXPECT_TRUE(platform::isWellFormedUtf8(message)) << message;
    EXPECT_EQ(message, row.message);
  }
}

}  // namespace
}  // namespace tessary::store
