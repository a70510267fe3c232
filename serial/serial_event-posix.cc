#include "serial/serial_event.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <vector>

#include "serial/serial_event-posix.h"

// The event is an eventfd: readable while signalled. Set adds to its
// counter, Reset reads the counter back to zero.
struct SerialEvent::Impl {
  int fd = -1;
  // Mirrors the descriptor's state, so that setting a set event or
  // resetting a reset one costs no system call: a port's reads complete
  // at once and signal its event thousands of times a second.
  std::atomic<bool> set{false};
  std::mutex mutex;
  EventHook* hook = nullptr;
};

SerialEvent::SerialEvent(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

SerialEvent::~SerialEvent() {
  if (impl_ && impl_->fd >= 0) ::close(impl_->fd);
}

std::unique_ptr<SerialEvent> SerialEvent::Create(int32_t* err) {
  auto impl = std::make_unique<Impl>();
  impl->fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (impl->fd < 0) {
    if (err) *err = errno;
    return nullptr;
  }
  if (err) *err = 0;
  return std::unique_ptr<SerialEvent>(new SerialEvent(std::move(impl)));
}

void SerialEvent::Set() {
  if (impl_->set.exchange(true)) return;
  uint64_t one = 1;
  // Only fails when the counter is near overflow: it is signalled anyway.
  ssize_t n = ::write(impl_->fd, &one, sizeof one);
  (void)n;
}

void SerialEvent::Reset() {
  if (!impl_->set.exchange(false)) return;
  uint64_t value;
  ssize_t n = ::read(impl_->fd, &value, sizeof value);
  (void)n;
}

bool SerialEvent::IsSet() {
  pollfd p{impl_->fd, POLLIN, 0};
  return ::poll(&p, 1, 0) == 1 && (p.revents & POLLIN);
}

void SetEventHook(SerialEvent* event, EventHook* hook) {
  std::lock_guard<std::mutex> lock(event->impl()->mutex);
  event->impl()->hook = hook;
}

namespace {
thread_local int32_t lastWaitError = 0;
}  // namespace

int32_t LastWaitError() { return lastWaitError; }

int WaitForEvents(SerialEvent* const* events, int count, uint32_t timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::vector<pollfd> fds;
  std::vector<EventHook*> hooks;
  for (;;) {
    fds.clear();
    hooks.clear();
    for (int i = 0; i < count; ++i) fds.push_back({events[i]->impl()->fd, POLLIN, 0});
    for (int i = 0; i < count; ++i) {
      EventHook* hook;
      {
        std::lock_guard<std::mutex> lock(events[i]->impl()->mutex);
        hook = events[i]->impl()->hook;
      }
      if (!hook) continue;
      hooks.push_back(hook);
      fds.push_back({hook->HookFd(), hook->HookEvents(), 0});
    }
    int wait = -1;
    if (timeoutMs != kInfinite) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      wait = left.count() > 0 ? static_cast<int>(left.count()) : 0;
    }
    int n = ::poll(fds.data(), fds.size(), wait);
    if (n < 0) {
      if (errno == EINTR) continue;
      lastWaitError = errno;
      return kWaitFailed;
    }
    for (int i = 0; i < count; ++i) {
      if (fds[i].revents & POLLIN) return i;
    }
    if (n == 0) return kWaitTimedOut;
    // Let the hooks finish their operations; a finished one signals its
    // event, which the next round of poll sees at once.
    for (size_t h = 0; h < hooks.size(); ++h) {
      short revents = fds[count + h].revents;
      if (revents) hooks[h]->HookReady(revents);
    }
  }
}

struct SerialThread::Impl {
  pthread_t thread{};
  std::function<void()> body;
};

namespace {
void* RunThread(void* arg) {
  static_cast<SerialThread::Impl*>(arg)->body();
  return nullptr;
}
}  // namespace

SerialThread::SerialThread(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

SerialThread::~SerialThread() { ::pthread_join(impl_->thread, nullptr); }

std::unique_ptr<SerialThread> SerialThread::Start(std::function<void()> body, int32_t* err) {
  auto impl = std::make_unique<Impl>();
  impl->body = std::move(body);
  // pthread_create gives its code back instead of setting errno.
  if (int code = ::pthread_create(&impl->thread, nullptr, RunThread, impl.get())) {
    if (err) *err = code;
    return nullptr;
  }
  if (err) *err = 0;
  return std::unique_ptr<SerialThread>(new SerialThread(std::move(impl)));
}
