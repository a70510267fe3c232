// The settings-file parser and writer of POSIX systems (Windows has the
// system's private-profile calls), and what it does with a file another
// user may not read.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/ini_file.h"
#include "tests/test_support.h"

namespace {


TEST(IniFile, ReadsKeysOfTheRightSectionIgnoringCaseAndBlanks) {
  TempDir dir;
  std::string path = dir / "a.ini";
  WriteFileBytes(path,
                 "; comment\r\n"
                 "[Other]\r\nComPort=COM9\r\n"
                 "[ kestrel ]\r\n  comport =  COM3  \r\nEmpty=\r\nQuoted=\" spaced \"\r\n"
                 "garbage line without equals\r\n=novalue\r\n");
  std::string v;
  ASSERT_TRUE(IniRead(path, "Kestrel", "ComPort", &v));
  EXPECT_EQ(v, "COM3");
  ASSERT_TRUE(IniRead(path, "Kestrel", "Empty", &v));
  EXPECT_EQ(v, "");
  ASSERT_TRUE(IniRead(path, "Kestrel", "Quoted", &v));
  EXPECT_EQ(v, " spaced ");
  EXPECT_FALSE(IniRead(path, "Kestrel", "Missing", &v));
  EXPECT_FALSE(IniRead(path, "Nowhere", "ComPort", &v));
  EXPECT_FALSE(IniRead(dir / "absent.ini", "Kestrel", "ComPort", &v));
}

TEST(IniFile, WritingOneKeyKeepsEverythingElse) {
  TempDir dir;
  std::string path = dir / "a.ini";
  const std::string before =
      "; keep me\r\n[Kestrel]\r\nComPort=COM1\r\nDevType=6310\r\n\r\n[Other]\r\nX=1\r\n";
  WriteFileBytes(path, before);

  ASSERT_TRUE(IniWrite(path, "Kestrel", "devtype", "6350", nullptr));
  EXPECT_EQ(ReadFileBytes(path),
            "; keep me\r\n[Kestrel]\r\nComPort=COM1\r\ndevtype=6350\r\n\r\n[Other]\r\nX=1\r\n");

  // A new key goes at the end of its section, before the blank line.
  ASSERT_TRUE(IniWrite(path, "Kestrel", "6350_Root", "/data/6350", nullptr));
  EXPECT_EQ(ReadFileBytes(path),
            "; keep me\r\n[Kestrel]\r\nComPort=COM1\r\ndevtype=6350\r\n6350_Root=/data/6350\r\n"
            "\r\n[Other]\r\nX=1\r\n");

  // A new section goes at the end of the file.
  ASSERT_TRUE(IniWrite(path, "Glimmer", "ComPort", "COM2", nullptr));
  std::string v;
  ASSERT_TRUE(IniRead(path, "Glimmer", "ComPort", &v));
  EXPECT_EQ(v, "COM2");
  ASSERT_TRUE(IniRead(path, "Other", "X", &v));
  EXPECT_EQ(v, "1");
}

TEST(IniFile, CreatesAMissingFileAndReportsAnUnwritableOne) {
  TempDir dir;
  std::string path = dir / "new.ini";
  ASSERT_TRUE(IniWrite(path, "Kestrel", "ComPort", "ttyUSB1", nullptr));
  EXPECT_EQ(ReadFileBytes(path), "[Kestrel]\nComPort=ttyUSB1\n");

  // A folder that cannot exist: its parent is a plain file.
  WriteFileBytes(dir / "plain", "x");
  std::string err;
  EXPECT_FALSE(IniWrite(dir / "plain/sub.ini", "Kestrel", "ComPort", "x", &err));
  EXPECT_NE(err.find("Not a directory"), std::string::npos) << err;
}


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
