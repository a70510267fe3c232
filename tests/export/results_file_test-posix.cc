// The offset of the export time in zones with summer time, half hours and
// none, set through TZ (a POSIX C library reads it at tzset).
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "export/results_file.h"
#include "platform/clock.h"

namespace {

TEST(ResultsFile, ExportTimeOffsetFollowsTheZoneAndItsSummerTime) {
  const char* old = std::getenv("TZ");
  const std::string saved = old ? old : "";
  const struct {
    const char* zone;
    std::tm local;
    const char* iso;
  } cases[] = {
      {"UTC0", MakeLocalTime(2026, 12, 6, 1, 15, 23), "2026-12-06T01:15:23+00:00"},
      {"CET-1CEST,M3.5.0,M10.5.0/3", MakeLocalTime(2026, 12, 6, 1, 15, 23), "2026-12-06T01:15:23+01:00"},
      {"CET-1CEST,M3.5.0,M10.5.0/3", MakeLocalTime(2026, 7, 1, 12, 0, 0), "2026-07-01T12:00:00+02:00"},
      {"NST3:30NDT,M3.2.0,M11.1.0", MakeLocalTime(2026, 1, 2, 3, 4, 5), "2026-01-02T03:04:05-03:30"},
      {"NST3:30NDT,M3.2.0,M11.1.0", MakeLocalTime(2026, 8, 2, 3, 4, 5), "2026-08-02T03:04:05-02:30"},
      {"<-03>3", MakeLocalTime(1969, 12, 31, 23, 0, 0), "1969-12-31T23:00:00-03:00"},
  };
  for (const auto& c : cases) {
    setenv("TZ", c.zone, 1);
    tzset();
    EXPECT_EQ(IsoLocalTime(c.local), c.iso) << c.zone;
  }
  if (old) setenv("TZ", saved.c_str(), 1); else unsetenv("TZ");
  tzset();
}

}  // namespace
