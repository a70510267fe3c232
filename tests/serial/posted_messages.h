#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "serial/serial_listener.h"

struct Posted {
  uint32_t message, wParam, lParam;
};

/// A window's message queue for tests: the listener thread posts, the test
/// thread looks at what came or takes it in order.
class PostedMessages : public MessageSink, public MessageWindow {
 public:
  void Post(uint32_t message, uint32_t wParam, uint32_t lParam) override {
    std::lock_guard<std::mutex> lock(mutex_);
    posted_.push_back({message, wParam, lParam});
    changed_.notify_all();
  }
  MessageSink* GetMessageSink() override { return this; }

  /// Waits up to 5 seconds until at least `count` messages came; all of them.
  std::vector<Posted> WaitFor(size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(5), [&] { return posted_.size() >= count; });
    return posted_;
  }
  size_t Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return posted_.size();
  }
  /// The oldest message not taken yet, waiting for one until `deadline`;
  /// false when none came.
  bool TakeNext(std::chrono::steady_clock::time_point deadline, Posted* next) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_until(lock, deadline, [&] { return taken_ < posted_.size(); })) return false;
    *next = posted_[taken_++];
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Posted> posted_;
  size_t taken_ = 0;
};
