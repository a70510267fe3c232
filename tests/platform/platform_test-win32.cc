#include "platform/platform.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "tests/test_support.h"

namespace {

// The user's default locale is English (United States) here: wine takes it
// from the environment, and the tests run with LC_ALL=C.
TEST(Platform, TimeStampsAreTheUsersShortDateAndLongTime) {
  ASSERT_EQ(::GetUserDefaultLCID(), 0x0409u) << "the expectations are those of English (United States)";
  EXPECT_EQ(LocaleTimeStamp(MakeLocalTime(2026, 12, 6, 1, 23, 45)), "12/6/2026 1:23:45 AM");
  EXPECT_EQ(LocaleTimeStamp(MakeLocalTime(2027, 1, 31, 23, 59, 58)), "1/31/2027 11:59:58 PM");
}

TEST(Platform, TheVersionIsTheRunningSystems) {
  int major = 0, minor = 0, build = 0;
  OsVersion(&major, &minor, &build);
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof info;
  // Without a manifest GetVersionEx answers truthfully too; both agree.
  ASSERT_TRUE(::GetVersionExA(&info));
  EXPECT_EQ(major, static_cast<int>(info.dwMajorVersion));
  EXPECT_EQ(minor, static_cast<int>(info.dwMinorVersion));
  EXPECT_EQ(build, static_cast<int>(info.dwBuildNumber));
}

}  // namespace
