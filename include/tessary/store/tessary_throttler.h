#pragma once

#include <functional>
#include <memory>

namespace tessary::store {

// Lets at most `actionsPerSecond` actions start per second, keeping only the latest request when
// they come faster: a slider dragged quickly ends on its final value and skips the values in
// between. Copies share one throttler.
//
// An action given while a slot is free starts at once; otherwise it waits for the next slot and
// replaces the action waiting there, which is destroyed without running. Every action that runs,
// runs exactly once. Actions run one at a time on the throttler's own background serial queue
// ("tessary.throttler") and should be short, typically handing real work to another queue; the
// starts of two actions are always at least 1 / `actionsPerSecond` seconds apart.
//
// `run` may be called from any thread, also from inside an action. When the last copy goes, the
// action still waiting is dropped and an action that is running is waited for (unless the last
// copy goes inside that action).
class TessaryThrottler {
 public:
  // `actionsPerSecond` must be above zero; infinity means no limit.
  explicit TessaryThrottler(double actionsPerSecond);

  void run(std::function<void()> action) const;

 private:
  struct State;
  struct Owner;
  std::shared_ptr<Owner> owner_;
};

}  // namespace tessary::store
