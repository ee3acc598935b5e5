// The event hub between the session and the pages: what a new page, one that stops reading and
// one that is let go for a newer page get.

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

TEST(EventHubTest, APageIsBehindUntilCaughtUpThenGetsEachChangeAndFallsBehindWhenItStopsReading) {
  EventHub hub;
  const auto page = hub.subscribe();
  hub.publish("state", "before");
  EXPECT_TRUE(hub.isBehind(*page));
  EXPECT_EQ(waiting(hub, *page), std::vector<std::string>()) << "held by the snapshot";
  hub.catchUp(*page);
  hub.publish("state", "1");
  hub.publish("snippet", "2");
  EXPECT_FALSE(hub.isBehind(*page));
  EXPECT_EQ(waiting(hub, *page), (std::vector{message("state", "1"), message("snippet", "2")}));

  const std::string change(4096, 'x');
  int published = 0;
  for (; !hub.isBehind(*page); ++published) {
    ASSERT_LT(published, 10'000) << "an unread page's changes pile up";
    hub.publish("state", change);
  }
  EXPECT_GT(published, 16);
  EXPECT_EQ(waiting(hub, *page), std::vector<std::string>());
  hub.catchUp(*page);
  hub.publish("state", "after");
  EXPECT_EQ(waiting(hub, *page), std::vector{message("state", "after")});
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
  hub.catchUp(*first);
  hub.catchUp(*newer.front());
  hub.publish("state", "after");
  EXPECT_EQ(waiting(hub, *first), std::vector<std::string>());
  EXPECT_EQ(waiting(hub, *newer.front()), std::vector{message("state", "after")});
  hub.publish("state", "unread");
  hub.close();
  EXPECT_TRUE(hub.isClosed());
  EXPECT_FALSE(hub.isBehind(*newer.back()));
  EXPECT_EQ(hub.next(*newer.back(), milliseconds(0)), std::string());
}

}  // namespace
}  // namespace tessary::tool
