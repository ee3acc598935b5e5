#include "event_hub.h"

#include <algorithm>

namespace tessary::tool {

namespace {

// A page that stops reading loses its oldest messages rather than the server's memory.
constexpr std::size_t kMaxWaitingMessages = 256;

}  // namespace

std::shared_ptr<EventHub::Subscription> EventHub::subscribe() {
  auto subscription = std::make_shared<Subscription>();
  std::lock_guard lock(mutex_);
  for (const auto& [event, message] : latest_) subscription->messages_.push_back(message);
  std::erase_if(subscriptions_, [](const auto& weak) { return weak.expired(); });
  subscriptions_.push_back(subscription);
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
  if (subscription.messages_.empty()) return std::nullopt;
  std::string message = std::move(subscription.messages_.front());
  subscription.messages_.pop_front();
  return message;
}

}  // namespace tessary::tool
