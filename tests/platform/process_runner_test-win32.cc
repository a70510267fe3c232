// The command line as the started program parses it back, and CreateProcess
// reporting each way a program can end.

#include "platform/process_runner.h"

#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

namespace {

std::string Narrow(const wchar_t* text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
  out.resize(out.size() - 1);
  return out;
}

TEST(ProcessRunnerWin32, TheCommandLineParsesBackToTheArguments) {
  std::vector<std::string> argv = {"C:\\Program Files\\up.exe", "", "a b", "\\\\server\\my share\\",
                                   "say \"hi\"", "a\\\\\"b", "Prüfung 1", "C:\\x\\"};
  std::string line = WindowsCommandLine(argv);
  int n = MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, line.c_str(), -1, wide.data(), n);
  int count = 0;
  wchar_t** parsed = CommandLineToArgvW(wide.c_str(), &count);
  ASSERT_NE(parsed, nullptr);
  std::vector<std::string> back;
  for (int i = 0; i < count; ++i) back.push_back(Narrow(parsed[i]));
  LocalFree(parsed);
  EXPECT_EQ(back, argv) << line;
}

TEST(ProcessRunnerWin32, ExitStatusTimeOutAndMissingProgramAreTold) {
  ProcessResult r = RunProcess({"cmd.exe", "/c", "echo broken 1>&2 & exit 3"}, {}, std::chrono::seconds(30));
  EXPECT_EQ(r.outcome, ProcessResult::kExited) << r.startError;
  EXPECT_EQ(r.exitStatus, 3);
  EXPECT_NE(r.errorHead.find("broken"), std::string::npos) << r.errorHead;
  r = RunProcess({"cmd.exe", "/c", "if \"%HARROW_REPORT%\"==\"26_12_08\" exit 7"}, {{"HARROW_REPORT", "26_12_08"}},
                 std::chrono::seconds(30));
  EXPECT_EQ(r.exitStatus, 7);
  // A loop that would run for minutes: stopped at the limit.
  auto start = std::chrono::steady_clock::now();
  r = RunProcess({"cmd.exe", "/c", "for /l %i in (1,1,100000000) do @rem"}, {}, std::chrono::milliseconds(500));
  EXPECT_EQ(r.outcome, ProcessResult::kTimedOut);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  r = RunProcess({"harrow-no-such-program.exe"}, {}, std::chrono::seconds(30));
  EXPECT_EQ(r.outcome, ProcessResult::kNotStarted);
  EXPECT_FALSE(r.startError.empty());
}

}  // namespace
