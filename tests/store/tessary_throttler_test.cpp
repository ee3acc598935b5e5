#include "tessary/store/tessary_throttler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tessary::store {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Long enough that only a broken throttler runs out of it, so it fails instead of hanging.
constexpr auto kPatience = 20s;

// Records which actions ran, in order, and when each started.
class RunLog {
 public:
  std::function<void()> action(int id) {
    return [this, id] {
      const std::lock_guard lock(mutex_);
      order_.push_back(id);
      starts_.push_back(Clock::now());
      changed_.notify_all();
    };
  }
  bool waitFor(int id) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kPatience,
                             [&] { return std::ranges::find(order_, id) != order_.end(); });
  }
  std::vector<int> order() const {
    const std::lock_guard lock(mutex_);
    return order_;
  }
  std::vector<Clock::time_point> starts() const {
    const std::lock_guard lock(mutex_);
    return starts_;
  }
  bool eachRanAtMostOnce() const {
    std::vector<int> sorted = order();
    std::ranges::sort(sorted);
    return std::ranges::adjacent_find(sorted) == sorted.end();
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<int> order_;
  std::vector<Clock::time_point> starts_;
};

// Holds the throttler's thread from its start until released.
struct BlockingAction {
  std::function<void()> action() {
    return [this] {
      started.set_value();
      release.get_future().wait();
      finished = true;
    };
  }
  bool waitUntilStarted() {
    return started.get_future().wait_for(kPatience) == std::future_status::ready;
  }
  std::promise<void> started, release;
  std::atomic<bool> finished = false;
};

TEST(TessaryThrottlerTest, OnlyTheLatestWaitingActionOfAnyCopyRunsAtTheNextSlot) {
  RunLog log;
  BlockingAction first;
  const TessaryThrottler throttler(1000.0);
  const TessaryThrottler copy = throttler;  // NOLINT(performance-unnecessary-copy-initialization)
  throttler.run(first.action());
  ASSERT_TRUE(first.waitUntilStarted());
  for (int id = 1; id <= 100; ++id) (id % 2 == 0 ? copy : throttler).run(log.action(id));
  first.release.set_value();
  ASSERT_TRUE(log.waitFor(100));
  throttler.run(log.action(101));
  ASSERT_TRUE(log.waitFor(101));
  EXPECT_EQ(log.order(), (std::vector<int>{100, 101}));
}

TEST(TessaryThrottlerTest, StartsAreSpacedByTheRateAndTheLastRequestAlwaysRuns) {
  constexpr double kActionsPerSecond = 10.0;
  RunLog log;
  const TessaryThrottler throttler(kActionsPerSecond);
  int id = 0;
  for (int burst = 0; burst < 6; ++burst) {
    for (int request = 0; request < 50; ++request) throttler.run(log.action(++id));
    std::this_thread::sleep_for(40ms);
  }
  ASSERT_TRUE(log.waitFor(id));
  EXPECT_TRUE(std::ranges::is_sorted(log.order()));
  EXPECT_TRUE(log.eachRanAtMostOnce());
  // Starts are read inside the actions, a little after the throttler's own clock reading, so a
  // descheduled thread can shift one of them: allow half an interval.
  const std::vector<Clock::time_point> starts = log.starts();
  for (std::size_t index = 1; index < starts.size(); ++index) {
    EXPECT_GE(std::chrono::duration<double>(starts[index] - starts[index - 1]).count(),
              0.5 / kActionsPerSecond)
        << "between starts " << index - 1 << " and " << index;
  }
}

TEST(TessaryThrottlerTest, ActionsMayRequestMoreActions) {
  RunLog log;
  const TessaryThrottler throttler(1000.0);
  throttler.run([throttler, &log] { throttler.run(log.action(2)); });
  EXPECT_TRUE(log.waitFor(2));
}

TEST(TessaryThrottlerTest, LastCopyDropsTheWaitingActionAndWaitsForTheRunningOne) {
  BlockingAction running;
  auto waitingCapture = std::make_shared<int>(0);
  std::atomic<bool> waitingRan = false;
  auto throttler = std::make_unique<TessaryThrottler>(1000.0);
  throttler->run(running.action());
  ASSERT_TRUE(running.waitUntilStarted());
  throttler->run([&waitingRan, waitingCapture] { waitingRan = true; });
  std::optional<bool> runningFinishedWhenReleased;
  std::thread releaser([&] {
    throttler.reset();
    runningFinishedWhenReleased = running.finished.load();
  });
  std::this_thread::sleep_for(20ms);  // lets the release reach its wait; not needed for the result
  running.release.set_value();
  releaser.join();
  EXPECT_EQ(runningFinishedWhenReleased, true);
  EXPECT_FALSE(waitingRan);
  EXPECT_EQ(waitingCapture.use_count(), 1);
}

TEST(TessaryThrottlerTest, LastCopyMayGoInsideItsOwnAction) {
  std::promise<void> ran;
  auto future = ran.get_future();
  {
    const TessaryThrottler throttler(1000.0);
    throttler.run([throttler, &ran] { ran.set_value(); });
  }
  EXPECT_EQ(future.wait_for(kPatience), std::future_status::ready);
}

TEST(TessaryThrottlerConcurrencyTest, ActionsFromManyThreadsRunAtMostOnceInRequestOrder) {
  constexpr int kThreads = 4, kRequestsPerThread = 300, kFinal = kThreads * kRequestsPerThread;
  RunLog log;
  const TessaryThrottler throttler(200.0);
  std::vector<std::thread> requesters;
  for (int thread = 0; thread < kThreads; ++thread) {
    requesters.emplace_back([&, thread] {
      for (int request = 0; request < kRequestsPerThread; ++request) {
        throttler.run(log.action(thread * kRequestsPerThread + request));
      }
    });
  }
  for (std::thread& requester : requesters) requester.join();
  throttler.run(log.action(kFinal));
  ASSERT_TRUE(log.waitFor(kFinal));
  EXPECT_TRUE(log.eachRanAtMostOnce());
  const std::vector<int> order = log.order();
  EXPECT_EQ(order.back(), kFinal);
  // A later request replaces earlier ones, so each thread's actions ran in the order it asked.
  for (int thread = 0; thread < kThreads; ++thread) {
    std::vector<int> ofThread;
    std::ranges::copy_if(order, std::back_inserter(ofThread),
                         [&](int id) { return id / kRequestsPerThread == thread; });
    EXPECT_TRUE(std::ranges::is_sorted(ofThread)) << "thread " << thread;
  }
}

TEST(TessaryThrottlerDeathTest, RateMustBePositive) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (const double rate : {0.0, -60.0}) {
    EXPECT_DEATH(TessaryThrottler{rate}, "Fatal error: TessaryThrottler needs a positive number");
  }
}

}  // namespace
}  // namespace tessary::store
