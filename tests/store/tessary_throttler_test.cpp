#include "tessary/store/tessary_throttler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace tessary::store {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Records the actions that ran, in order, with their starts.
class RunLog {
 public:
  std::function<void()> action(int id) {
    return [this, id] {
      const std::lock_guard lock(mutex_);
      runs_.emplace_back(id, Clock::now());
      changed_.notify_all();
    };
  }
  // Whether the action has run, waiting up to `patience` (a broken throttler fails, not hangs).
  bool ran(int id, std::chrono::seconds patience = 20s) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, patience, [&] {
      return std::ranges::any_of(runs_, [id](const auto& run) { return run.first == id; });
    });
  }
  std::vector<std::pair<int, Clock::time_point>> runs() {
    const std::lock_guard lock(mutex_);
    return runs_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::pair<int, Clock::time_point>> runs_;
};

// Requests from several threads in bursts: each thread's actions run in the order it asked for
// them (a later request replaces earlier ones), starts are spaced by the rate, and the last
// request, made by an action, always runs.
TEST(TessaryThrottlerTest, StartsAreSpacedByTheRateAndTheLastRequestAlwaysRuns) {
  constexpr double kActionsPerSecond = 20.0;
  constexpr int kThreads = 4, kRequestsPerThread = 300, kFinal = kThreads * kRequestsPerThread;
  RunLog log;
  const TessaryThrottler throttler(kActionsPerSecond);
  std::vector<std::thread> requesters;
  for (int thread = 0; thread < kThreads; ++thread) {
    requesters.emplace_back([&, thread] {
      for (int request = 0; request < kRequestsPerThread; ++request) {
        throttler.run(log.action(thread * kRequestsPerThread + request));
        if (request % 50 == 49) std::this_thread::sleep_for(40ms);
      }
    });
  }
  for (std::thread& requester : requesters) requester.join();
  throttler.run([&] { throttler.run(log.action(kFinal)); });
  ASSERT_TRUE(log.ran(kFinal));
  const auto runs = log.runs();
  EXPECT_EQ(runs.back().first, kFinal);
  std::vector<int> lastOfThread(kThreads + 1, -1);
  for (std::size_t index = 0; index < runs.size(); ++index) {
    const int id = runs[index].first;
    EXPECT_GT(id, std::exchange(lastOfThread[id / kRequestsPerThread], id));
    // Starts are read a little after the throttler's clock reading: allow half an interval.
    const auto sincePrevious = runs[index].second - runs[index > 0 ? index - 1 : 0].second;
    EXPECT_TRUE(index == 0 || sincePrevious >= 0.5s / kActionsPerSecond);
  }
}

// Also: an action may hold the last copy of its throttler (and so of its queue).
TEST(TessaryThrottlerTest, LastCopyDropsTheWaitingActionAndWaitsForTheRunningOne) {
  RunLog log;
  std::promise<void> release;
  const std::shared_future<void> released = release.get_future().share();
  auto throttler = std::make_unique<TessaryThrottler>(1000.0);
  throttler->run([&] {
    log.action(1)();
    released.wait();
    log.action(-1)();
  });
  ASSERT_TRUE(log.ran(1));
  auto waitingCapture = std::make_shared<int>(0);
  throttler->run([&log, waitingCapture] { log.action(2)(); });
  std::optional<bool> runningFinishedWhenReleased;
  std::thread releaser([&] {
    throttler.reset();
    runningFinishedWhenReleased = log.ran(-1, 0s);
  });
  std::this_thread::sleep_for(20ms);  // lets the release reach its wait; not needed for the result
  release.set_value();
  releaser.join();
  EXPECT_EQ(runningFinishedWhenReleased, true);
  EXPECT_FALSE(log.ran(2, 0s));
  EXPECT_EQ(waitingCapture.use_count(), 1);
  {
    const TessaryThrottler last(1000.0);
    last.run([last, &log] { log.action(3)(); });
  }
  EXPECT_TRUE(log.ran(3));
}

TEST(TessaryThrottlerDeathTest, RateMustBePositive) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(TessaryThrottler{0.0}, "Fatal error: TessaryThrottler needs a positive number");
}

}  // namespace
}  // namespace tessary::store
