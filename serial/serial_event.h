#pragma once

#include <cstdint>
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

/// Waits until one of `events` is signalled and returns the lowest index of
/// a signalled one, kWaitTimedOut after `timeoutMs` milliseconds, or
/// kWaitFailed when the system's wait fails. Device operations pending on
/// one of the events make progress while it waits.
int WaitForEvents(SerialEvent* const* events, int count, uint32_t timeoutMs);
