// Events and the listener thread on Windows: manual-reset event objects
// (CreateEventA), WaitForMultipleObjects and CreateThread.

#include "serial/serial_event.h"

#include <windows.h>

#include "serial/serial_event-win32.h"

struct SerialEvent::Impl {
  HANDLE handle = nullptr;
};

SerialEvent::SerialEvent(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

SerialEvent::~SerialEvent() {
  if (impl_ && impl_->handle) ::CloseHandle(impl_->handle);
}

std::unique_ptr<SerialEvent> SerialEvent::Create(int32_t* err) {
  auto impl = std::make_unique<Impl>();
  impl->handle = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!impl->handle) {
    if (err) *err = static_cast<int32_t>(::GetLastError());
    return nullptr;
  }
  if (err) *err = 0;
  return std::unique_ptr<SerialEvent>(new SerialEvent(std::move(impl)));
}

void SerialEvent::Set() { ::SetEvent(impl_->handle); }

void SerialEvent::Reset() { ::ResetEvent(impl_->handle); }

bool SerialEvent::IsSet() { return ::WaitForSingleObject(impl_->handle, 0) == WAIT_OBJECT_0; }

HANDLE EventHandle(SerialEvent* event) { return event->impl()->handle; }

namespace {
thread_local int32_t lastWaitError = 0;
}  // namespace

int32_t LastWaitError() { return lastWaitError; }

int WaitForEvents(SerialEvent* const* events, int count, uint32_t timeoutMs) {
  HANDLE handles[MAXIMUM_WAIT_OBJECTS];
  if (count <= 0 || count > MAXIMUM_WAIT_OBJECTS) {
    lastWaitError = ERROR_INVALID_PARAMETER;
    return kWaitFailed;
  }
  for (int i = 0; i < count; ++i) handles[i] = events[i]->impl()->handle;
  DWORD r = ::WaitForMultipleObjects(static_cast<DWORD>(count), handles, FALSE, timeoutMs);
  if (r < WAIT_OBJECT_0 + static_cast<DWORD>(count)) return static_cast<int>(r - WAIT_OBJECT_0);
  if (r == WAIT_TIMEOUT) return kWaitTimedOut;
  // An abandoned wait is no event of ours; WAIT_FAILED sets the code.
  lastWaitError = r == WAIT_FAILED ? static_cast<int32_t>(::GetLastError()) : ERROR_INVALID_HANDLE;
  return kWaitFailed;
}

struct SerialThread::Impl {
  HANDLE thread = nullptr;
  std::function<void()> body;
};

namespace {
DWORD WINAPI RunThread(void* arg) {
  static_cast<SerialThread::Impl*>(arg)->body();
  return 0;
}
}  // namespace

SerialThread::SerialThread(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

SerialThread::~SerialThread() {
  ::WaitForSingleObject(impl_->thread, INFINITE);
  ::CloseHandle(impl_->thread);
}

std::unique_ptr<SerialThread> SerialThread::Start(std::function<void()> body, int32_t* err) {
  auto impl = std::make_unique<Impl>();
  impl->body = std::move(body);
  // Default security and stack size, running at once; the id is not kept.
  impl->thread = ::CreateThread(nullptr, 0, RunThread, impl.get(), 0, nullptr);
  if (!impl->thread) {
    if (err) *err = static_cast<int32_t>(::GetLastError());
    return nullptr;
  }
  if (err) *err = 0;
  return std::unique_ptr<SerialThread>(new SerialThread(std::move(impl)));
}
