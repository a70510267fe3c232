#include "platform/platform.h"

#include <clocale>

#include <gtest/gtest.h>

#include "platform/clock.h"

namespace {

TEST(Platform, TimeStampsAreTheLocaleDateAndTime) {
  std::setlocale(LC_TIME, "C");
  EXPECT_EQ(LocaleTimeStamp(MakeLocalTime(2026, 12, 6, 1, 23, 45)), "12/06/26 01:23:45");
  EXPECT_EQ(LocaleTimeStamp(MakeLocalTime(2027, 1, 31, 23, 59, 58)), "01/31/27 23:59:58");
}

}  // namespace
