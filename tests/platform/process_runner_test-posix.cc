// Running a site's program: arguments reach it unchanged without a shell,
// its environment carries what was added, and every way it can fail is
// reported.

#include "platform/process_runner.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace {

std::string Script(const TempDir& dir, const std::string& name, const std::string& body) {
  const std::string path = dir / name;
  WriteFileBytes(path, "#!/bin/sh\n" + body);
  ::chmod(path.c_str(), 0755);
  return path;
}

TEST(ProcessRunnerPosix, ArgumentsAndEnvironmentArriveUnchanged) {
  TempDir dir;
  const std::string out = dir / "args";
  const std::string script = Script(dir, "rec ord ü.sh",
                                    "for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done >\"$OUT\"\n"
                                    "printf '%s|%s\\n' \"$HARROW_REPORT\" \"$HOME\" >>\"$OUT\"\n");
  ProcessResult r = RunProcess({script, "a b", "$HOME", "'q\"", "", "Prüfung; rm -rf x"},
                               {{"OUT", out}, {"HARROW_REPORT", "26_12_08"}, {"HOME", "/nowhere"}},
                               std::chrono::seconds(10));
  EXPECT_EQ(r.outcome, ProcessResult::kExited) << r.startError;
  EXPECT_EQ(r.exitStatus, 0);
  EXPECT_EQ(ReadFileBytes(out), "[a b]\n[$HOME]\n['q\"]\n[]\n[Prüfung; rm -rf x]\n26_12_08|/nowhere\n");
}

TEST(ProcessRunnerPosix, FailuresTellTheirStatusAndErrorOutput) {
  TempDir dir;
  const std::string fails = Script(dir, "fails", "echo first >&2\necho second >&2\nexit 3\n");
  // The background sleep keeps the error pipe open after the script ends.
  const std::string slow = Script(dir, "slow", "echo waiting >&2\nsleep 30 &\nsleep 30\n");
  auto start = std::chrono::steady_clock::now();
  ProcessResult r = RunProcess({fails}, {}, std::chrono::seconds(10));
  EXPECT_EQ(r.outcome, ProcessResult::kExited);
  EXPECT_EQ(r.exitStatus, 3);
  EXPECT_EQ(r.errorHead, "first\nsecond");

  r = RunProcess({slow}, {}, std::chrono::milliseconds(300));
  EXPECT_EQ(r.outcome, ProcessResult::kTimedOut);
  EXPECT_EQ(r.errorHead, "waiting");
  EXPECT_NE(r.exitStatus, 0);

  r = RunProcess({dir / "missing"}, {}, std::chrono::seconds(10));
  EXPECT_EQ(r.outcome, ProcessResult::kNotStarted);
  EXPECT_NE(r.startError.find("No such file"), std::string::npos) << r.startError;
  r = RunProcess({"harrow-no-such-program"}, {}, std::chrono::seconds(10));
  EXPECT_EQ(r.outcome, ProcessResult::kNotStarted);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8));
}

}  // namespace
