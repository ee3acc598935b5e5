#pragma once

#include <httplib.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tessary::tool {

// The server's threads: one per connection, started when a connection finds every thread busy,
// up to `maxThreads`; only beyond that does a connection wait. Connections that are slow or held
// open therefore never delay the others until that many are open at once.
class ConnectionThreads : public httplib::TaskQueue {
 public:
  explicit ConnectionThreads(std::size_t maxThreads) : maxThreads_(maxThreads) {}
  ~ConnectionThreads() override;

  void enqueue(std::function<void()> task) override;
  // Finishes the waiting tasks, then joins every thread.
  void shutdown() override;

 private:
  void work();

  const std::size_t maxThreads_;
  std::mutex mutex_;
  std::condition_variable available_;
  std::deque<std::function<void()>> tasks_;
  std::vector<std::thread> threads_;
  std::size_t idleThreads_ = 0;
  bool stopping_ = false;
};

}  // namespace tessary::tool
