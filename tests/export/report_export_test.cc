#include "export/report_export.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "platform/clock.h"
#include "app/settings.h"
#include "export/text_report.h"
#include "export/workbook.h"
#include "tests/export/export_test_support.h"
#include "tests/export/golden_workbooks.h"

namespace {

/// Settings in a temporary folder, with the configured model's root at root().
class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::mkdir(root().c_str(), 0777);
    OverrideSetting("DevType", "6310");
    OverrideSetting("6310_Root", root());
  }
  std::string root() const { return env_.dir() / "root"; }
  std::string unsaved() const { return env_.dir() / "data/harrow/unsaved"; }
  std::string excel(const std::string& name) const { return root() + "/Excel/" + name; }
  std::string text(const std::string& name) const { return root() + "/Text/" + name; }

  /// Names of the files in a folder (none when it does not exist).
  static std::set<std::string> Files(const std::string& folder) {
    std::set<std::string> names;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec); !ec && it != std::filesystem::directory_iterator();
         it.increment(ec))
      names.insert(it->path().filename().string());
    return names;
  }

  IsolatedSettings env_;
  RecordingNoticeSink notices_;
  std::tm time_ = MakeLocalTime(2026, 12, 6, 1, 15, 23);
};

TEST_F(ExportTest, OneReportGivesTwoFilesWithOneBaseName) {
  TextReport report;
  report.lines = {"X", "Y", "Z"};
  Workbook wb;
  BuildWorkedExample(wb);
  ExportName name = ChooseExportName(time_);
  EXPECT_EQ(name.base, "26_12_06_01_15_23");
  EXPECT_TRUE(ExportTextReport(report, name, notices_));
  EXPECT_TRUE(ExportWorkbookFiles(wb, name, notices_));
  EXPECT_TRUE(notices_.notices.empty());
  EXPECT_EQ(FirstDifference(GoldenFile("xyz.txt"), ReadFileBytes(text("26_12_06_01_15_23.txt"))), "");
  EXPECT_EQ(BiffDifference(GoldenFile("worked_example.xls"), ReadFileBytes(excel("26_12_06_01_15_23.xls"))), "");
  // Without the setting only the .xls is written, and no temporary file is left.
  EXPECT_EQ(Files(root() + "/Excel"), std::set<std::string>{"26_12_06_01_15_23.xls"});
  EXPECT_EQ(Files(root() + "/Text"), std::set<std::string>{"26_12_06_01_15_23.txt"});

  // An empty report still gives an empty .txt and a valid .xls.
  TextReport empty;
  Workbook blank;
  AddReportFonts(blank);
  ExportName second = ChooseExportName(time_);
  EXPECT_EQ(second.base, "26_12_06_01_15_23_2");
  EXPECT_TRUE(ExportTextReport(empty, second, notices_));
  EXPECT_TRUE(ExportWorkbookFiles(blank, second, notices_));
  EXPECT_EQ(ReadFileBytes(text("26_12_06_01_15_23_2.txt")), "");
  EXPECT_EQ(ReadFileBytes(excel("26_12_06_01_15_23_2.xls")), GoldenFile("empty_report.xls"));
  // The first report's files are untouched.
  EXPECT_EQ(ReadFileBytes(text("26_12_06_01_15_23.txt")), GoldenFile("xyz.txt"));
  EXPECT_EQ(ReadFileBytes(excel("26_12_06_01_15_23.xls")), GoldenFile("worked_example.xls"));
}

TEST_F(ExportTest, NamesSkipEveryFileOfTheReport) {
  ::mkdir((root() + "/Excel").c_str(), 0777);
  ::mkdir((root() + "/Text").c_str(), 0777);
  EXPECT_EQ(ChooseExportName(time_).base, "26_12_06_01_15_23");
  WriteFileBytes(text("26_12_06_01_15_23.txt"), "a");
  WriteFileBytes(excel("26_12_06_01_15_23_2.xls"), "b");
  WriteFileBytes(excel("26_12_06_01_15_23_3.xlsx"), "c");
  WriteFileBytes(excel("26_12_06_01_15_23_4.csv"), "d");
  ExportName name = ChooseExportName(time_);
  EXPECT_EQ(name.base, "26_12_06_01_15_23_5");
  EXPECT_EQ(name.time.tm_sec, 23);
}

TEST_F(ExportTest, AnExistingFileIsNeverReplaced) {
  // A file that appears between choosing the name and writing: the writer
  // refuses it and the report goes to the unsaved folder.
  ::mkdir((root() + "/Excel").c_str(), 0777);
  WriteFileBytes(excel("26_12_06_01_15_23.xls"), "someone else's");
  Workbook wb;
  BuildWorkedExample(wb);
  EXPECT_FALSE(ExportWorkbookFiles(wb, ExportName{time_, "26_12_06_01_15_23"}, notices_));
  EXPECT_EQ(ReadFileBytes(excel("26_12_06_01_15_23.xls")), "someone else's");
  ASSERT_EQ(notices_.notices.size(), 1u);
  EXPECT_EQ(notices_.notices[0], "Cannot open file for writing: " + excel("26_12_06_01_15_23.xls") +
                                     "\ncannot create file: File exists\nThe report was saved instead as " +
                                     unsaved() + "/26_12_06_01_15_23.xls");
  EXPECT_EQ(ReadFileBytes(unsaved() + "/26_12_06_01_15_23.xls"), GoldenFile("worked_example.xls"));
}

TEST_F(ExportTest, UnwritableFoldersSendTheReportToTheUnsavedFolder) {
  // A root below a regular file: neither it nor its folders can ever exist.
  WriteFileBytes(env_.dir() / "plain", "x");
  OverrideSetting("6310_Root", env_.dir() / "plain/root");
  TextReport report;
  report.lines = {"X", "Y", "Z"};
  Workbook wb;
  BuildWorkedExample(wb);
  ExportName name = ChooseExportName(time_);
  EXPECT_FALSE(ExportTextReport(report, name, notices_));
  EXPECT_FALSE(ExportWorkbookFiles(wb, name, notices_));
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
  EXPECT_FALSE(ExportTextReport(report, name, notices_));
  ASSERT_EQ(notices_.notices.size(), 1u);
  EXPECT_NE(notices_.notices[0].find(unsaved() + "/26_12_06_01_15_23_2.txt"), std::string::npos);

  // When the unsaved folder cannot be made either, the notice says the report is lost.
  ScopedEnv data("XDG_DATA_HOME", env_.dir() / "plain/data");
  notices_.notices.clear();
  EXPECT_FALSE(ExportWorkbookFiles(wb, name, notices_));
  ASSERT_EQ(notices_.notices.size(), 1u);
  EXPECT_NE(notices_.notices[0].find("could not be saved anywhere else either"), std::string::npos);
  EXPECT_NE(notices_.notices[0].find("this report is lost"), std::string::npos);
}

TEST_F(ExportTest, FormatsSetting) {
  EXPECT_TRUE(ParseExportFormats("").xls);
  EXPECT_FALSE(ParseExportFormats("").xlsx);
  ExportFormats all = ParseExportFormats(" xls, XLSX ,csv,,pdf");
  EXPECT_TRUE(all.xls && all.xlsx && all.csv);
  ExportFormats csv = ParseExportFormats("csv");
  EXPECT_TRUE(!csv.xls && !csv.xlsx && csv.csv);
  ExportFormats unknown = ParseExportFormats("pdf, xlsm");
  EXPECT_TRUE(unknown.xls && !unknown.xlsx && !unknown.csv);

  OverrideSetting("ExportFormats", "xls,xlsx,csv");
  Workbook wb;
  BuildWorkedExample(wb);
  ExportName name = ChooseExportName(time_);
  EXPECT_TRUE(ExportWorkbookFiles(wb, name, notices_));
  EXPECT_TRUE(notices_.notices.empty());
  EXPECT_EQ(Files(root() + "/Excel"),
            (std::set<std::string>{"26_12_06_01_15_23.xls", "26_12_06_01_15_23.xlsx", "26_12_06_01_15_23.csv"}));
  // The .xls is the same bytes whatever else is written.
  EXPECT_EQ(ReadFileBytes(excel("26_12_06_01_15_23.xls")), GoldenFile("worked_example.xls"));
  EXPECT_EQ(ReadFileBytes(excel("26_12_06_01_15_23.csv")), "abc,\r\n,2.5\r\n");
  EXPECT_EQ(ReadFileBytes(excel("26_12_06_01_15_23.xlsx")).substr(0, 2), "PK");
  // Every format counts when the next name is chosen.
  EXPECT_EQ(ChooseExportName(time_).base, "26_12_06_01_15_23_2");
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
  OverrideSetting("ExportFormats", "xls,csv,xlsx");
  std::string notices = WithFileSizeLimit(2000, [&](NoticeSink& sink) {
    ExportName name = ChooseExportName(time_);
    bool text = ExportTextReport(small, name, sink);
    bool book = ExportWorkbookFiles(wb, name, sink);
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
