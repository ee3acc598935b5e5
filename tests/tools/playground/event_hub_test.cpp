// The event hub between the session and the pages: what a page that joins late, one that stops
// reading and one that is let go for a newer page get.

#include "playground/event_hub.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessary::tool {
namespace {

using std::chrono::milliseconds;

std::string message(const std::string& event, const std::string& data) {
  return "event: " + event + "\ndata: " + data + "\n\n";
}

// The messages waiting for `subscription`, taken without waiting for more.
std::vector<std::string> waiting(EventHub& hub, EventHub::Subscription& subscription) {
  std::vector<std::string> messages;
  while (const auto next = hub.next(subscription, milliseconds(0))) {
    if (next->empty()) break;
    messages.push_back(*next);
  }
  return messages;
}

TEST(EventHubTest, APageThatStopsReadingLosesItsOldestMessagesOnlyALatePageGetsTheLatestOfEach) {
  EventHub hub;
  const auto idle = hub.subscribe();
  hub.publish("snippet", "s");
  constexpr int kPublished = 10'000;
  for (int i = 0; i < kPublished; ++i) hub.publish("state", std::to_string(i));
  const auto late = hub.subscribe();
  EXPECT_EQ(waiting(hub, *late), (std::vector{message("snippet", "s"), message("state", "9999")}));
  const std::vector<std::string> kept = waiting(hub, *idle);
  ASSERT_FALSE(kept.empty());
  EXPECT_LT(kept.size(), kPublished / 10);
  for (std::size_t i = 0; i < kept.size(); ++i) {
    EXPECT_EQ(kept[i], message("state", std::to_string(kPublished - kept.size() + i)));
  }
}

TEST(EventHubTest, PastThePageLimitTheLongestFollowingPageIsToldAndEndsAsAllDoWhenTheHubCloses) {
  EventHub hub;
  const auto first = hub.subscribe();
  std::vector<std::shared_ptr<EventHub::Subscription>> newer;
  std::optional<std::string> told;
  while (!(told = hub.next(*first, milliseconds(0)))) {
    ASSERT_LT(newer.size(), 100u) << "the oldest page is never let go";
    newer.push_back(hub.subscribe());
  }
  EXPECT_TRUE(told->starts_with("event: closed\n")) << *told;
  EXPECT_EQ(hub.next(*first, milliseconds(0)), std::string());
  hub.publish("state", "after");
  EXPECT_EQ(waiting(hub, *first), std::vector<std::string>());
  EXPECT_EQ(waiting(hub, *newer.front()), std::vector{message("state", "after")});
  hub.publish("state", "unread");
  hub.close();
  EXPECT_TRUE(hub.isClosed());
  EXPECT_EQ(hub.next(*newer.back(), milliseconds(0)), std::string());
}

}  // namespace
}  // namespace tessary::tool
