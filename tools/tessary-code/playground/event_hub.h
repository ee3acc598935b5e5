#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tessary::tool {

// Server-sent events for every open page. The host thread publishes; each page's connection
// waits on its own thread for the next message. A new page first gets the latest message of
// every event name, so it shows the current state at once. Only so many pages are followed at
// once; a new one lets the oldest go.
class EventHub {
 public:
  class Subscription;

  std::shared_ptr<Subscription> subscribe();
  // `data` is one line (compact JSON).
  void publish(const std::string& event, const std::string& data);
  // Wakes every waiting connection and makes them end.
  void close();

  // The next message for `subscription` in event-stream form; none when `timeout` passes first.
  // Throws nothing; gives an empty message once the hub is closed or has let `subscription` go.
  std::optional<std::string> next(Subscription& subscription, std::chrono::milliseconds timeout);
  bool isClosed();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::weak_ptr<Subscription>> subscriptions_;
  std::map<std::string, std::string> latest_;
  bool closed_ = false;
};

class EventHub::Subscription {
 private:
  friend class EventHub;
  std::deque<std::string> messages_;
  bool ending_ = false;  // let go for a newer page: ends once its messages are sent
};

}  // namespace tessary::tool
