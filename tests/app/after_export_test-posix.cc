// The command after export: every way it fails is told with the report,
// the exit status and its error output, and a hanging one is stopped.

#include "app/after_export.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "tests/test_support.h"

namespace {

TEST(AfterExport, TheCommandLineSplitsAtBlanksOutsideQuotes) {
  std::vector<std::string> argv;
  std::string err;
  ASSERT_TRUE(SplitCommand("  \"C:\\Lab Tools\\up.exe\" -t \"\" a\"b c\"  ", &argv, &err));
  EXPECT_EQ(argv, (std::vector<std::string>{"C:\\Lab Tools\\up.exe", "-t", "", "ab c"}));
  EXPECT_FALSE(SplitCommand("up \"half", &argv, &err));
  EXPECT_EQ(err, "a quote is not closed");
}

TEST(AfterExport, FailuresAreToldAndAHangingCommandIsStopped) {
  TempDir dir;
  const std::string fails = dir / "fails.sh", sleeps = dir / "sleeps.sh";
  WriteFileBytes(fails, "#!/bin/sh\necho \"cannot reach $1\" >&2\nexit 3\n");
  WriteFileBytes(sleeps, "#!/bin/sh\nsleep 30\n");
  ::chmod(fails.c_str(), 0755);
  ::chmod(sleeps.c_str(), 0755);
  RecordingNoticeSink notices;
  AfterExport after(notices);
  after.SetTimeLimit(std::chrono::milliseconds(300));
  auto start = std::chrono::steady_clock::now();
  after.Run({fails, "r1", "6310", {"/root/Text/r1.txt"}});
  after.Run({sleeps, "r2", "6310", {}});
  after.Run({dir / "missing.sh", "r3", "6310", {}});
  after.Run({"up \"half", "r4", "6310", {}});
  after.Run({"true", "r5", "6310", {}});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));  // never waits
  ASSERT_TRUE(after.Stop(std::chrono::seconds(10)));
  ASSERT_EQ(notices.notices.size(), 4u) << ::testing::PrintToString(notices.notices);
  EXPECT_EQ(notices.notices[0], "The command after export (AfterExport=" + fails +
                                    ") for the report r1 ended with exit status 3; its error output began:\n"
                                    "cannot reach /root/Text/r1.txt");
  EXPECT_NE(notices.notices[1].find("report r2 was stopped after 0 s"), std::string::npos) << notices.notices[1];
  EXPECT_NE(notices.notices[2].find("report r3 could not be started: No such file"), std::string::npos)
      << notices.notices[2];
  EXPECT_NE(notices.notices[3].find("a quote is not closed"), std::string::npos) << notices.notices[3];
}

}  // namespace
