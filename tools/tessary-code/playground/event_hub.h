#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessary::tool {

// Server-sent events for every open page. The host thread publishes changes; each page's
// connection waits on its own thread for the next message. A page starts behind: before any
// change it is sent a snapshot of everything it shows, which the host makes when asked. A page
// that stops reading falls behind again rather than have its changes pile up, and is sent one
// snapshot when it reads again. Only so many pages are followed at once; a new one lets the
// oldest go.
class EventHub {
 public:
  class Subscription;

  // One event in event-stream form; `data` is one line (compact JSON).
  static std::string message(std::string_view event, std::string_view data);

  std::shared_ptr<Subscription> subscribe();
  // Queues a change for every page that is not behind. Host thread only.
  void publish(std::string_view event, std::string_view data);
  // Wakes every waiting connection and makes them end.
  void close();

  // True when `subscription` needs a snapshot before its next message, and the hub is open.
  bool isBehind(Subscription& subscription);
  // Forgets the changes queued for `subscription`: the snapshot the host makes at the same time
  // holds them. Host thread only, so that no change comes between the two.
  void catchUp(Subscription& subscription);

  // The next message for `subscription` in event-stream form; none when `timeout` passes first or
  // the page has fallen behind. Throws nothing; gives an empty message once the hub is closed or
  // has let `subscription` go.
  std::optional<std::string> next(Subscription& subscription, std::chrono::milliseconds timeout);
  bool isClosed();

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::weak_ptr<Subscription>> subscriptions_;
  bool closed_ = false;
};

class EventHub::Subscription {
 private:
  friend class EventHub;
  std::deque<std::string> messages_;
  std::size_t waitingBytes_ = 0;
  bool behind_ = true;
  bool ending_ = false;  // let go for a newer page: ends once its messages are sent
};

}  // namespace tessary::tool
