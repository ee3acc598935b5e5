#include "tessary/platform/dispatch_queue.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "tessary/platform/fatal_error.h"

namespace tessary::platform {

namespace {

// How long `runUntil` waits at most before asking its predicate again.
constexpr auto kPredicatePollInterval = std::chrono::milliseconds(10);

}  // namespace

struct DispatchQueue::Core {
  // A waiting block, or the turn of a `sync` caller (then `syncTurnReached` is set and `block`
  // is empty): when the turn comes, the queue is handed to the caller instead of running a block.
  struct Item {
    Block block;
    bool* syncTurnReached = nullptr;
  };
  struct Timer {
    Clock::time_point due;
    std::uint64_t sequence = 0;  // keeps timers with the same due time in submission order
    Block block;
  };
  static bool laterTimer(const Timer& left, const Timer& right) {
    return left.due != right.due ? left.due > right.due : left.sequence > right.sequence;
  }

  Core(std::string label, QualityOfService qualityOfService, Kind kind, bool isMain)
      : label(std::move(label)), qualityOfService(qualityOfService), kind(kind), isMain(isMain) {}

  bool runsOneAtATime() const { return kind == Kind::serial || isMain; }

  // Moves the timers whose time has come behind the waiting blocks.
  void promoteDueTimersLocked(Clock::time_point now) {
    while (!timers.empty() && timers.front().due <= now) {
      std::pop_heap(timers.begin(), timers.end(), laterTimer);
      ready.push_back(Item{std::move(timers.back().block)});
      timers.pop_back();
    }
  }

  bool canStartLocked() const { return !ready.empty() && (!runsOneAtATime() || running == 0); }

  // Takes the next item; returns its block, or nothing when the item was a `sync` caller's turn
  // (the caller now holds the queue). Either way the queue counts one more running.
  std::optional<Block> startNextLocked() {
    Item item = std::move(ready.front());
    ready.pop_front();
    ++running;
    if (item.syncTurnReached != nullptr) {
      *item.syncTurnReached = true;
      changed.notify_all();
      return std::nullopt;
    }
    return std::move(item.block);
  }

  void finishedLocked() {
    --running;
    if (runsOneAtATime()) changed.notify_all();
  }

  // Starts a worker when the waiting work needs one: a serial queue has one, a concurrent queue
  // one more while its waiting blocks outnumber its idle workers. Never for the main queue.
  void ensureWorkerLocked(const std::shared_ptr<Core>& self) {
    if (isMain || closing) return;
    const std::size_t limit =
        kind == Kind::serial ? 1 : std::max<std::size_t>(2, std::thread::hardware_concurrency());
    const bool needed = workers.empty() || ready.size() > idleWorkers;
    if (!needed || workers.size() >= limit) return;
    workers.emplace_back([self] { self->workerLoop(); });
  }

  void workerLoop();

  const std::string label;
  const QualityOfService qualityOfService;
  const Kind kind;
  const bool isMain;

  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Item> ready;
  std::vector<Timer> timers;  // a heap, earliest due first
  std::uint64_t nextTimerSequence = 0;
  std::size_t running = 0;  // blocks running now, `sync` callers holding the queue included
  std::size_t idleWorkers = 0;
  std::vector<std::thread> workers;
  bool closing = false;
};

namespace {

// The queues whose blocks the calling thread is running, innermost first, linked through the
// stack frames that hold them.
struct HeldQueue {
  const void* core;
  const HeldQueue* outer;
};
thread_local const HeldQueue* innermostHeldQueue = nullptr;

class HoldingQueue {
 public:
  explicit HoldingQueue(const void* core) : held_{core, innermostHeldQueue} {
    innermostHeldQueue = &held_;
  }
  ~HoldingQueue() { innermostHeldQueue = held_.outer; }
  HoldingQueue(const HoldingQueue&) = delete;
  HoldingQueue& operator=(const HoldingQueue&) = delete;

 private:
  HeldQueue held_;
};

bool isHeldByThisThread(const void* core) {
  for (const HeldQueue* held = innermostHeldQueue; held != nullptr; held = held->outer) {
    if (held->core == core) return true;
  }
  return false;
}

void runHolding(const void* core, const DispatchQueue::Block& block) {
  const HoldingQueue holding(core);
  block();
}

}  // namespace

void DispatchQueue::Core::workerLoop() {
  std::unique_lock lock(mutex);
  for (;;) {
    promoteDueTimersLocked(Clock::now());
    if (canStartLocked()) {
      std::optional<Block> block = startNextLocked();
      if (!block) continue;
      lock.unlock();
      runHolding(this, *block);
      block.reset();  // the block's captures go outside the lock: they may hold queues
      lock.lock();
      finishedLocked();
      continue;
    }
    if (closing && ready.empty()) return;
    ++idleWorkers;
    if (timers.empty()) {
      changed.wait(lock);
    } else {
      const Clock::time_point earliestDue = timers.front().due;  // the heap may move meanwhile
      changed.wait_until(lock, earliestDue);
    }
    --idleWorkers;
  }
}

// The last reference of a queue: closes it and waits for its workers.
struct DispatchQueue::Owner {
  explicit Owner(std::shared_ptr<Core> core) : core(std::move(core)) {}
  ~Owner() {
    std::vector<Core::Timer> droppedTimers;
    std::vector<std::thread> workers;
    {
      const std::lock_guard lock(core->mutex);
      core->closing = true;
      droppedTimers = std::move(core->timers);
      core->timers.clear();
      workers = std::move(core->workers);
      core->workers.clear();
    }
    core->changed.notify_all();
    droppedTimers.clear();
    for (std::thread& worker : workers) {
      if (worker.get_id() == std::this_thread::get_id()) {
        worker.detach();  // released by its own block; the worker keeps the core and ends next
      } else {
        worker.join();
      }
    }
  }
  Owner(const Owner&) = delete;
  Owner& operator=(const Owner&) = delete;

  const std::shared_ptr<Core> core;
};

DispatchQueue::DispatchQueue(std::string label, QualityOfService qualityOfService, Kind kind)
    : owner_(std::make_shared<Owner>(
          std::make_shared<Core>(std::move(label), qualityOfService, kind, false))) {}

DispatchQueue::DispatchQueue(std::shared_ptr<Owner> owner) : owner_(std::move(owner)) {}

DispatchQueue DispatchQueue::main() {
  static const DispatchQueue* const mainQueue = new DispatchQueue(std::make_shared<Owner>(
      std::make_shared<Core>("main", QualityOfService::userInteractive, Kind::serial, true)));
  return *mainQueue;
}

DispatchQueue::Core& DispatchQueue::core() const {
  return *owner_->core;
}

const std::string& DispatchQueue::label() const {
  return core().label;
}

DispatchQueue::QualityOfService DispatchQueue::qualityOfService() const {
  return core().qualityOfService;
}

DispatchQueue::Kind DispatchQueue::kind() const {
  return core().kind;
}

bool DispatchQueue::isCurrent() const {
  return isHeldByThisThread(&core());
}

void DispatchQueue::async(Block block) const {
  Core& queue = core();
  const std::lock_guard lock(queue.mutex);
  queue.ready.push_back(Core::Item{std::move(block)});
  queue.ensureWorkerLocked(owner_->core);
  if (queue.runsOneAtATime()) {
    queue.changed.notify_all();  // sync callers wait on the same condition
  } else {
    queue.changed.notify_one();
  }
}

void DispatchQueue::asyncAfter(Clock::duration delay, Block block) const {
  if (delay <= Clock::duration::zero()) return async(std::move(block));
  Core& queue = core();
  const std::lock_guard lock(queue.mutex);
  queue.timers.push_back(
      Core::Timer{Clock::now() + delay, queue.nextTimerSequence++, std::move(block)});
  std::push_heap(queue.timers.begin(), queue.timers.end(), Core::laterTimer);
  queue.ensureWorkerLocked(owner_->core);
  queue.changed.notify_all();  // a waiting worker may have to wake earlier now
}

void DispatchQueue::runSynchronously(const Block& block) const {
  Core& queue = core();
  if (!queue.runsOneAtATime()) return runHolding(&queue, block);
  if (isHeldByThisThread(&queue)) {
    fatalError("DispatchQueue.sync on queue \"" + queue.label +
               "\" from a block it is running would wait for itself");
  }
  {
    std::unique_lock lock(queue.mutex);
    if (queue.running == 0 && queue.ready.empty()) {
      ++queue.running;
    } else {
      bool turnReached = false;
      queue.ready.push_back(Core::Item{nullptr, &turnReached});
      queue.ensureWorkerLocked(owner_->core);
      queue.changed.notify_all();
      queue.changed.wait(lock, [&turnReached] { return turnReached; });
    }
  }
  struct Release {
    Core& queue;
    ~Release() {
      const std::lock_guard lock(queue.mutex);
      queue.finishedLocked();
    }
  } release{queue};
  runHolding(&queue, block);
}

void DispatchQueue::drain() const {
  Core& queue = core();
  if (!queue.isMain) fatalError("drain is only for the main queue, not \"" + queue.label + "\"");
  if (isHeldByThisThread(&queue)) fatalError("drain called from a block of the main queue");
  std::unique_lock lock(queue.mutex);
  queue.promoteDueTimersLocked(Clock::now());
  for (std::size_t waiting = queue.ready.size(); waiting > 0; --waiting) {
    queue.changed.wait(lock, [&queue] { return queue.running == 0; });
    if (queue.ready.empty()) return;  // another thread drained them meanwhile
    std::optional<Block> block = queue.startNextLocked();
    if (!block) continue;
    lock.unlock();
    runHolding(&queue, *block);
    block.reset();
    lock.lock();
    queue.finishedLocked();
  }
}

bool DispatchQueue::runUntil(const std::function<bool()>& done, Clock::duration timeout) const {
  Core& queue = core();
  if (!queue.isMain) fatalError("runUntil is only for the main queue, not \"" + queue.label + "\"");
  const Clock::time_point deadline = Clock::now() + timeout;
  for (;;) {
    drain();
    if (done()) return true;
    const Clock::time_point now = Clock::now();
    if (now >= deadline) return false;
    std::unique_lock lock(queue.mutex);
    Clock::time_point wakeUp = std::min(deadline, now + kPredicatePollInterval);
    if (!queue.timers.empty()) wakeUp = std::min(wakeUp, queue.timers.front().due);
    queue.changed.wait_until(lock, wakeUp, [&queue] { return !queue.ready.empty(); });
  }
}

}  // namespace tessary::platform
