#include "export/iso_time.h"

#include <chrono>
#include <cstdio>

std::string IsoLocalTime(const std::tm& local) {
  // The offset is what the local fields, read as UTC, are ahead of the
  // moment they stand for; Windows' std::tm carries no offset of its own.
  // The fields are taken as mktime settled them.
  using namespace std::chrono;
  std::tm copy = local;
  std::time_t when = std::mktime(&copy);
  const sys_days date = year{copy.tm_year + 1900} / month(static_cast<unsigned>(copy.tm_mon + 1)) /
                        day(static_cast<unsigned>(copy.tm_mday));
  long long asUtc = duration_cast<seconds>(date.time_since_epoch()).count() + copy.tm_hour * 3600LL +
                    copy.tm_min * 60LL + copy.tm_sec;
  char text[64];
  int n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", copy.tm_year + 1900, copy.tm_mon + 1,
                        copy.tm_mday, copy.tm_hour, copy.tm_min, copy.tm_sec);
  std::string iso(text, static_cast<size_t>(n));
  if (when == static_cast<std::time_t>(-1)) return iso;
  long long offset = (asUtc - static_cast<long long>(when)) / 60;
  char sign = offset < 0 ? '-' : '+';
  if (offset < 0) offset = -offset;
  std::snprintf(text, sizeof text, "%c%02lld:%02lld", sign, offset / 60, offset % 60);
  return iso + text;
}
