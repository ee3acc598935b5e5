#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

namespace tessary::platform {

// A queue of blocks run by threads of its own, modelled on the platform dispatch queues the
// component was designed against. Copies are references to the same queue.
//
// A serial queue runs one block at a time, in the order submitted, on one worker thread. A
// concurrent queue runs its blocks in parallel on a small pool of worker threads (at most the
// number of hardware threads, at least two), started as work arrives. Blocks must not throw.
//
// `sync` runs its block on the calling thread, as the platform queues do: on a serial queue (and
// on the main queue) once every block submitted before it has finished, with the queue running
// nothing else meanwhile; on a concurrent queue at once. A `sync` on a serial queue from inside
// one of its own blocks (directly or through a nested `sync` on the same thread) would wait for
// itself and stops the process instead.
//
// When the last reference goes, the queue runs the blocks already submitted, then its threads
// end; that last release waits for them (from one of the queue's own blocks it cannot, and that
// worker ends on its own right after). Blocks waiting in `asyncAfter` whose time has not come are
// dropped without running.
//
// The main queue has no thread: its blocks run only inside `drain` or `runUntil`, on the thread
// that calls them, which is the host's main thread.
class DispatchQueue {
 public:
  // Recorded and reported only: the worker threads all run at the process's own priority.
  // `default_` is the platform's "default" level; the underscore avoids the keyword.
  enum class QualityOfService {
    userInteractive,
    userInitiated,
    default_,
    utility,
    background,
    unspecified
  };
  enum class Kind { serial, concurrent };

  using Block = std::function<void()>;
  using Clock = std::chrono::steady_clock;

  explicit DispatchQueue(std::string label,
                         QualityOfService qualityOfService = QualityOfService::unspecified,
                         Kind kind = Kind::serial);

  // The process-wide main queue, drained by the host. The one piece of process-wide state of the
  // platform layer: it is made on first use and never destroyed, since blocks may be submitted to
  // it from any thread until the process ends.
  static DispatchQueue main();

  const std::string& label() const;
  QualityOfService qualityOfService() const;
  Kind kind() const;

  // True while the calling thread runs a block of this queue (or holds it in `sync`).
  bool isCurrent() const;

  void async(Block block) const;
  void asyncAfter(Clock::duration delay, Block block) const;

  // Runs `work` as described above and returns what it returns; exceptions pass to the caller.
  template <typename Work>
  std::invoke_result_t<Work&> sync(Work&& work) const {
    using Result = std::invoke_result_t<Work&>;
    if constexpr (std::is_void_v<Result>) {
      runSynchronously([&work] { work(); });
    } else {
      static_assert(!std::is_reference_v<Result>, "sync returns values, not references");
      std::optional<Result> result;
      runSynchronously([&work, &result] { result.emplace(work()); });
      return std::move(*result);
    }
  }

  // Main queue only (any other queue stops the process): runs, on the calling thread, every block
  // that is waiting now, including delayed blocks whose time has come. Blocks they submit run on
  // the next drain. Must not be called from a block of the main queue.
  void drain() const;

  // Main queue only: drains, and waits for more blocks, until `done` returns true (then true) or
  // `timeout` has passed (then false). `done` is asked after every drain and, when it may depend
  // on other threads, at least every few milliseconds.
  bool runUntil(const std::function<bool()>& done, Clock::duration timeout) const;

  // Copies of one queue are equal; two queues made separately are not, whatever their labels.
  bool operator==(const DispatchQueue& other) const { return owner_ == other.owner_; }

 private:
  struct Core;
  struct Owner;
  explicit DispatchQueue(std::shared_ptr<Owner> owner);
  void runSynchronously(const Block& block) const;
  Core& core() const;

  std::shared_ptr<Owner> owner_;
};

}  // namespace tessary::platform
