#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "serial/serial_port.h"

/// Where a listener's notifications go: the queue of the thread that owns
/// the window (or the event loop of a headless tool). Post is called
/// on the listener thread; it must be thread-safe and must not block.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void Post(uint32_t message, uint32_t wParam, uint32_t lParam) = 0;
};

/// A window object that can receive notifications: it gives its sink, or
/// null when it has none (yet).
class MessageWindow {
 public:
  virtual ~MessageWindow() = default;
  virtual MessageSink* GetMessageSink() = 0;
};

/// The process-wide id of a named message: the same name always gives the
/// same id (from 0xC000 up), different names different ids.
uint32_t RegisterMessage(const char* name);

/// The id of "CSerialWnd_DefaultComMsg", the listener's default message.
uint32_t DefaultComMessage();

/// Set in a notification's wParam when the device went away (an adapter
/// pulled out, a pseudo-terminal whose other side closed). The listener has
/// then ended; the port stays open until its owner closes it. The bit sits
/// in the line-error half of wParam, where no line error uses it (line
/// errors use 0x0001..0x0010, 0x0100..0x1000 and 0x8000), and the event
/// half is 0, so a receiver that only looks at EV_RXCHAR ignores it.
constexpr uint32_t kPortLostFlag = 0x40000000;

/// The wParam of a notification: line errors in the high 16 bits, events
/// in the low 16 bits, each cut to 16 bits.
inline uint32_t PackSerialEvents(uint32_t events, uint32_t errors) {
  return ((errors & 0xFFFF) << 16) | (events & 0xFFFF);
}

/// A port with one listener thread that waits for device events and hands
/// each completed one to OnSerialEvent. Close stops the thread and waits
/// for it before anything is closed.
class CSerialListener : public CSerialPort {
 public:
  CSerialListener();
  ~CSerialListener() override;

  /// Opens the port and creates the stop and listen events; no thread.
  int32_t Open(const char* port, uint32_t inQueue = 0, uint32_t outQueue = 0) override;
  /// Stops the thread, closes the events and the port; 0.
  int32_t Close() override;
  /// Starts the listener thread unless one runs.
  virtual int32_t StartThread();
  /// Signals the stop event and waits until the thread has ended; 0. The
  /// wait is always to the end, whatever `timeoutMs` says: nothing the
  /// thread uses may be freed while it runs.
  virtual int32_t StopThread(uint32_t timeoutMs = kInfinite);
  /// Called on the listener thread with the masked events and line errors
  /// of one completed wait.
  virtual void OnSerialEvent(uint32_t events, uint32_t errors) = 0;
  /// Called on the listener thread once when a wait fails, just before the
  /// thread ends: the device is gone or broken.
  virtual void OnPortLost(int32_t code);

  bool IsListening() const { return thread_ != nullptr; }

 private:
  void Listen();

  std::unique_ptr<SerialThread> thread_;
  std::unique_ptr<SerialEvent> stopEvent_;
  std::unique_ptr<SerialEvent> listenEvent_;
};

/// A listener that posts each event as a message to a sink.
class CSerialWnd : public CSerialListener {
 public:
  ~CSerialWnd() override;

  using CSerialListener::Open;
  /// Opens, remembers the receiver (message 0 = DefaultComMessage()) and
  /// starts the thread.
  virtual int32_t Open(const char* port, MessageSink* sink, uint32_t message = 0,
                       uint32_t userValue = 0, uint32_t inQueue = 0, uint32_t outQueue = 0);
  int32_t Close() override;
  /// Posts (message, PackSerialEvents(events, errors), user value).
  void OnSerialEvent(uint32_t events, uint32_t errors) override;
  /// Posts (message, kPortLostFlag, user value).
  void OnPortLost(int32_t code) override;

 private:
  // Written by the owner before the thread starts and cleared by Close
  // before it stops the thread, while the thread may be posting.
  std::atomic<MessageSink*> sink_{nullptr};
  std::atomic<uint32_t> message_{0};
  std::atomic<uint32_t> userValue_{0};
};

/// A CSerialWnd opened with a window object instead of a sink. A class
/// derived from it that overrides what the listener thread calls must
/// Close in its own destructor.
class CSerialWndAdapter : public CSerialWnd {
 public:
  ~CSerialWndAdapter() override;

  using CSerialWnd::Open;
  /// Opens with the window's sink (null for a null window).
  virtual int32_t Open(const char* port, MessageWindow* window, uint32_t message = 0,
                       uint32_t userValue = 0, uint32_t inQueue = 0, uint32_t outQueue = 0);
};
