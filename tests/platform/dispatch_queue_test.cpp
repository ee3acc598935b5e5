#include "tessary/platform/dispatch_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <semaphore>
#include <thread>
#include <utility>
#include <vector>

namespace tessary::platform {
namespace {

using namespace std::chrono_literals;
using QualityOfService = DispatchQueue::QualityOfService;
using Kind = DispatchQueue::Kind;

// A generous bound for waits on other threads, so a broken queue fails instead of hanging.
constexpr auto kPatience = 20s;

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
  std::promise<void> warmedUp;
  std::binary_semaphore arrived[2]{std::binary_semaphore(0), std::binary_semaphore(0)};
  std::counting_semaphore<2> metTheOther(0);
  // Declared last, so that it waits for its blocks before what they use is gone.
  const DispatchQueue queue("tessary.concurrent", QualityOfService::userInteractive,
                            Kind::concurrent);
  // A worker that has gone idle must not keep a second worker from starting.
  queue.async([&warmedUp] { warmedUp.set_value(); });
  warmedUp.get_future().wait();
  std::this_thread::sleep_for(20ms);
  // Each block waits for the other: they can only both go on if they run at the same time.
  for (int block = 0; block < 2; ++block) {
    queue.async([&, block] {
      arrived[block].release();
      if (arrived[1 - block].try_acquire_for(kPatience)) metTheOther.release();
    });
  }
  EXPECT_TRUE(metTheOther.try_acquire_for(kPatience) && metTheOther.try_acquire_for(kPatience));
}

// Also the main queue, whose delayed blocks run when the host drains after their time.
TEST(DispatchQueueTest, DelayedBlocksRunInOrderOfTheirTimeAndNotBefore) {
  const DispatchQueue main = DispatchQueue::main();
  for (const DispatchQueue& queue :
       {DispatchQueue("tessary.delayed"),
        DispatchQueue("tessary.delayed", QualityOfService::background, Kind::concurrent), main}) {
    std::atomic<int> next = 100;
    std::promise<void> allRan;
    const auto start = DispatchQueue::Clock::now();
    for (const int delay : {300, 100, 200}) {
      queue.asyncAfter(delay * 1ms, [&, delay] {
        EXPECT_GE(DispatchQueue::Clock::now() - start, delay * 1ms);
        EXPECT_EQ(next.fetch_add(100), delay);
        if (delay == 300) allRan.set_value();
      });
    }
    const auto done = allRan.get_future();
    if (queue == main) {
      main.runUntil([&] { return done.wait_for(0s) == std::future_status::ready; }, kPatience);
    }
    ASSERT_EQ(done.wait_for(kPatience), std::future_status::ready);
  }
}

// Blocks submitted from many threads all run before the last reference to their queue is gone,
// a serial queue's one at a time in the order each thread submitted them; timers still pending
// then are dropped with what they hold.
TEST(DispatchQueueTest, LastReferenceRunsSubmittedBlocksAndDropsPendingTimers) {
  std::atomic<int> ran = 0, inside = 0;
  std::vector<int> lastRun(4, -1);  // unguarded on purpose: only the serial queue protects it
  auto timerCapture = std::make_shared<int>(0);
  {
    const DispatchQueue serial("tessary.many-serial");
    const DispatchQueue concurrent("tessary.many-concurrent", QualityOfService::utility,
                                   Kind::concurrent);
    std::vector<std::thread> submitters;
    for (int thread = 0; thread < 4; ++thread) {
      submitters.emplace_back([&, thread] {
        for (int block = 0; block < 250; ++block) {
          serial.async([&, thread, block] {
            EXPECT_EQ(inside.fetch_add(1), 0);
            EXPECT_EQ(std::exchange(lastRun[thread], block), block - 1);
            inside.fetch_sub(1);
            ran.fetch_add(1);
          });
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
  EXPECT_EQ(lastRun, std::vector<int>(4, 249));
  EXPECT_EQ(timerCapture.use_count(), 1);
}

TEST(MainQueueTest, BlocksRunOnTheHostsThreadOnlyWhenItDrains) {
  const DispatchQueue main = DispatchQueue::main();
  main.drain();     // leftovers of other tests
  std::string ran;  // protected by the main queue alone
  main.async([&] {
    EXPECT_TRUE(main.isCurrent());
    ran += "a";
    main.async([&] { ran += "b"; });  // submitted while draining: runs at the next drain
  });
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(ran, "");
  main.drain();
  EXPECT_EQ(ran, "a");
  main.drain();
  EXPECT_EQ(ran, "ab");
  // From another thread: a sync that waits for the blocks before it, run while the host drains.
  main.async([&] { ran += "c"; });
  std::atomic<bool> syncReturned = false;
  std::thread worker([&] {
    main.sync([&] { ran += "d"; });
    syncReturned = true;
  });
  EXPECT_TRUE(main.runUntil([&] { return syncReturned.load(); }, kPatience));
  worker.join();
  EXPECT_EQ(ran, "abcd");
  EXPECT_FALSE(main.runUntil([] { return false; }, 30ms));
  EXPECT_FALSE(main.isCurrent());
}

TEST(DispatchQueueDeathTest, MisuseStopsTheProcessWithItsReason) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const DispatchQueue main = DispatchQueue::main();
  const std::pair<std::function<void()>, std::string> cases[] = {
      {[] {
         const DispatchQueue outer("tessary.outer"), inner("tessary.inner");
         outer.sync([&] { inner.sync([&] { outer.sync([] {}); }); });
       },
       "DispatchQueue.sync on queue \"tessary.outer\""},
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
