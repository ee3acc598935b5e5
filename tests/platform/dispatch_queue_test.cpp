#include "tessary/platform/dispatch_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
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

TEST(DispatchQueueTest, CopiesShareOneQueue) {
  const DispatchQueue queue("tessary.test", QualityOfService::utility, Kind::concurrent);
  const DispatchQueue copy = queue;  // NOLINT(performance-unnecessary-copy-initialization)
  EXPECT_EQ(copy, queue);
  EXPECT_FALSE(DispatchQueue("tessary.test") == queue);
  EXPECT_EQ(copy.label(), "tessary.test");
  EXPECT_EQ(copy.qualityOfService(), QualityOfService::utility);
  EXPECT_EQ(copy.kind(), Kind::concurrent);
  EXPECT_EQ(DispatchQueue("plain").kind(), Kind::serial);
  EXPECT_EQ(DispatchQueue::main(), DispatchQueue::main());
}

TEST(DispatchQueueTest, SerialQueueRunsOneBlockAtATimeInOrder) {
  const DispatchQueue queue("tessary.serial");
  std::vector<int> order;  // unguarded on purpose: only the queue's serial order protects it
  std::atomic<int> inside = 0;
  std::atomic<bool> overlapped = false;
  for (int index = 0; index < 300; ++index) {
    queue.async([&, index] {
      if (inside.fetch_add(1) != 0) overlapped = true;
      order.push_back(index);
      inside.fetch_sub(1);
    });
  }
  const std::size_t seenBySync = queue.sync([&] { return order.size(); });
  EXPECT_EQ(seenBySync, 300u);
  EXPECT_FALSE(overlapped);
  for (int index = 0; index < 300; ++index) ASSERT_EQ(order[index], index);
}

TEST(DispatchQueueTest, SyncRunsOnTheCallingThreadHoldingTheQueue) {
  for (const Kind kind : {Kind::serial, Kind::concurrent}) {
    const DispatchQueue queue("tessary.sync", QualityOfService::unspecified, kind);
    const DispatchQueue other("tessary.other");
    EXPECT_FALSE(queue.isCurrent());
    const auto caller = std::this_thread::get_id();
    const bool ranHere = queue.sync([&] {
      EXPECT_TRUE(queue.isCurrent());
      EXPECT_FALSE(other.isCurrent());
      other.sync([&] { EXPECT_TRUE(queue.isCurrent() && other.isCurrent()); });
      return std::this_thread::get_id() == caller;
    });
    EXPECT_TRUE(ranHere);
    EXPECT_FALSE(queue.isCurrent());
  }
}

TEST(DispatchQueueTest, SyncPassesExceptionsAndReleasesTheQueue) {
  const DispatchQueue queue("tessary.throwing");
  EXPECT_THROW(queue.sync([] { throw std::runtime_error("boom"); }), std::runtime_error);
  EXPECT_EQ(queue.sync([] { return 7; }), 7);
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
  changed.wait_for(lock, kPatience, [&] { return metTheOther == 2; });
  EXPECT_EQ(metTheOther, 2);
}

TEST(DispatchQueueTest, DelayedBlocksRunInOrderOfTheirTimeAndNotBefore) {
  for (const Kind kind : {Kind::serial, Kind::concurrent}) {
    const DispatchQueue queue("tessary.delayed", QualityOfService::background, kind);
    std::mutex mutex;
    std::vector<int> order;
    std::promise<void> allRan;
    const auto start = DispatchQueue::Clock::now();
    std::vector<DispatchQueue::Clock::duration> waited(3);
    const auto record = [&](int delayIndex) {
      const std::lock_guard lock(mutex);
      waited[delayIndex] = DispatchQueue::Clock::now() - start;
      order.push_back(delayIndex);
      if (order.size() == 3) allRan.set_value();
    };
    queue.asyncAfter(600ms, [&] { record(2); });
    queue.asyncAfter(200ms, [&] { record(0); });
    queue.asyncAfter(400ms, [&] { record(1); });
    ASSERT_EQ(allRan.get_future().wait_for(kPatience), std::future_status::ready);
    const std::lock_guard lock(mutex);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_GE(waited[0], 200ms);
    EXPECT_GE(waited[2], 600ms);
  }
}

TEST(DispatchQueueTest, LastReferenceRunsSubmittedBlocksAndDropsPendingTimers) {
  for (const Kind kind : {Kind::serial, Kind::concurrent}) {
    std::atomic<int> ran = 0;
    auto timerCapture = std::make_shared<int>(0);
    bool timerRan = false;
    {
      const DispatchQueue queue("tessary.closing", QualityOfService::default_, kind);
      for (int block = 0; block < 100; ++block) {
        queue.async([&ran] {
          std::this_thread::yield();
          ran.fetch_add(1);
        });
      }
      queue.asyncAfter(1h, [&timerRan, timerCapture] { timerRan = true; });
    }
    EXPECT_EQ(ran.load(), 100);
    EXPECT_FALSE(timerRan);
    EXPECT_EQ(timerCapture.use_count(), 1);  // the dropped block released what it held
  }
}

TEST(DispatchQueueTest, LastReferenceMayBeReleasedByTheQueuesOwnBlock) {
  std::promise<void> released;
  {
    const DispatchQueue queue("tessary.self-released");
    queue.async([copy = std::make_shared<DispatchQueue>(queue), &released]() mutable {
      copy.reset();  // not the last reference yet: the outer one may still exist
      released.set_value();
    });
  }
  EXPECT_EQ(released.get_future().wait_for(kPatience), std::future_status::ready);

  auto holder = std::make_shared<std::promise<void>>();
  auto done = holder->get_future();
  {
    auto queue = std::make_unique<DispatchQueue>("tessary.released-inside");
    // The block holds the only reference once `queue` is gone; it is released as the block's
    // captures are destroyed on the queue's own worker.
    std::promise<void> go;
    auto goFuture = go.get_future().share();
    queue->async([captured = *queue, goFuture, holder] {
      goFuture.wait();
      holder->set_value();
    });
    queue.reset();
    go.set_value();
  }
  EXPECT_EQ(done.wait_for(kPatience), std::future_status::ready);
}

TEST(DispatchQueueTest, BlocksFromManyThreadsAllRun) {
  std::atomic<int> ran = 0;
  {
    const DispatchQueue serial("tessary.many-serial");
    const DispatchQueue concurrent("tessary.many-concurrent", QualityOfService::utility,
                                   Kind::concurrent);
    std::vector<std::thread> submitters;
    for (int thread = 0; thread < 4; ++thread) {
      submitters.emplace_back([&] {
        for (int block = 0; block < 250; ++block) {
          serial.async([&ran] { ran.fetch_add(1); });
          concurrent.async([&ran] { ran.fetch_add(1); });
          if (block % 50 == 0) serial.sync([&ran] { ran.fetch_add(1); });
        }
      });
    }
    for (std::thread& submitter : submitters) submitter.join();
  }
  EXPECT_EQ(ran.load(), 4 * (500 + 5));
}

TEST(MainQueueTest, BlocksRunOnlyWhenTheHostDrains) {
  const DispatchQueue main = DispatchQueue::main();
  main.drain();  // leftovers of other tests
  std::vector<std::string> ran;
  main.async([&] {
    EXPECT_TRUE(main.isCurrent());
    ran.push_back("first");
    main.async([&] { ran.push_back("submitted while draining"); });
  });
  main.asyncAfter(1h, [&] { ran.push_back("far future"); });
  std::this_thread::sleep_for(20ms);
  EXPECT_TRUE(ran.empty());
  main.drain();
  EXPECT_EQ(ran, std::vector<std::string>{"first"});
  main.drain();
  EXPECT_EQ(ran, (std::vector<std::string>{"first", "submitted while draining"}));
  EXPECT_FALSE(main.isCurrent());
}

TEST(MainQueueTest, RunUntilRunsBlocksFromOtherThreadsOnTheCallingThread) {
  const DispatchQueue main = DispatchQueue::main();
  const DispatchQueue background("tessary.background", QualityOfService::userInitiated,
                                 Kind::concurrent);
  const auto mainThread = std::this_thread::get_id();
  std::atomic<int> onMainThread = 0;
  int completions = 0;
  for (int request = 0; request < 20; ++request) {
    background.async([&] {
      main.async([&] {
        if (std::this_thread::get_id() == mainThread) onMainThread.fetch_add(1);
        ++completions;
      });
    });
  }
  EXPECT_TRUE(main.runUntil([&] { return completions == 20; }, kPatience));
  EXPECT_EQ(onMainThread.load(), 20);
  EXPECT_FALSE(main.runUntil([] { return false; }, 30ms));
}

TEST(MainQueueTest, SyncFromAnotherThreadWaitsForEarlierMainBlocks) {
  const DispatchQueue main = DispatchQueue::main();
  main.drain();
  std::vector<int> order;  // protected by the main queue alone
  main.async([&] { order.push_back(1); });
  std::atomic<bool> syncReturned = false;
  std::thread worker([&] {
    main.sync([&] { order.push_back(2); });
    syncReturned = true;
  });
  EXPECT_TRUE(main.runUntil([&] { return syncReturned.load(); }, kPatience));
  worker.join();
  main.drain();
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(MainQueueTest, DelayedBlocksRunOnceTheirTimeHasCome) {
  const DispatchQueue main = DispatchQueue::main();
  bool ran = false;
  main.asyncAfter(50ms, [&] { ran = true; });
  main.drain();
  EXPECT_TRUE(main.runUntil([&] { return ran; }, kPatience));
}

TEST(DispatchQueueDeathTest, SyncThatWouldWaitForItselfStopsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        const DispatchQueue queue("tessary.self");
        queue.sync([&] { queue.sync([] {}); });
      },
      "Fatal error: DispatchQueue.sync on queue \"tessary.self\"");
  EXPECT_DEATH(
      {
        const DispatchQueue outer("tessary.outer");
        const DispatchQueue inner("tessary.inner");
        outer.sync([&] { inner.sync([&] { outer.sync([] {}); }); });
      },
      "Fatal error: DispatchQueue.sync on queue \"tessary.outer\"");
  EXPECT_DEATH(
      {
        const DispatchQueue queue("tessary.async-self");
        queue.async([queue] { queue.sync([] {}); });
        std::this_thread::sleep_for(kPatience);
      },
      "Fatal error: DispatchQueue.sync on queue \"tessary.async-self\"");
  EXPECT_DEATH(
      {
        const DispatchQueue main = DispatchQueue::main();
        main.async([main] { main.sync([] {}); });
        main.drain();
      },
      "Fatal error: DispatchQueue.sync on queue \"main\"");
}

TEST(DispatchQueueDeathTest, DrainingIsOnlyForTheMainQueue) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(DispatchQueue("tessary.worker").drain(), "Fatal error: drain is only for the main");
  EXPECT_DEATH(
      {
        const DispatchQueue main = DispatchQueue::main();
        main.async([main] { main.drain(); });
        main.drain();
      },
      "Fatal error: drain called from a block of the main queue");
}

}  // namespace
}  // namespace tessary::platform
