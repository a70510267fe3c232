#pragma once

// How a POSIX device operation completes "in the background": a terminal
// has no overlapped input/output, so a pending operation hangs a hook on
// its completion event, and whoever waits for that event (WaitForEvents)
// also polls the hook's descriptor and lets the hook finish the operation.
// The thread that waits for a completion is the one that drives it, exactly
// when the platform would have completed it behind its back.

#include "serial/serial_event.h"

class EventHook {
 public:
  /// The descriptor and poll events that may let the operation progress.
  virtual int HookFd() = 0;
  virtual short HookEvents() = 0;
  /// Called by a waiter after poll reported `revents` on HookFd(); may
  /// finish the operation, which detaches the hook and sets the event.
  virtual void HookReady(short revents) = 0;

 protected:
  ~EventHook() = default;
};

/// Hangs `hook` on `event` (replacing any other) or, with null, takes it off.
void SetEventHook(SerialEvent* event, EventHook* hook);
