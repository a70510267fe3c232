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

TEST(Platform, AnAtomicFileNeverReplacesAnExistingOne) {
  TempDir dir;
  std::string path = dir / "report.txt";
  std::string err;
  ASSERT_TRUE(WriteFileAtomically(path, "first", &err)) << err;
  AtomicFile file;
  ASSERT_TRUE(file.Open(path, &err)) << err;
  ASSERT_TRUE(file.Write("second", 6, &err));
  EXPECT_FALSE(file.Commit(false, &err));
  EXPECT_EQ(err.rfind("cannot create file: ", 0), 0u) << err;
  EXPECT_EQ(ReadFileBytes(path), "first");
  // The temporary file went with the refused commit.
  int files = 0;
  WIN32_FIND_DATAA found;
  HANDLE h = ::FindFirstFileA((dir / "*").c_str(), &found);
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++files;
  } while (::FindNextFileA(h, &found));
  ::FindClose(h);
  EXPECT_EQ(files, 1);
  EXPECT_TRUE(WriteFileAtomically(path, "third", &err));
  EXPECT_EQ(ReadFileBytes(path), "third");
}

}  // namespace
