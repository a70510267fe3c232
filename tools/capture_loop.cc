// The part of the event loop both platforms share: the queue the
// listener's thread posts into and the main thread empties.

#include "tools/capture_loop.h"

void CaptureLoop::Post(uint32_t message, uint32_t wParam, uint32_t lParam) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back({message, wParam, lParam});
  }
  WakeUp();
}

std::deque<PostedMessage> CaptureLoop::TakeAll() {
  ResetWakeUp();
  std::lock_guard<std::mutex> lock(mutex_);
  std::deque<PostedMessage> all;
  all.swap(queue_);
  return all;
}
