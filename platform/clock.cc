#include "platform/clock.h"

#include "platform/platform.h"

std::tm SystemClock::LocalNow() {
  std::time_t now = std::time(nullptr);
  std::lock_guard<std::mutex> lock(mutex_);
  if (now != last_) {
    LocalTimeOf(now, &lastLocal_);
    last_ = now;
  }
  return lastLocal_;
}

std::tm MakeLocalTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  t.tm_isdst = -1;
  return t;
}
