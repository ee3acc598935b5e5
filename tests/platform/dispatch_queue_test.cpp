#include "tessary/platform/dispatch_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tessary::platform {
namespace {

using namespace std::chrono_literals;
using QualityOfService = DispatchQueue::QualityOfService;
using Kind = DispatchQueue::Kind;

// A generous bound for waits on other threads, so a broken queue fails instead of hanging.
constexpr auto kPatience = 20s;

TEST(DispatchQueueTest, SerialQueueRunsOneBlockAtATimeInOrder) {
  const DispatchQueue queue("tessary.serial");
  std::vector<int> order;  // unguarded on purpose: only the queue's serial order protects it
  std::atomic<int> inside = 0;
  std::atomic<bool> overlapped = false;
  for (int index = 0; index < 300; ++index) {
    queue.async([&, index] {
      overlapped = overlapped || inside.fetch_add(1) != 0;
      order.push_back(index);
      inside.fetch_sub(1);
    });
  }
  queue.sync([] {});
  EXPECT_FALSE(overlapped);
  for (int index = 0; index < 300; ++index) ASSERT_EQ(order.at(index), index);
}

TEST(DispatchQueueTest, SyncRunsOnTheCallingThreadHoldingTheQueue) {
  for (const Kind kind : {Kind::serial, Kind::concurrent}) {
    const DispatchQueue queue("tessary.sync", QualityOfService::unspecified, kind);
    const DispatchQueue other("tessary.other");
    EXPECT_FALSE(queue.isCurrent());
    const auto caller = std::this_thread::get_id();
    EXPECT_TRUE(queue.sync([&] {
      other.sync([&] { EXPECT_TRUE(queue.isCurrent() && other.isCurrent()); });
      return queue.isCurrent() && !other.isCurrent() && std::this_thread::get_id() == caller;
    }));
    EXPECT_THROW(queue.sync([] { throw std::runtime_error("boom"); }), std::runtime_error);
    EXPECT_EQ(queue.sync([] { return 7; }), 7);  // released after the exception
  }
}

TEST(DispatchQueueTest, ConcurrentQueueRunsBlocksInParallel) {
  const DispatchQueue queue("tessary.concurrent", QualityOfService::userInteractive,
                            Kind::concurrent);
  // A worker that has gone idle must not keep a second worker from starting.
  std::promise<void> warmedUp;
  queue.async([&warmedUp] { warmedUp.set_value(); });
  warmedUp.get_future().wait();
  std::this_thread::sleep_for(20ms);
  std::mutex mutex;
  std::condition_variable changed;
  int arrived = 0;
  int metTheOther = 0;
  // Each block waits for the other: they can only both finish if they run at the same time.
  for (int block = 0; block < 2; ++block) {
    queue.async([&] {
      std::unique_lock lock(mutex);
      ++arrived;
      changed.notify_all();
      if (changed.wait_for(lock, kPatience, [&] { return arrived == 2; })) ++metTheOther;
      changed.notify_all();
    });
  }
  std::unique_lock lock(mutex);
  EXPECT_TRUE(changed.wait_for(lock, kPatience, [&] { return metTheOther == 2; }));
}

// Also the main queue, whose delayed blocks run when the host drains after their time.
TEST(DispatchQueueTest, DelayedBlocksRunInOrderOfTheirTimeAndNotBefore) {
  const DispatchQueue main = DispatchQueue::main();
  for (const DispatchQueue& queue :
       {DispatchQueue("tessary.delayed"),
        DispatchQueue("tessary.delayed", QualityOfService::background, Kind::concurrent), main}) {
    std::mutex mutex;
    std::vector<std::pair<int, DispatchQueue::Clock::duration>> ran;
    std::promise<void> allRan;
    const auto start = DispatchQueue::Clock::now();
    for (const int delay : {300, 100, 200}) {
      queue.asyncAfter(delay * 1ms, [&, delay] {
        const std::lock_guard lock(mutex);
        ran.emplace_back(delay, DispatchQueue::Clock::now() - start);
        if (ran.size() == 3) allRan.set_value();
      });
    }
    const auto done = allRan.get_future();
    if (queue == main) {
      main.runUntil([&] { return done.wait_for(0s) == std::future_status::ready; }, kPatience);
    }
    ASSERT_EQ(done.wait_for(kPatience), std::future_status::ready);
    const std::lock_guard lock(mutex);
    for (std::size_t i = 0; i < ran.size(); ++i) {
      EXPECT_EQ(ran[i].first, 100 * static_cast<int>(i + 1));
      EXPECT_GE(ran[i].second, ran[i].first * 1ms);
    }
  }
}

// Blocks submitted from many threads all run before the last reference to their queue is gone;
// timers still pending then are dropped with what they hold.
TEST(DispatchQueueTest, LastReferenceRunsSubmittedBlocksAndDropsPendingTimers) {
  std::atomic<int> ran = 0;
  auto timerCapture = std::make_shared<int>(0);
  {
    const DispatchQueue serial("tessary.many-serial");
    const DispatchQueue concurrent("tessary.many-concurrent", QualityOfService::utility,
                                   Kind::concurrent);
    std::vector<std::thread> submitters;
    for (int thread = 0; thread < 4; ++thread) {
      submitters.emplace_back([&] {
        for (int block = 0; block < 250; ++block) {
          serial.async([&ran] { ran.fetch_add(1); });
          concurrent.async([&ran] {
            std::this_thread::yield();
            ran.fetch_add(1);
          });
          if (block % 50 == 0) serial.sync([&ran] { ran.fetch_add(1); });
        }
      });
    }
    for (std::thread& submitter : submitters) submitter.join();
    for (const DispatchQueue& queue : {serial, concurrent}) {
      queue.asyncAfter(1h, [timerCapture] { ADD_FAILURE() << "a dropped timer ran"; });
    }
  }
  EXPECT_EQ(ran.load(), 4 * (500 + 5));
  EXPECT_EQ(timerCapture.use_count(), 1);
}

// The block holds the only reference once `queue` is gone; it is released as the block's
// captures are destroyed on the queue's own worker.
TEST(DispatchQueueTest, LastReferenceMayBeReleasedByTheQueuesOwnBlock) {
  auto holder = std::make_shared<std::promise<void>>();
  auto done = holder->get_future();
  std::promise<void> go;
  {
    auto queue = std::make_unique<DispatchQueue>("tessary.released-inside");
    queue->async([captured = *queue, goFuture = go.get_future().share(), holder] {
      goFuture.wait();
      holder->set_value();
    });
  }
  go.set_value();
  EXPECT_EQ(done.wait_for(kPatience), std::future_status::ready);
}

TEST(MainQueueTest, BlocksRunOnTheHostsThreadOnlyWhenItDrains) {
  const DispatchQueue main = DispatchQueue::main();
  main.drain();                  // leftovers of other tests
  std::vector<std::string> ran;  // protected by the main queue alone
  main.async([&] {
    EXPECT_TRUE(main.isCurrent());
    ran.push_back("first");
    main.async([&] { ran.push_back("submitted while draining"); });
  });
  std::this_thread::sleep_for(20ms);
  EXPECT_TRUE(ran.empty());
  main.drain();
  EXPECT_EQ(ran, std::vector<std::string>{"first"});
  main.drain();
  EXPECT_EQ(ran.back(), "submitted while draining");

  // From other threads: async blocks and a sync that waits for the blocks before it.
  const DispatchQueue background("tessary.background", QualityOfService::userInitiated,
                                 Kind::concurrent);
  const auto mainThread = std::this_thread::get_id();
  int onMainThread = 0;
  for (int request = 0; request < 20; ++request) {
    background.async([&] {
      main.async([&] { onMainThread += std::this_thread::get_id() == mainThread ? 1 : 0; });
    });
  }
  EXPECT_TRUE(main.runUntil([&] { return onMainThread == 20; }, kPatience));
  main.async([&] { ran.push_back("before sync"); });
  std::atomic<bool> syncReturned = false;
  std::thread worker([&] {
    main.sync([&] { ran.push_back("sync"); });
    syncReturned = true;
  });
  EXPECT_TRUE(main.runUntil([&] { return syncReturned.load(); }, kPatience));
  worker.join();
  EXPECT_EQ(std::vector(ran.end() - 2, ran.end()),
            (std::vector<std::string>{"before sync", "sync"}));
  EXPECT_FALSE(main.runUntil([] { return false; }, 30ms));
  EXPECT_FALSE(main.isCurrent());
}

TEST(DispatchQueueDeathTest, MisuseStopsTheProcessWithItsReason) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const DispatchQueue main = DispatchQueue::main();
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[] {
         const DispatchQueue queue("tessary.self");
         queue.sync([&] { queue.sync([] {}); });
       },
       "DispatchQueue.sync on queue \"tessary.self\""},
      {[] {
         const DispatchQueue outer("tessary.outer");
         const DispatchQueue inner("tessary.inner");
         outer.sync([&] { inner.sync([&] { outer.sync([] {}); }); });
       },
       "DispatchQueue.sync on queue \"tessary.outer\""},
      {[] {
         const DispatchQueue queue("tessary.async-self");
         queue.async([queue] { queue.sync([] {}); });
         std::this_thread::sleep_for(kPatience);
       },
       "DispatchQueue.sync on queue \"tessary.async-self\""},
      {[main] {
         main.async([main] { main.sync([] {}); });
         main.drain();
       },
       "DispatchQueue.sync on queue \"main\""},
      {[] { DispatchQueue("tessary.worker").drain(); }, "drain is only for the main"},
      {[main] {
         main.async([main] { main.drain(); });
         main.drain();
       },
       "drain called from a block of the main queue"},
  };
  for (const auto& [misuse, reason] : cases) EXPECT_DEATH(misuse(), "Fatal error: " + reason);
}

}  // namespace
}  // namespace tessary::platform
