// Runs the real harrow-capture binary, as a user would.

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/test_support.h"

namespace {

// Runs a shell command; its standard output and exit status.
std::string RunCommand(const std::string& command, int* status) {
  std::string out;
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int rc = ::pclose(p);
  *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

TEST(CaptureTool, ReplayShowsLinesAndLogsThemWithoutTouchingTheSettings) {
  IsolatedSettings env;
  std::string transcript = env.dir() / "in.bin";
  WriteFileBytes(transcript, "\n1) Title\r\n  S#      ABS\r\n\tunprintable\r\npartial");
  std::string root = env.dir() / "root";
  int status = 0;
  std::string out = RunCommand(std::string(HARROW_CAPTURE) + " --model 6350 --root " + root +
                            " --replay " + transcript + " 2>&1",
                        &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out, "1) Title\n  S#      ABS\n\tunprintable\n");

  std::string log = ReadFileBytes(root + "/Log/USB_Serial.log");
  EXPECT_NE(log.find("SOFTWARE START"), std::string::npos);
  EXPECT_NE(log.find(":\t1) Title\r\n"), std::string::npos);
  EXPECT_NE(log.find(":\t\tunprintable\r\n"), std::string::npos);
  EXPECT_EQ(log.find("partial"), std::string::npos);  // never ended by CR
  EXPECT_FALSE(PathExists(env.config() + "/Kestrel.ini"));
  EXPECT_FALSE(PathExists(env.home() + "/6350"));
}

TEST(CaptureTool, ReadsStandardInputAndRejectsBadOptions) {
  IsolatedSettings env;
  int status = 0;
  std::string out = RunCommand("printf 'a\\rb\\r' | " + std::string(HARROW_CAPTURE) + " --root " +
                            (env.dir() / "r") + " --replay -",
                        &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(out, "a\nb\n");

  RunCommand(std::string(HARROW_CAPTURE) + " --bogus 2>/dev/null", &status);
  EXPECT_EQ(status, 2);
  RunCommand(std::string(HARROW_CAPTURE) + " --replay 2>/dev/null", &status);
  EXPECT_EQ(status, 2);
  out = RunCommand(std::string(HARROW_CAPTURE) + " --replay " + (env.dir() / "absent") + " 2>&1", &status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(out.find("absent"), std::string::npos) << out;
  out = RunCommand(std::string(HARROW_CAPTURE) + " --help", &status);
  EXPECT_EQ(status, 0);
  for (const char* option : {"--replay", "--replay-log", "--port", "--list-ports", "--model", "--root"})
    EXPECT_NE(out.find(option), std::string::npos) << option;
}

// The contents of every file in a folder, in name order.
std::vector<std::string> FolderContents(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
    names.push_back(entry.path().string());
  std::sort(names.begin(), names.end());
  std::vector<std::string> contents;
  for (const std::string& name : names) contents.push_back(ReadFileBytes(name));
  return contents;
}

TEST(CaptureTool, ReplayingTheTrafficLogExportsTheSameReportsAgain) {
  IsolatedSettings env;
  const std::string transcript = std::string(HARROW_SOURCE_DIR) + "/samples/6310-english.txt";
  std::string first = env.dir() / "first", second = env.dir() / "second";
  int status = 0;
  // An unprintable line and a report left open at the end, as on a real day.
  WriteFileBytes(env.dir() / "extra.bin", "tab\there\r1) Pending\r  S#      ABS   mg/dL  x\r");
  RunCommand("cat " + transcript + " " + (env.dir() / "extra.bin") + " | " +
                 std::string(HARROW_CAPTURE) + " --quiet --model 6310 --root " + first + " --replay -",
             &status);
  ASSERT_EQ(status, 0);
  std::string log = first + "/Log/USB_Serial.log";
  ASSERT_NE(ReadFileBytes(log).find("\ttab\there\r\n"), std::string::npos);

  std::string out = RunCommand(std::string(HARROW_CAPTURE) + " --model 6310 --root " + second +
                                   " --replay-log " + log,
                               &status);
  ASSERT_EQ(status, 0);
  EXPECT_NE(out.find("tab\there\n"), std::string::npos);  // shown, as in the window
  std::vector<std::string> texts = FolderContents(first + "/Text");
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(FolderContents(second + "/Text"), texts);
  EXPECT_EQ(FolderContents(second + "/Excel"), FolderContents(first + "/Excel"));
  for (const std::string& text : texts) EXPECT_EQ(text.find("tab"), std::string::npos);
  EXPECT_EQ(texts.back(), "1) Pending\r\n  S#      ABS   mg/dL  x\r\n");
  // The log being read is not written to.
  EXPECT_FALSE(PathExists(second + "/Log/USB_Serial.log"));

  RunCommand(std::string(HARROW_CAPTURE) + " --replay-log " + (env.dir() / "absent.log") + " 2>/dev/null",
             &status);
  EXPECT_EQ(status, 1);
}

}  // namespace
