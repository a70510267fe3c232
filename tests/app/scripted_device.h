#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "serial/serial_device.h"

// A port that opens whatever its name, takes nothing in and waits for
// events that never come. Each device made takes the next code of
// `setUpFailures` as what setting its read time-outs answers (none left:
// 0), as an adapter that is back but whose driver is not ready yet answers.
class ScriptedDevice : public SerialDevice {
 public:
  static inline std::deque<int32_t> setUpFailures;
  static inline std::atomic<int> made{0};
  static std::unique_ptr<SerialDevice> Make() {
    ++made;
    auto device = std::make_unique<ScriptedDevice>();
    if (!setUpFailures.empty()) {
      device->setUpFailure_ = setUpFailures.front();
      setUpFailures.pop_front();
    }
    return device;
  }

  int32_t Open(const std::string&) override { return 0; }
  void Close() override { SetMask(0); }
  int32_t SetupQueues(uint32_t, uint32_t) override { return 0; }
  void ApplyDefaultConfig(const std::string&) override {}
  int32_t GetSettings(LineSettings* settings) override {
    *settings = settings_;
    return 0;
  }
  int32_t SetSettings(const LineSettings& settings) override {
    settings_ = settings;
    return 0;
  }
  int32_t GetTimeouts(ReadTimeouts* timeouts) override {
    *timeouts = ReadTimeouts{};
    return 0;
  }
  int32_t SetTimeouts(const ReadTimeouts&) override { return setUpFailure_; }
  int32_t SetMask(uint32_t) override {
    std::lock_guard<std::mutex> lock(mutex_);
    // As the system does: a new mask ends the pending wait, with no events.
    if (wait_) wait_->event->Set();
    wait_ = nullptr;
    return 0;
  }
  int32_t StartWait(uint32_t*, SerialOverlapped* done) override {
    std::lock_guard<std::mutex> lock(mutex_);
    wait_ = done;
    return kErrorIoPending;
  }
  int32_t StartRead(void*, uint32_t, uint32_t* moved, SerialOverlapped*) override {
    *moved = 0;
    return 0;
  }
  int32_t StartWrite(const void*, uint32_t size, uint32_t* moved, SerialOverlapped*) override {
    *moved = size;
    return 0;
  }
  int32_t GetResult(bool, SerialOverlapped*, uint32_t*) override { return 0; }
  void CancelIo() override {}
  int32_t Purge() override { return 0; }
  int32_t ClearErrors(uint32_t* errors) override {
    *errors = 0;
    return 0;
  }

 private:
  std::mutex mutex_;
  int32_t setUpFailure_ = 0;
  SerialOverlapped* wait_ = nullptr;
  LineSettings settings_;
};

/// Every port opened while it lives is a ScriptedDevice.
struct ScriptedPorts {
  explicit ScriptedPorts(std::deque<int32_t> failures) {
    ScriptedDevice::setUpFailures = std::move(failures);
    ScriptedDevice::made = 0;
    SetSerialDeviceMaker(ScriptedDevice::Make);
  }
  ~ScriptedPorts() { SetSerialDeviceMaker(nullptr); }
};
