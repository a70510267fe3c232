// Settings files and POSIX permissions: what the parser does with a file
// another user may not read.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/ini_file.h"
#include "tests/test_support.h"

namespace {

TEST(IniFile, AFileThatCannotBeReadIsNeverReplaced) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to drop to another user";
  TempDir dir;
  // Anyone may create files in the folder, but the settings file is
  // closed to the user who writes.
  ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
  std::string path = dir / "Kestrel.ini";
  const std::string settings = "[Kestrel]\nComPort=ttyUSB3\nDevType=6120\n";
  WriteFileBytes(path, settings);
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
    std::string err;
    bool refused = !IniWrite(path, "Kestrel", "ComPort", "ttyUSB0", &err) &&
                   err.find("Permission denied") != std::string::npos;
    ::_exit(refused ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadFileBytes(path), settings);
}

}  // namespace
