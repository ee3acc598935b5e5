#include "tessary/store/tessary_throttler.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "tessary/platform/dispatch_queue.h"
#include "tessary/platform/fatal_error.h"

namespace tessary::store {

namespace {

using platform::DispatchQueue;
using Clock = DispatchQueue::Clock;

// Rates below one action a day are taken as one a day, which keeps the interval within the
// clock's range.
constexpr double kLongestIntervalSeconds = 24.0 * 60.0 * 60.0;

Clock::duration intervalFor(double actionsPerSecond) {
  const double seconds = std::min(1.0 / actionsPerSecond, kLongestIntervalSeconds);
  return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

}  // namespace

// What the throttler's queue works on. Its blocks hold it only weakly and only while they take
// the waiting action, never while an action runs.
struct TessaryThrottler::State {
  explicit State(double actionsPerSecond) : interval(intervalFor(actionsPerSecond)) {}

  // Asks the queue to start the waiting action once the next slot opens.
  static void scheduleLocked(const std::shared_ptr<State>& state, Clock::time_point now) {
    const Clock::duration delay =
        state->lastStart
            ? std::max(Clock::duration::zero(), *state->lastStart + state->interval - now)
            : Clock::duration::zero();
    state->queue.asyncAfter(
        delay, [weakState = std::weak_ptr<State>(state)] { startWaitingAction(weakState); });
  }

  static void startWaitingAction(const std::weak_ptr<State>& weakState) {
    std::function<void()> action;
    {
      const std::shared_ptr<State> state = weakState.lock();
      if (!state) return;
      const std::lock_guard lock(state->mutex);
      if (state->closed) return;
      const Clock::time_point now = Clock::now();
      if (state->lastStart && now < *state->lastStart + state->interval) {
        scheduleLocked(state, now);
        return;
      }
      action = std::exchange(state->waiting, nullptr);
      state->scheduled = false;
      state->lastStart = now;
    }
    action();
  }

  const Clock::duration interval;
  std::mutex mutex;
  std::function<void()> waiting;
  bool scheduled = false;  // a start of the waiting action is on the queue
  bool closed = false;     // every copy of the throttler is gone
  std::optional<Clock::time_point> lastStart;
  const DispatchQueue queue{"tessary.throttler", DispatchQueue::QualityOfService::userInteractive};
};

// Shared by the copies of the throttler: the last one closes the state.
struct TessaryThrottler::Owner {
  explicit Owner(double actionsPerSecond) : state(std::make_shared<State>(actionsPerSecond)) {}
  ~Owner() {
    std::function<void()> dropped;
    {
      const std::lock_guard lock(state->mutex);
      state->closed = true;
      dropped = std::exchange(state->waiting, nullptr);
    }
    // Waits for an action that is running, unless this is that action releasing the last copy.
    if (!state->queue.isCurrent()) state->queue.sync([] {});
  }
  Owner(const Owner&) = delete;
  Owner& operator=(const Owner&) = delete;

  const std::shared_ptr<State> state;
};

TessaryThrottler::TessaryThrottler(double actionsPerSecond) {
  if (!(actionsPerSecond > 0.0)) {
    platform::fatalError("TessaryThrottler needs a positive number of actions per second, not " +
                         std::to_string(actionsPerSecond));
  }
  owner_ = std::make_shared<Owner>(actionsPerSecond);
}

void TessaryThrottler::run(std::function<void()> action) const {
  const std::shared_ptr<State>& state = owner_->state;
  std::function<void()> replaced;
  {
    const std::lock_guard lock(state->mutex);
    replaced = std::exchange(state->waiting, std::move(action));
    if (!state->scheduled) {
      state->scheduled = true;
      State::scheduleLocked(state, Clock::now());
    }
  }
  // The replaced action never runs; its captures go here, outside the lock, since they may hold
  // anything.
}

}  // namespace tessary::store
