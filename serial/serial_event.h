#pragma once

#include <cstdint>
#include <functional>
#include <memory>

/// A manual-reset event: once Set it stays signalled until Reset, and every
/// waiter sees it. The completion signal of device operations and the stop
/// signal of the listener thread. One implementation per platform
/// (serial_event-posix.cc, serial_event-win32.cc).
class SerialEvent {
 public:
  struct Impl;

  /// A new unsignalled event; null and `err` set to the system's code when
  /// the system refuses one.
  static std::unique_ptr<SerialEvent> Create(int32_t* err);
  ~SerialEvent();
  SerialEvent(const SerialEvent&) = delete;
  SerialEvent& operator=(const SerialEvent&) = delete;

  /// Signals the event; harmless when it is already signalled.
  void Set();
  /// Makes the event unsignalled.
  void Reset();
  /// True while the event is signalled (does not wait).
  bool IsSet();

  Impl* impl() { return impl_.get(); }

 private:
  explicit SerialEvent(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

/// Result of WaitForEvents besides the index of a signalled event.
constexpr int kWaitTimedOut = -1;
constexpr int kWaitFailed = -2;
/// The time-out that never runs out.
constexpr uint32_t kInfinite = 0xFFFFFFFF;

/// The system's code for the last failed WaitForEvents on this thread.
int32_t LastWaitError();

/// Waits until one of `events` is signalled and returns the lowest index of
/// a signalled one, kWaitTimedOut after `timeoutMs` milliseconds, or
/// kWaitFailed when the system's wait fails. Device operations pending on
/// one of the events make progress while it waits.
int WaitForEvents(SerialEvent* const* events, int count, uint32_t timeoutMs);

/// A thread of the platform (the listener's): started at once, joined by
/// its owner. One implementation per platform, beside the event.
class SerialThread {
 public:
  struct Impl;

  /// Runs `body` on a new thread; null and `err` set to the system's code
  /// when the system refuses one.
  static std::unique_ptr<SerialThread> Start(std::function<void()> body, int32_t* err);
  /// Waits for the thread to end (it must have been asked to).
  ~SerialThread();
  SerialThread(const SerialThread&) = delete;
  SerialThread& operator=(const SerialThread&) = delete;

 private:
  explicit SerialThread(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};
