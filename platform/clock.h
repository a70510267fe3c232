#pragma once

#include <ctime>
#include <mutex>

/// Source of the local date and time, so tests can fix the moment a line
/// arrives or a report ends.
class Clock {
 public:
  virtual ~Clock() = default;
  /// The current local date and time, to the second.
  virtual std::tm LocalNow() = 0;
};

/// The machine's clock in the local time zone. Safe to read from several
/// threads.
class SystemClock : public Clock {
 public:
  std::tm LocalNow() override;

 private:
  // Lines of a burst arrive within one second; the conversion to local
  // time is done once per second.
  std::mutex mutex_;
  std::time_t last_ = -1;
  std::tm lastLocal_{};
};

/// A clock that always reads the time it was last set to.
class FixedClock : public Clock {
 public:
  explicit FixedClock(const std::tm& now) : now_(now) {}
  std::tm LocalNow() override { return now_; }
  void Set(const std::tm& now) { now_ = now; }

 private:
  std::tm now_;
};

/// Builds a local time from its parts (year in full, month 1-12).
std::tm MakeLocalTime(int year, int month, int day, int hour, int minute, int second);
