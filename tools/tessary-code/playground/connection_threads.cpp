#include "connection_threads.h"

namespace tessary::tool {

ConnectionThreads::~ConnectionThreads() {
  shutdown();
}

void ConnectionThreads::enqueue(std::function<void()> task) {
  std::lock_guard lock(mutex_);
  tasks_.push_back(std::move(task));
  if (idleThreads_ < tasks_.size() && threads_.size() < maxThreads_) {
    threads_.emplace_back([this] { work(); });
  } else {
    available_.notify_one();
  }
}

void ConnectionThreads::shutdown() {
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    threads.swap(threads_);
  }
  available_.notify_all();
  for (std::thread& thread : threads) thread.join();
}

void ConnectionThreads::work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    ++idleThreads_;
    available_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
    --idleThreads_;
    if (tasks_.empty()) return;
    std::function<void()> task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    task();
    lock.lock();
  }
}

}  // namespace tessary::tool
