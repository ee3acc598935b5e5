#include "platform/flat_index.h"

#include <gtest/gtest.h>

#include <unordered_map>

#include "platform/word_hash.h"
#include "support/test_seed.h"

namespace tessary::platform {
namespace {

// Random additions, lookups, reservations and clearing agree with a plain map, under the real hash
// and under colliding ones: few values with equal tags, and tags apart in one slot chain.
TEST(FlatIndexTest, AgreesWithAPlainMap) {
  tessary::testing::SeededRandom random;
  const std::function<std::uint64_t(const std::string&)> hashes[] = {
      [](const std::string& key) { return WordHash::of(key); },
      [](const std::string& key) { return WordHash::of(key) % 5; },
      [](const std::string& key) { return WordHash::of(key) << 48; }};
  const auto randomKey = [&] {
    std::string key(random() % 12, 'a');
    for (char& c : key) c = static_cast<char>('a' + random() % 3);
    return key;
  };
  for (const auto& hashOf : hashes) {
    SCOPED_TRACE(&hashOf - hashes);
    for (int round = 0; round < 40; ++round) {
      FlatIndex index;
      std::vector<std::string> entries;
      std::unordered_map<std::string, std::size_t> reference;
      for (int step = 0; step < 400; ++step) {
        const std::string key = randomKey();
        const std::uint64_t hash = hashOf(key);
        const auto found = index.find(hash, [&](std::size_t at) { return entries[at] == key; });
        const auto expected = reference.find(key);
        ASSERT_EQ(found,
                  expected == reference.end() ? std::nullopt : std::optional(expected->second))
            << key;
        const unsigned action = random() % 100;
        if (action < 60 && !found) {
          ASSERT_EQ(index.add(hash), entries.size());
          entries.push_back(key);
          reference.emplace(key, entries.size() - 1);
        } else if (action < 62) {
          index.reserve(random() % 300);
        } else if (action < 63) {
          index.clear();
          entries.clear();
          reference.clear();
        }
        ASSERT_EQ(index.size(), reference.size());
      }
    }
  }
}

}  // namespace
}  // namespace tessary::platform
