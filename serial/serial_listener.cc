#include "serial/serial_listener.h"

uint32_t DefaultComMessage() {
  static const uint32_t id = RegisterMessage("CSerialWnd_DefaultComMsg");
  return id;
}

namespace {
// Registered at start-up, before any window can ask for it.
const uint32_t kRegisteredAtStart = DefaultComMessage();
}  // namespace

CSerialListener::CSerialListener() { (void)kRegisteredAtStart; }

CSerialListener::~CSerialListener() {
  if (thread_) CSerialListener::Close();
}

int32_t CSerialListener::Open(const char* port, uint32_t inQueue, uint32_t outQueue) {
  if (int32_t err = CSerialPort::Open(port, inQueue, outQueue)) return err;
  int32_t err = 0;
  stopEvent_ = SerialEvent::Create(&err);
  if (stopEvent_) listenEvent_ = SerialEvent::Create(&err);
  if (!stopEvent_ || !listenEvent_) {
    stopEvent_.reset();
    CSerialPort::Close();
    return Fail(err);
  }
  return lastError_;
}

int32_t CSerialListener::StartThread() {
  if (thread_) return lastError_ = 0;
  int32_t err = 0;
  thread_ = SerialThread::Start([this] { Listen(); }, &err);
  if (!thread_) return Fail(err);
  return lastError_ = 0;
}

int32_t CSerialListener::StopThread(uint32_t) {
  if (thread_) {
    stopEvent_->Set();
    thread_.reset();
  }
  return lastError_ = 0;
}

int32_t CSerialListener::Close() {
  StopThread(kInfinite);
  stopEvent_.reset();
  listenEvent_.reset();
  return CSerialPort::Close();
}

void CSerialListener::OnPortLost(int32_t) {}

void CSerialListener::Listen() {
  SerialOverlapped record{listenEvent_.get()};
  SerialEvent* handles[2] = {stopEvent_.get(), listenEvent_.get()};
  if (int32_t err = WaitForEvent(&record, kInfinite)) {
    OnPortLost(err);
    return;
  }
  for (;;) {
    if (WaitForEvents(handles, 2, kInfinite) != 1) {
      // Re-applying the mask completes the pending device wait, so none is
      // left outstanding on the record when the thread ends.
      SetEventMask(GetEventMask());
      return;
    }
    uint32_t events = TakeEvents();
    uint32_t errors = 0;
    // Clearing the line errors on every completion lets reads go on after
    // an error, whether or not an event is reported.
    if (int32_t err = Device()->ClearErrors(&errors)) Fail(err);
    if (events) OnSerialEvent(events, errors);
    if (int32_t err = WaitForEvent(&record, kInfinite)) {
      // The platform's listener ends quietly here; a device that went away
      // would then leave the capture deaf without a word. Say so instead.
      OnPortLost(err);
      return;
    }
  }
}

CSerialWnd::~CSerialWnd() {
  if (IsListening()) CSerialWnd::Close();
}

int32_t CSerialWnd::Open(const char* port, MessageSink* sink, uint32_t message, uint32_t userValue,
                         uint32_t inQueue, uint32_t outQueue) {
  if (int32_t err = CSerialListener::Open(port, inQueue, outQueue)) return err;
  sink_ = sink;
  message_ = message ? message : DefaultComMessage();
  userValue_ = userValue;
  if (int32_t err = StartThread()) {
    Close();
    return Fail(err);
  }
  return lastError_ = 0;
}

int32_t CSerialWnd::Close() {
  sink_ = nullptr;
  message_ = 0;
  return CSerialListener::Close();
}

void CSerialWnd::OnSerialEvent(uint32_t events, uint32_t errors) {
  if (MessageSink* sink = sink_) sink->Post(message_, PackSerialEvents(events, errors), userValue_);
}

void CSerialWnd::OnPortLost(int32_t) {
  if (MessageSink* sink = sink_) sink->Post(message_, kPortLostFlag, userValue_);
}

// Each destructor stops a running listener before its class's part goes:
// the thread calls virtual operations of this object, and must never see
// it half destroyed.
CSerialWndAdapter::~CSerialWndAdapter() {
  if (IsListening()) CSerialWnd::Close();
}

int32_t CSerialWndAdapter::Open(const char* port, MessageWindow* window, uint32_t message,
                                uint32_t userValue, uint32_t inQueue, uint32_t outQueue) {
  return CSerialWnd::Open(port, window ? window->GetMessageSink() : nullptr, message, userValue,
                          inQueue, outQueue);
}
