// Runs the real harrow-capture binary, as a user would.

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/spawn.h"
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
                            " --replay " + transcript + " 2>" + (env.dir() / "err"),
                        &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out, "1) Title\n  S#      ABS\n\tunprintable\n");
  // What reaches no report is told: the line with a TAB, the bytes without CR.
  std::string err = ReadFileBytes(env.dir() / "err");
  EXPECT_NE(err.find("\"\\tunprintable\" after line 2 of the .txt"), std::string::npos) << err;
  EXPECT_NE(err.find("as an unfinished line: \"partial\""), std::string::npos) << err;

  std::string log = ReadFileBytes(root + "/Log/USB_Serial.log");
  EXPECT_NE(log.find("SOFTWARE START"), std::string::npos);
  EXPECT_NE(log.find(":\t1) Title\r\n"), std::string::npos);
  EXPECT_NE(log.find(":\t\tunprintable\r\n"), std::string::npos);
  // Never ended by CR: an event line of the log, not a received line.
  EXPECT_NE(log.find(" -- unfinished line at the end of the capture (no carriage return): partial\r\n"),
            std::string::npos);
  EXPECT_EQ(log.find(":\tpartial"), std::string::npos);
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
  for (const char* option : {"--replay", "--replay-log", "--port", "--list-ports", "--model", "--root", "--verify"})
    EXPECT_NE(out.find(option), std::string::npos) << option;
  // This system's own names, whole lines in their places (Windows has its
  // own, checked by tests/wine/capture_console_run.sh).
  for (const char* text : {"\ninterrupted (Ctrl+C or SIGTERM); a report still pending then is exported.\n\n",
                           "below /dev (\"ttyUSB0\", \"dev/ttyUSB0\") or a full path\n",
                           "\nSettings are read from $XDG_CONFIG_HOME/Kestrel.ini (default ~/.config);\n",
                           "\nwritten there go to $XDG_DATA_HOME/harrow/unsaved (default ~/.local/share).\n\n",
                           "\nreplay was interrupted (Ctrl+C or SIGTERM) before the end of its input.\n"})
    EXPECT_NE(out.find(text), std::string::npos) << text;
  EXPECT_EQ(out.find("COM"), std::string::npos);
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

// The names in a folder, or none when it is missing.
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// Every .txt of a root has its .xls, and no temporary file is left; the
// number of reports.
size_t CheckExportPairs(const std::string& root) {
  std::vector<std::string> texts = Names(root + "/Text"), sheets = Names(root + "/Excel");
  for (const std::string& n : texts) EXPECT_EQ(n.find(".tmp-"), std::string::npos) << n;
  for (const std::string& n : sheets) EXPECT_EQ(n.find(".tmp-"), std::string::npos) << n;
  EXPECT_EQ(texts.size(), sheets.size());
  for (const std::string& t : texts) {
    std::string base = t.substr(0, t.size() - 4);
    EXPECT_TRUE(std::binary_search(sheets.begin(), sheets.end(), base + ".xls")) << t;
  }
  return texts.size();
}

TEST(CaptureTool, AFileSizeLimitIsAnErrorReportedAndSurvived) {
  IsolatedSettings env;
  std::string root = env.dir() / "root";
  int status = 0;
  std::string out = RunCommand("prlimit --fsize=1500 " + std::string(HARROW_CAPTURE) + " --model 6310 --root " +
                                   root + " --replay " + HARROW_SOURCE_DIR "/samples/6310-english.txt" +
                                   " 2>" + (env.dir() / "err"),
                               &status);
  std::string err = ReadFileBytes(env.dir() / "err");
  // Survived, but what the log and the Excel folder missed makes it a failure.
  EXPECT_EQ(status, 1) << err;
  // The limit holds in the unsaved folder too: the worksheet is saved nowhere.
  EXPECT_NE(err.find("harrow-capture: 1 report was not saved where it belongs (it is lost) and "), std::string::npos) << err;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 45);  // every line shown
  EXPECT_NE(err.find("The traffic log " + root + "/Log/USB_Serial.log refuses lines (write failed: File too large)"),
            std::string::npos)
      << err;
  // Told in the program's own name, as its other messages are.
  EXPECT_NE(err.find("harrow-capture: Cannot open file for writing: " + root + "/Excel/"), std::string::npos) << err;
  long long size = 0;
  ASSERT_TRUE(FileSize(root + "/Log/USB_Serial.log", &size));
  EXPECT_LE(size, 1500);
  std::string log = ReadFileBytes(root + "/Log/USB_Serial.log");
  EXPECT_EQ(log.substr(log.size() - 2), "\r\n");  // no line cut short
}

// Starts harrow-capture, waits until it has exported a report, sends it
// `signal` and returns its exit status (-1 when it died of a signal).
int InterruptAfterFirstReport(std::vector<std::string> args, const std::string& root, const std::string& out,
                              const std::string& err, int signal) {
  args.insert(args.begin(), HARROW_CAPTURE);
  pid_t pid = SpawnWithOutput(args, out, err);
  for (int i = 0; i < 2000 && Names(root + "/Text").empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ::kill(pid, signal);
  int rc = 0;
  ::waitpid(pid, &rc, 0);
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

TEST(CaptureTool, AStoppedReplayExportsTheReportInHandRemovesNothingHalfAndSaysHowFarItGot) {
  IsolatedSettings env;
  std::string sample = ReadFileBytes(HARROW_SOURCE_DIR "/samples/6310-english.txt");
  std::string input;
  for (int i = 0; i < 2000; ++i) input += sample;
  WriteFileBytes(env.dir() / "long.txt", input);
  std::string root = env.dir() / "root";
  int status = InterruptAfterFirstReport({"--quiet", "--model", "6310", "--root", root, "--replay", env.dir() / "long.txt"},
                                         root, env.dir() / "out", env.dir() / "err", SIGTERM);
  std::string err = ReadFileBytes(env.dir() / "err");
  EXPECT_EQ(status, 3) << err;
  EXPECT_NE(err.find("harrow-capture: replay interrupted: replayed "), std::string::npos) << err;
  EXPECT_NE(err.find(" of " + std::to_string(input.size()) + " bytes"), std::string::npos) << err;
  size_t reports = CheckExportPairs(root);
  EXPECT_GE(reports, 1u);
  EXPECT_LT(reports, 2000u);

  // The same for a traffic log, stopped with Ctrl+C.
  std::string log;
  for (size_t at = 0; at < input.size();) {
    size_t end = input.find('\r', at);
    if (end == std::string::npos) break;
    log += "12/06/26 01:23:45:\t" + input.substr(at, end - at) + "\r\n";
    at = end + 1;
    if (at < input.size() && input[at] == '\n') ++at;
  }
  WriteFileBytes(env.dir() / "long.log", log);
  std::string again = env.dir() / "again";
  status = InterruptAfterFirstReport({"--quiet", "--model", "6310", "--root", again, "--replay-log", env.dir() / "long.log"},
                                     again, env.dir() / "out2", env.dir() / "err2", SIGINT);
  err = ReadFileBytes(env.dir() / "err2");
  EXPECT_EQ(status, 3) << err;
  EXPECT_NE(err.find(" of 90000 recorded lines"), std::string::npos) << err;
  reports = CheckExportPairs(again);
  EXPECT_GE(reports, 1u);
  EXPECT_LT(reports, 2000u);
}

TEST(CaptureTool, AtStartTheLitterOfAKilledCaptureGoesAndTheCutShortExportIsNamed) {
  IsolatedSettings env;
  std::string root = env.dir() / "root";
  std::filesystem::create_directories(root + "/Text");
  std::filesystem::create_directories(root + "/Excel");
  pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  WriteFileBytes(root + "/Text/26_12_06_01_15_23.txt", "1) A\r\n");
  std::string temp = root + "/Excel/26_12_06_01_15_23.xls.tmp-" + MachineName() + "-" + std::to_string(gone) + "-Q1w2E3";
  WriteFileBytes(temp, "half");
  int status = 0;
  std::string out = RunCommand("printf '' | " + std::string(HARROW_CAPTURE) + " --model 6310 --root " + root +
                                   " --replay - 2>&1",
                               &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(out.find("An export was cut short when the capture last ended:\n" + root +
                     "/Excel/26_12_06_01_15_23.xls was never written (the report is in " + root +
                     "/Text/26_12_06_01_15_23.txt)"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("harrow-capture --replay-log \"" + root + "/Log/USB_Serial.log\""), std::string::npos) << out;
  EXPECT_FALSE(PathExists(temp));
}

// The lines of a text, without their line ends.
std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0, end;
  while ((end = text.find('\n', start)) != std::string::npos) {
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

TEST(CaptureTool, TheManifestProvesEachReportAndVerifyNamesEveryChange) {
  IsolatedSettings env;
  const std::string root = env.dir() / "root", transcript = env.dir() / "in.bin";
  const std::string sample = ReadFileBytes(std::string(HARROW_SOURCE_DIR) + "/samples/6350-english.txt");
  WriteFileBytes(transcript, sample + sample + sample + sample);
  int status = 0;
  // A zone of its own shows the UTC offset is the local one.
  RunCommand("TZ=XST-5:30 " + std::string(HARROW_CAPTURE) + " --quiet --model 6350 --root " + root +
                 " --replay " + transcript,
             &status);
  ASSERT_EQ(status, 0);
  std::vector<std::string> lines = LinesOf(ReadFileBytes(root + "/Manifest/manifest.jsonl"));
  ASSERT_EQ(lines.size(), 4u);
  const std::regex fileRe("\\{\"name\":\"([^\"]+)\",\"size\":([0-9]+),\"sha256\":\"([0-9a-f]{64})\"\\}");
  const std::regex timeRe("\"firstLine\":\"\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\+05:30\",\"endLine\":\"[^\"]+\\+05:30\"");
  std::vector<std::string> reports;
  for (const std::string& line : lines) {
    std::smatch m;
    ASSERT_TRUE(std::regex_search(line, m, std::regex("^\\{\"report\":\"([^\"]+)\",\"model\":6350,\"port\":null,")))
        << line;
    reports.push_back(m[1]);
    EXPECT_TRUE(std::regex_search(line, timeRe)) << line;
    EXPECT_NE(line.find("\"lines\":81,"), std::string::npos) << line;
    int files = 0;
    for (std::sregex_iterator it(line.begin(), line.end(), fileRe), end; it != end; ++it, ++files) {
      std::string name = (*it)[1];
      std::string summed = RunCommand("cd " + root + " && sha256sum " + name, &status);
      EXPECT_EQ(summed, (*it)[3].str() + "  " + name + "\n");
      EXPECT_EQ(std::to_string(std::filesystem::file_size(root + "/" + name)), (*it)[2].str());
    }
    EXPECT_EQ(files, 2) << line;
  }
  std::string out = RunCommand(std::string(HARROW_CAPTURE) + " --verify " + root, &status);
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(LinesOf(out).size(), 5u) << out;
  for (const std::string& report : reports) EXPECT_NE(out.find("ok " + report + "\n"), std::string::npos) << out;

  // One byte of an .xls, a .txt deleted, a manifest line dropped, a stray file.
  std::string xls = root + "/Excel/" + reports[0] + ".xls", bytes = ReadFileBytes(xls);
  bytes[bytes.size() / 2] ^= 1;
  WriteFileBytes(xls, bytes);
  std::filesystem::remove(root + "/Text/" + reports[1] + ".txt");
  WriteFileBytes(root + "/Manifest/manifest.jsonl", lines[0] + "\n" + lines[1] + "\n" + lines[3] + "\n");
  WriteFileBytes(root + "/Excel/stray.xls", "x");
  // ROOT left out: the model's root.
  out = RunCommand(std::string(HARROW_CAPTURE) + " --model 6350 --root " + root + " --verify", &status);
  EXPECT_EQ(status, 4) << out;
  std::vector<std::string> told = LinesOf(out);
  ASSERT_FALSE(told.empty());
  told.pop_back();
  EXPECT_EQ(told, (std::vector<std::string>{
                      "altered " + reports[0] + " Excel/" + reports[0] + ".xls",
                      "missing " + reports[1] + " Text/" + reports[1] + ".txt",
                      "chain broken at line 3",
                      "ok " + reports[3],
                      "unrecorded Excel/" + reports[2] + ".xls",
                      "unrecorded Excel/stray.xls",
                      "unrecorded Text/" + reports[2] + ".txt",
                  }));
}

}  // namespace
