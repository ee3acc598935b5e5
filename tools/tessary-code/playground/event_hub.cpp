#include "event_hub.h"

#include <algorithm>

namespace tessary::tool {

namespace {

// Changes are small, so a page with this much unread has stopped reading; a snapshot is then
// cheaper to keep than its queue.
constexpr std::size_t kMaxWaitingBytes = 1024 * 1024;
// Each page holds a connection and a thread while it follows the events; past this many, the page
// that has followed longest is let go (told why, so that it stops reconnecting), since a new page
// is most likely the one a person is looking at.
constexpr std::size_t kMaxSubscriptions = 8;
constexpr std::string_view kLetGoMessage =
    "event: closed\ndata: {\"message\": \"This page no longer shows changes: the playground is "
    "open in too many pages. Reload to follow it here again.\"}\n\n";

}  // namespace

std::string EventHub::message(std::string_view event, std::string_view data) {
  std::string message = "event: ";
  message.reserve(event.size() + data.size() + 16);
  message.append(event).append("\ndata: ").append(data).append("\n\n");
  return message;
}

std::shared_ptr<EventHub::Subscription> EventHub::subscribe() {
  auto subscription = std::make_shared<Subscription>();
  std::lock_guard lock(mutex_);
  std::erase_if(subscriptions_, [](const auto& weak) { return weak.expired(); });
  if (subscriptions_.size() >= kMaxSubscriptions) {
    if (const auto oldest = subscriptions_.front().lock()) {
      oldest->messages_.assign(1, std::string(kLetGoMessage));
      oldest->behind_ = false;
      oldest->ending_ = true;
    }
    subscriptions_.erase(subscriptions_.begin());
  }
  subscriptions_.push_back(subscription);
  changed_.notify_all();
  return subscription;
}

void EventHub::publish(std::string_view event, std::string_view data) {
  const std::string change = message(event, data);
  {
    std::lock_guard lock(mutex_);
    for (const auto& weak : subscriptions_) {
      const auto subscription = weak.lock();
      if (!subscription || subscription->behind_ || subscription->ending_) continue;
      subscription->messages_.push_back(change);
      subscription->waitingBytes_ += change.size();
      if (subscription->waitingBytes_ > kMaxWaitingBytes) {
        subscription->messages_.clear();
        subscription->waitingBytes_ = 0;
        subscription->behind_ = true;
      }
    }
  }
  changed_.notify_all();
}

void EventHub::close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  changed_.notify_all();
}

bool EventHub::isClosed() {
  std::lock_guard lock(mutex_);
  return closed_;
}

bool EventHub::isBehind(Subscription& subscription) {
  std::lock_guard lock(mutex_);
  return subscription.behind_ && !closed_;
}

void EventHub::catchUp(Subscription& subscription) {
  std::lock_guard lock(mutex_);
  if (subscription.ending_) return;
  subscription.messages_.clear();
  subscription.waitingBytes_ = 0;
  subscription.behind_ = false;
}

std::optional<std::string> EventHub::next(Subscription& subscription,
                                          std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, timeout, [&] {
    return closed_ || subscription.behind_ || !subscription.messages_.empty();
  });
  if (closed_) return std::string();
  if (subscription.messages_.empty()) {
    if (subscription.ending_) return std::string();
    return std::nullopt;
  }
  std::string message = std::move(subscription.messages_.front());
  subscription.messages_.pop_front();
  subscription.waitingBytes_ -= message.size();
  return message;
}

}  // namespace tessary::tool
