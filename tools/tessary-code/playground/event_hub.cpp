#include "event_hub.h"

#include <algorithm>
#include <string_view>

namespace tessary::tool {

namespace {

// A page that stops reading loses its oldest messages rather than the server's memory.
constexpr std::size_t kMaxWaitingMessages = 256;
// Each page holds a connection and a thread while it follows the events; past this many, the page
// that has followed longest is let go (told why, so that it stops reconnecting), since a new page
// is most likely the one a person is looking at.
constexpr std::size_t kMaxSubscriptions = 8;
constexpr std::string_view kLetGoMessage =
    "event: closed\ndata: {\"message\": \"This page no longer shows changes: the playground is "
    "open in too many pages. Reload to follow it here again.\"}\n\n";

}  // namespace

std::shared_ptr<EventHub::Subscription> EventHub::subscribe() {
  auto subscription = std::make_shared<Subscription>();
  std::lock_guard lock(mutex_);
  for (const auto& [event, message] : latest_) subscription->messages_.push_back(message);
  std::erase_if(subscriptions_, [](const auto& weak) { return weak.expired(); });
  if (subscriptions_.size() >= kMaxSubscriptions) {
    if (const auto oldest = subscriptions_.front().lock()) {
      oldest->messages_.assign(1, std::string(kLetGoMessage));
      oldest->ending_ = true;
    }
    subscriptions_.erase(subscriptions_.begin());
  }
  subscriptions_.push_back(subscription);
  changed_.notify_all();
  return subscription;
}

void EventHub::publish(const std::string& event, const std::string& data) {
  const std::string message = "event: " + event + "\ndata: " + data + "\n\n";
  {
    std::lock_guard lock(mutex_);
    latest_[event] = message;
    for (const auto& weak : subscriptions_) {
      if (const auto subscription = weak.lock()) {
        subscription->messages_.push_back(message);
        if (subscription->messages_.size() > kMaxWaitingMessages) {
          subscription->messages_.pop_front();
        }
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

std::optional<std::string> EventHub::next(Subscription& subscription,
                                          std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, timeout, [&] { return closed_ || !subscription.messages_.empty(); });
  if (closed_) return std::string();
  if (subscription.messages_.empty()) {
    if (subscription.ending_) return std::string();
    return std::nullopt;
  }
  std::string message = std::move(subscription.messages_.front());
  subscription.messages_.pop_front();
  return message;
}

}  // namespace tessary::tool
