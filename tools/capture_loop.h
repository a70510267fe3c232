#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "serial/serial_listener.h"

/// One notification posted by the port's listener.
struct PostedMessage {
  uint32_t id, wParam, lParam;
};

/// The headless capture's event loop on the main thread, in place of a
/// window's message queue: the listener posts into it, and it wakes for
/// those messages, for a request to stop (Ctrl+C, SIGTERM, the console
/// closing) or when a time runs out. One implementation per platform.
class CaptureLoop : public MessageSink, public MessageWindow {
 public:
  enum Wake { kMessages, kStop, kTimeout, kFailed };

  /// Sets the loop up, taking the stop requests over from the default
  /// handling; null and `err` filled when the system refuses.
  static std::unique_ptr<CaptureLoop> Create(std::string* err);
  ~CaptureLoop() override = default;

  /// Sleeps until something happens; `timeoutMs` < 0 waits for ever.
  virtual Wake Wait(int timeoutMs) = 0;
  /// Everything posted so far, oldest first.
  virtual std::deque<PostedMessage> TakeAll() = 0;

  MessageSink* GetMessageSink() override { return this; }
};

/// For a replay, which has no event loop: takes SIGINT and SIGTERM (Windows:
/// Ctrl+C, Ctrl+Break, the console closing) over from the default handling,
/// which would end the process in the middle of a report. A stop request
/// then only interrupts a blocked read and makes StopRequested() true.
/// False and `err` filled when the system refuses.
bool CatchStopRequests(std::string* err);
/// True once a stop request came after CatchStopRequests.
bool StopRequested();
/// Whatever was pending at the stop has been handled (Windows: a closing
/// console may end the process now).
void StopHandled();
