#include "tessary/store/tessary_throttler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace tessary::store {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A generous bound for waits on the throttler's thread, so a broken throttler fails instead of
// hanging.
constexpr auto kPatience = 20s;

// Records which actions ran, and when each started.
class RunLog {
 public:
  std::function<void()> action(int id) {
    return [this, id] {
      const std::lock_guard lock(mutex_);
      ++runs_[id];
      order_.push_back(id);
      starts_.push_back(Clock::now());
      changed_.notify_all();
    };
  }

  bool waitFor(int id) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kPatience, [&] { return runs_.contains(id); });
  }

  std::vector<int> order() const {
    const std::lock_guard lock(mutex_);
    return order_;
  }
  std::vector<Clock::time_point> starts() const {
    const std::lock_guard lock(mutex_);
    return starts_;
  }
  int mostRunsOfOneAction() const {
    const std::lock_guard lock(mutex_);
    int most = 0;
    for (const auto& [id, runs] : runs_) most = std::max(most, runs);
    return most;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::map<int, int> runs_;
  std::vector<int> order_;
  std::vector<Clock::time_point> starts_;
};

// An action that starts, then holds the throttler's thread until released.
class BlockingAction {
 public:
  std::function<void()> action() {
    return [this] {
      started_.set_value();
      release_.get_future().wait();
      finished_ = true;
    };
  }
  bool waitUntilStarted() {
    return started_.get_future().wait_for(kPatience) == std::future_status::ready;
  }
  void release() { release_.set_value(); }
  bool finished() const { return finished_; }

 private:
  std::promise<void> started_;
  std::promise<void> release_;
  std::atomic<bool> finished_ = false;
};

TEST(TessaryThrottlerTest, OnlyTheLatestWaitingActionRunsAtTheNextSlot) {
  RunLog log;
  BlockingAction first;
  const TessaryThrottler throttler(1000.0);
  const TessaryThrottler copy = throttler;  // NOLINT(performance-unnecessary-copy-initialization)
  throttler.run(first.action());
  ASSERT_TRUE(first.waitUntilStarted());
  for (int id = 1; id <= 100; ++id) (id % 2 == 0 ? copy : throttler).run(log.action(id));
  first.release();
  ASSERT_TRUE(log.waitFor(100));
  throttler.run(log.action(101));
  ASSERT_TRUE(log.waitFor(101));
  EXPECT_EQ(log.order(), (std::vector<int>{100, 101}));
}

TEST(TessaryThrottlerTest, StartsAreSpacedByTheRateAndTheLastRequestAlwaysRuns) {
  constexpr double kActionsPerSecond = 10.0;
  const auto interval = std::chrono::duration<double>(1.0 / kActionsPerSecond);
  RunLog log;
  const TessaryThrottler throttler(kActionsPerSecond);
  int id = 0;
  for (int burst = 0; burst < 6; ++burst) {
    for (int request = 0; request < 50; ++request) throttler.run(log.action(++id));
    std::this_thread::sleep_for(40ms);
  }
  ASSERT_TRUE(log.waitFor(id));
  const std::vector<int> order = log.order();
  EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
  EXPECT_EQ(log.mostRunsOfOneAction(), 1);
  // Starts are measured inside the actions, a little after the throttler's own clock reading, so
  // a descheduled thread can shift one of them: allow half an interval.
  const std::vector<Clock::time_point> starts = log.starts();
  for (std::size_t index = 1; index < starts.size(); ++index) {
    EXPECT_GE(std::chrono::duration<double>(starts[index] - starts[index - 1]), interval * 0.5)
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
    runningFinishedWhenReleased = running.finished();
  });
  std::this_thread::sleep_for(20ms);  // lets the release reach its wait; not needed for the result
  running.release();
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
  constexpr int kThreads = 4;
  constexpr int kRequestsPerThread = 300;
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
  constexpr int kFinal = kThreads * kRequestsPerThread;
  throttler.run(log.action(kFinal));
  ASSERT_TRUE(log.waitFor(kFinal));
  EXPECT_EQ(log.mostRunsOfOneAction(), 1);
  const std::vector<int> order = log.order();
  EXPECT_EQ(order.back(), kFinal);
  // A later request of one thread replaces its earlier ones, so each thread's actions that ran
  // did so in the order it asked for them.
  for (int thread = 0; thread < kThreads; ++thread) {
    std::vector<int> ofThread;
    std::copy_if(order.begin(), order.end(), std::back_inserter(ofThread),
                 [&](int id) { return id / kRequestsPerThread == thread && id != kFinal; });
    EXPECT_TRUE(std::is_sorted(ofThread.begin(), ofThread.end())) << "thread " << thread;
  }
}

TEST(TessaryThrottlerDeathTest, RateMustBePositive) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(TessaryThrottler(0.0), "Fatal error: TessaryThrottler needs a positive number");
  EXPECT_DEATH(TessaryThrottler(-60.0), "Fatal error: TessaryThrottler needs a positive number");
}

}  // namespace
}  // namespace tessary::store
