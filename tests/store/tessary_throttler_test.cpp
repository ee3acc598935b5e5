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
      runs_.emplace_back(id, Clock::now());
      changed_.notify_all();
    };
  }
  bool waitFor(int id) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kPatience, [&] {
      return std::ranges::any_of(runs_, [id](const auto& run) { return run.first == id; });
    });
  }
  std::vector<int> order() const {
    std::vector<int> ids;
    for (const auto& run : runs_) ids.push_back(run.first);
    return ids;
  }
  // Waits for the last action, then checks that none ran twice.
  std::vector<std::pair<int, Clock::time_point>> finishedWith(int last) {
    EXPECT_TRUE(waitFor(last));
    const std::lock_guard lock(mutex_);
    std::vector<int> ids = order();
    std::ranges::sort(ids);
    EXPECT_EQ(std::ranges::adjacent_find(ids), ids.end()) << "an action ran twice";
    return runs_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::pair<int, Clock::time_point>> runs_;
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
  log.finishedWith(101);
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
  const auto runs = log.finishedWith(id);
  // Starts are read inside the actions, a little after the throttler's own clock reading, so a
  // descheduled thread can shift one of them: allow half an interval.
  for (std::size_t index = 1; index < runs.size(); ++index) {
    EXPECT_LT(runs[index - 1].first, runs[index].first);
    EXPECT_GE(std::chrono::duration<double>(runs[index].second - runs[index - 1].second).count(),
              0.5 / kActionsPerSecond);
  }
}

// An action may request more, and may hold the last copy of its throttler.
TEST(TessaryThrottlerTest, ActionsMayRequestMoreActionsAndOutliveTheirThrottler) {
  RunLog log;
  {
    const TessaryThrottler throttler(1000.0);
    throttler.run([throttler, &log] { throttler.run(log.action(2)); });
    ASSERT_TRUE(log.waitFor(2));
    throttler.run([throttler, &log] { log.action(3)(); });
  }
  EXPECT_TRUE(log.waitFor(3));
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
  log.finishedWith(kFinal);
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
