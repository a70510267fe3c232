// Exports on a file system that refuses bytes: a file-size limit set in a
// child process makes every write beyond it fail as a full disk would.

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <set>

#include <gtest/gtest.h>

#include "export/report_export.h"
#include "export/text_report.h"
#include "export/workbook.h"
#include "tests/export/export_fixture.h"
#include "tests/export/export_test_support.h"
#include "tests/export/golden_workbooks.h"

namespace {

TEST_F(ExportTest, UnwritableFoldersSendTheReportToTheUnsavedFolder) {
  // A root below a regular file: neither it nor its folders can ever exist.
  WriteFileBytes(env_.dir() / "plain", "x");
  target_ = TargetBelow(env_.dir() / "plain/root");
  TextReport report;
  report.lines = {"X", "Y", "Z"};
  Workbook wb;
  BuildWorkedExample(wb);
  ExportName name = ChooseExportName(time_, target_);
  EXPECT_FALSE(ExportTextReport(report, name, target_, notices_));
  EXPECT_FALSE(ExportWorkbookFiles(wb, name, target_, notices_));
  std::string folder = env_.dir() / "plain/root";
  ASSERT_EQ(notices_.notices.size(), 2u);
  EXPECT_EQ(notices_.notices[0], "Cannot open file for writing: " + folder + "/Text/26_12_06_01_15_23.txt" +
                                     "\nNot a directory\nThe report was saved instead as " + unsaved() +
                                     "/26_12_06_01_15_23.txt");
  EXPECT_EQ(notices_.notices[1].rfind("Cannot open file for writing: " + folder + "/Excel/26_12_06_01_15_23.xls\n", 0),
            0u)
      << notices_.notices[1];
  EXPECT_EQ(ReadFileBytes(unsaved() + "/26_12_06_01_15_23.txt"), GoldenFile("xyz.txt"));
  EXPECT_EQ(ReadFileBytes(unsaved() + "/26_12_06_01_15_23.xls"), GoldenFile("worked_example.xls"));

  // The same report name again: the unsaved copy gets its own number.
  notices_.notices.clear();
  EXPECT_FALSE(ExportTextReport(report, name, target_, notices_));
  ASSERT_EQ(notices_.notices.size(), 1u);
  EXPECT_NE(notices_.notices[0].find(unsaved() + "/26_12_06_01_15_23_2.txt"), std::string::npos);

  // When the unsaved folder cannot be made either, the notice says the report is lost.
  ScopedEnv data("XDG_DATA_HOME", env_.dir() / "plain/data");
  notices_.notices.clear();
  EXPECT_FALSE(ExportWorkbookFiles(wb, name, target_, notices_));
  ASSERT_EQ(notices_.notices.size(), 1u);
  EXPECT_NE(notices_.notices[0].find("could not be saved anywhere else either"), std::string::npos);
  EXPECT_NE(notices_.notices[0].find("this report is lost"), std::string::npos);
}

// Runs `body` in a child process whose files may grow to `limit` bytes; a
// write beyond it fails with EFBIG instead of killing the process. The
// child's notices come back through a pipe.
std::string WithFileSizeLimit(rlim_t limit, const std::function<void(NoticeSink&)>& body) {
  int fds[2];
  if (::pipe(fds) != 0) return "<pipe failed>";
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit rl{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &rl);
    RecordingNoticeSink sink;
    body(sink);
    std::string all;
    for (const std::string& n : sink.notices) all += n + "\n--\n";
    ssize_t ignored = ::write(fds[1], all.data(), all.size());
    (void)ignored;
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string out;
  char buf[4096];
  ssize_t n;
  while ((n = ::read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "<child failed>";
  return out;
}


TEST_F(ExportTest, AFullDiskNeverLeavesATruncatedFile) {
  Workbook wb;
  AddReportFonts(wb);
  for (uint32_t r = 0; r < 200; ++r) wb.CellAt(r, 1).SetText("a line of the report that makes the file grow");
  TextReport small;
  small.lines = {"X", "Y", "Z"};
  target_.formats = ParseExportFormats("xls,csv,xlsx");
  std::string notices = WithFileSizeLimit(2000, [&](NoticeSink& sink) {
    ExportName name = ChooseExportName(time_, target_);
    bool text = ExportTextReport(small, name, target_, sink);
    bool book = ExportWorkbookFiles(wb, name, target_, sink);
    if (!text || book) ::_exit(3);
  });
  ASSERT_NE(notices, "<child failed>");
  // The small text file fits; each of the three worksheet files is refused, in
  // its folder and in the unsaved folder alike.
  EXPECT_EQ(ReadFileBytes(text("26_12_06_01_15_23.txt")), GoldenFile("xyz.txt"));
  EXPECT_EQ(Files(root() + "/Excel"), std::set<std::string>{});
  EXPECT_EQ(Files(unsaved()), std::set<std::string>{});
  for (const char* ext : {".xls\n", ".csv\n", ".xlsx\n"}) {
    std::string head = "Cannot open file for writing: " + excel("26_12_06_01_15_23") + ext;
    EXPECT_NE(notices.find(head), std::string::npos) << ext << notices;
  }
  EXPECT_NE(notices.find("File too large"), std::string::npos) << notices;
  EXPECT_NE(notices.find("this report is lost"), std::string::npos) << notices;
}

}  // namespace
