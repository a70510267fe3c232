#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "serial/serial_listener.h"

/// One notification posted by the port's listener.
struct PostedMessage {
  uint32_t id, wParam, lParam;
};

/// The headless capture's event loop on the main thread, in place of a
/// window's message queue: the listener posts into it, and it wakes for
/// those messages, for a request to stop (Ctrl+C, SIGTERM, the console
/// closing) or when a time runs out. The queue is shared; how the loop
/// sleeps and is woken is one implementation per platform.
class CaptureLoop : public MessageSink, public MessageWindow {
 public:
  enum Wake { kMessages, kStop, kTimeout, kFailed };

  /// Sets the loop up, taking the stop requests over from the default
  /// handling; null and `err` filled when the system refuses. Without
  /// `consoleStops` (a service) only RequestStop ends the wait: a user
  /// logging off, or a console's signals, must not end the capture.
  static std::unique_ptr<CaptureLoop> Create(std::string* err, bool consoleStops = true);
  ~CaptureLoop() override = default;

  /// Sleeps until something happens; `timeoutMs` < 0 waits for ever.
  virtual Wake Wait(int timeoutMs) = 0;
  /// Everything posted so far, oldest first.
  std::deque<PostedMessage> TakeAll();

  /// Queues a message and wakes the loop; called from the listener's thread.
  void Post(uint32_t message, uint32_t wParam, uint32_t lParam) final;
  MessageSink* GetMessageSink() override { return this; }

 protected:
  /// Makes the sleeping Wait return kMessages.
  virtual void WakeUp() = 0;
  /// Takes the wake-up back before the queue is emptied, so that a message
  /// posted after that wakes the loop again.
  virtual void ResetWakeUp() = 0;

 private:
  std::mutex mutex_;
  std::deque<PostedMessage> queue_;
};

/// For a replay, which has no event loop: takes SIGINT and SIGTERM (Windows:
/// Ctrl+C, Ctrl+Break, the console closing) over from the default handling,
/// which would end the process in the middle of a report. A stop request
/// then only interrupts a blocked read and makes StopRequested() true.
/// False and `err` filled when the system refuses.
bool CatchStopRequests(std::string* err);
/// Makes the loop's Wait return kStop, as a stop request from the console
/// does: for the service manager's stop. Any thread may call it.
void RequestStop();
/// True once a stop request came after CatchStopRequests.
bool StopRequested();
/// Whatever was pending at the stop has been handled (Windows: a closing
/// console may end the process now).
void StopHandled();
