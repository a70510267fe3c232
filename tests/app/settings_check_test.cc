// What the settings hold that cannot be used as written reaches the user
// once, through the session both windows and harrow-capture drive.

#include "app/settings_check.h"

#include <algorithm>
#include <string>

#include <gtest/gtest.h>

#include "app/capture_session.h"
#include "app/settings.h"
#include "platform/platform.h"
#include "tests/test_support.h"

namespace {

class NoLines : public LineList {
 public:
  void AddLine(const std::string&) override {}
};

size_t CountHolding(const std::vector<std::string>& texts, const std::string& part) {
  return static_cast<size_t>(
      std::count_if(texts.begin(), texts.end(), [&](const std::string& t) { return t.find(part) != std::string::npos; }));
}

TEST(SettingsCheck, EachProblemIsToldOnceWithWhatIsUsedInsteadAndAgainOnlyAfterItWasMended) {
  IsolatedSettings env;
  EXPECT_TRUE(SettingsProblems().empty());
  WriteSetting("DevType", "abc");
  WriteSetting("ExportFormats", "PDF, xls,xlsx");
  WriteSetting("ComPort", "");
  std::vector<std::string> problems = SettingsProblems();
  ASSERT_EQ(problems.size(), 3u);
  EXPECT_NE(problems[0].find("The model \"abc\" (DevType) is not one Harrow knows"), std::string::npos);
  EXPECT_NE(problems[0].find(TextFolder()), std::string::npos) << problems[0];
  EXPECT_NE(problems[1].find("\"pdf\", a format Harrow does not write"), std::string::npos);
  EXPECT_NE(problems[1].find("saved as .xls and .xlsx."), std::string::npos) << problems[1];
  EXPECT_EQ(problems[2], std::string("No port is set (ComPort is empty): Harrow opens \"") + kDefaultComPort +
                             "\". Choose the reader's port in Settings.");
  EXPECT_EQ(ReadComPort(), kDefaultComPort);

  FixedClock clock{MakeLocalTime(2026, 12, 8, 9, 0, 0)};
  RecordingNoticeSink notices;
  NoLines lines;
  CaptureSession session(clock, notices, lines);
  session.ApplySettings();
  session.ApplySettings();
  EXPECT_EQ(notices.notices.size(), 3u);
  WriteSetting("DevType", "6310");
  session.ApplySettings();
  WriteSetting("DevType", "abc");
  session.ApplySettings();
  EXPECT_EQ(CountHolding(notices.notices, "(DevType)"), 2u);

  // A root that cannot be made is told once, naming the cause and where
  // the reports go meanwhile.
  WriteFileBytes(env.dir() / "file", "");
  WriteSetting("DevType", "6310");
  WriteSetting("6310_Root", env.dir() / "file" + kPathSeparator + "root");
  session.ApplySettings();
  session.ApplySettings();
  ASSERT_EQ(CountHolding(notices.notices, "The root folder"), 1u);
  std::string unsaved, err;
  ASSERT_TRUE(UnsavedReportsFolder(&unsaved, &err));
  EXPECT_EQ(CountHolding(notices.notices, "cannot be made (" + env.dir() / "file: "), 1u);
  EXPECT_EQ(CountHolding(notices.notices, "reports are saved in " + unsaved), 1u);

  // Where port names are short, a longer one is told whole.
  if (kComPortLength < 100) {
    WriteSetting("ComPort", "/dev/ttyUSB0");
    EXPECT_EQ(CountHolding(SettingsProblems(), "The port \"/dev/ttyUSB0\" (ComPort) is longer"), 1u);
  }
}

TEST(SettingsCheck, ASettingsFileThatCannotBeUsedAndARootTooLongAreToldOnceWithWhatIsUsed) {
  IsolatedSettings env;
  FixedClock clock{MakeLocalTime(2026, 12, 8, 9, 0, 0)};
  RecordingNoticeSink notices;
  NoLines lines;
  CaptureSession session(clock, notices, lines);
  ASSERT_TRUE(MakeDirectories(SettingsFolder()));
  // What Notepad writes is read; a file of no text is told, with the
  // built-in settings that are used instead.
  WriteFileBytes(SettingsFilePath(), "\xEF\xBB\xBF[Kestrel]\r\nDevType=6480\r\n");
  EXPECT_TRUE(SettingsProblems().empty());
  EXPECT_EQ(ReadModel(), InstrumentModel::M6480);
  WriteFileBytes(SettingsFilePath(), std::string("[Kestrel]\0\0\0DevType=6480", 23));
  session.ApplySettings();
  session.ApplySettings();
  ASSERT_EQ(notices.notices.size(), 1u);
  EXPECT_EQ(CountHolding(notices.notices, SettingsFilePath() + " is not text"), 1u);
  EXPECT_EQ(CountHolding(notices.notices, "Harrow uses the model \"6310\", the root folder " + ReadRootFolder("")), 1u);

  // A root longer than a root may be: made nowhere, and the reports go to
  // the folder for unsaved reports.
  std::string tooLong = env.dir() / std::string(300, 'r');
  WriteFileBytes(SettingsFilePath(), "[Kestrel]\nDevType=6310\n6310_Root=" + tooLong + "\n");
  session.ApplySettings();
  session.ApplySettings();
  std::string unsaved, err;
  ASSERT_TRUE(UnsavedReportsFolder(&unsaved, &err));
  EXPECT_EQ(CountHolding(notices.notices, "The root folder " + tooLong + " cannot be made (the name is " +
                                              std::to_string(tooLong.size()) + " characters long"),
            1u);
  EXPECT_EQ(CountHolding(notices.notices, "reports are saved in " + unsaved), 1u);
  EXPECT_FALSE(PathExists(tooLong.substr(0, 259)));
}

}  // namespace

namespace {

TEST(SettingsCheck, DeliveryAndCommandSettingsThatCannotBeUsedAreTold) {
  IsolatedSettings env;
  WriteSetting("OutboxFolder", env.dir() / "missing share");  // down for now: told at delivery
  WriteSetting("OutboxFormats", "results, pdf");
  WriteSetting("AfterExport", "\"C:\\Lab Tools\\up.exe -v");
  std::vector<std::string> problems = SettingsProblems();
  ASSERT_EQ(problems.size(), 2u) << ::testing::PrintToString(problems);
  EXPECT_NE(problems[0].find("OutboxFormats names \"pdf\", a format Harrow does not deliver"), std::string::npos);
  EXPECT_NE(problems[1].find("(AfterExport) cannot be read: a quote is not closed"), std::string::npos);

  WriteFileBytes(env.dir() / "outbox", "");
  WriteSetting("OutboxFolder", env.dir() / "outbox");
  WriteSetting("OutboxFormats", "");
  WriteSetting("AfterExport", "up.sh -v");
  problems = SettingsProblems();
  ASSERT_EQ(problems.size(), 1u) << ::testing::PrintToString(problems);
  EXPECT_EQ(problems[0], "The outbox " + (env.dir() / "outbox") +
                             " (OutboxFolder) is a file, not a folder: reports wait in the delivery queue until "
                             "it names a folder. Choose another outbox folder.");
}

}  // namespace
