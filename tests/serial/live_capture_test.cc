// The live capture from end to end: reader-sim plays the reader on a
// pseudo-terminal, harrow-capture captures from it, and what it shows,
// logs and exports is compared with a --replay of the same bytes.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "tests/spawn.h"
#include "tests/test_support.h"

namespace {

namespace fs = std::filesystem;

// A child process with its standard output and error in files.
class Process {
 public:
  Process(std::vector<std::string> args, const std::string& out, const std::string& err) {
    pid_ = SpawnWithOutput(std::move(args), out, err);
  }
  ~Process() {
    if (pid_ > 0 && status_ < 0) {
      ::kill(pid_, SIGKILL);
      Wait(5);
    }
  }
  void Signal(int sig) { ::kill(pid_, sig); }
  /// The exit status, or -1 when it has not ended within `seconds`.
  int Wait(int seconds) {
    for (int i = 0; i < seconds * 100 && status_ < 0; ++i) {
      int st;
      if (::waitpid(pid_, &st, WNOHANG) == pid_) {
        status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    }
    return status_;
  }

 private:
  pid_t pid_ = -1;
  int status_ = -1;
};

bool WaitUntil(const std::function<bool()>& done, int seconds = 10) {
  for (int i = 0; i < seconds * 100; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

bool Contains(const std::string& path, const std::string& text) {
  return ReadFileBytes(path).find(text) != std::string::npos;
}

// The received lines of a traffic log, without their time stamps.
std::vector<std::string> LoggedLines(const std::string& log) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while ((pos = log.find(":\t", pos)) != std::string::npos) {
    size_t end = log.find("\r\n", pos);
    lines.push_back(log.substr(pos + 2, end - pos - 2));
    pos = end;
  }
  return lines;
}

// The contents of every file in a folder, in name order.
std::vector<std::string> FolderFiles(const std::string& folder) {
  std::vector<std::string> names, contents;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) names.push_back(e.path().string());
  std::sort(names.begin(), names.end());
  for (const std::string& n : names) contents.push_back(ReadFileBytes(n));
  return contents;
}

std::string Transcript(const char* model) {
  std::string sample = std::string(HARROW_SOURCE_DIR) + "/samples/" + model + "-english.txt";
  if (PathExists(sample)) return sample;
  return std::string(HARROW_SOURCE_DIR) + "/tests/serial/transcripts/" + model + "-short.txt";
}

class LiveCapture : public ::testing::Test {
 protected:
  std::string Dir(const char* name) { return env.dir() / name; }

  // Runs --replay of `bytes` for comparison; its printed lines.
  std::string Replay(const std::string& bytesFile, const char* model) {
    Process p({HARROW_CAPTURE, "--model", model, "--root", Dir("replay"), "--replay", bytesFile},
              Dir("replay.out"), Dir("replay.err"));
    EXPECT_EQ(p.Wait(20), 0);
    return ReadFileBytes(Dir("replay.out"));
  }

  void ExpectSameAsReplay() {
    EXPECT_EQ(ReadFileBytes(Dir("capture.out")), ReadFileBytes(Dir("replay.out")));
    EXPECT_EQ(LoggedLines(ReadFileBytes(Dir("live/Log/USB_Serial.log"))),
              LoggedLines(ReadFileBytes(Dir("replay/Log/USB_Serial.log"))));
    std::vector<std::string> liveText = FolderFiles(Dir("live/Text"));
    EXPECT_FALSE(liveText.empty());
    EXPECT_EQ(liveText, FolderFiles(Dir("replay/Text")));
    EXPECT_EQ(FolderFiles(Dir("live/Excel")), FolderFiles(Dir("replay/Excel")));
  }

  IsolatedSettings env;
};

TEST_F(LiveCapture, CapturedReportEqualsTheReplayOfTheSameBytes) {
  std::string transcript = Transcript("6310");
  std::string link = Dir("port");
  Process sim({READER_SIM, "--fast", "--link", link, transcript}, Dir("sim.out"), Dir("sim.err"));
  ASSERT_TRUE(WaitUntil([&] { return PathExists(link); }));
  Process capture({HARROW_CAPTURE, "--port", link, "--model", "6310", "--root", Dir("live")},
                  Dir("capture.out"), Dir("capture.err"));
  EXPECT_EQ(sim.Wait(20), 0) << ReadFileBytes(Dir("sim.err"));
  capture.Signal(SIGTERM);
  EXPECT_EQ(capture.Wait(10), 0) << ReadFileBytes(Dir("capture.err"));

  Replay(transcript, "6310");
  ExpectSameAsReplay();
  EXPECT_EQ(ReadFileBytes(env.config() + "/Glimmer.ini").find("ComPort=" + link) != std::string::npos,
            true);
}

TEST_F(LiveCapture, PulledAdapterMidReportLosesNoLineAndThePendingReportIsExportedAtTheEnd) {
  // The report without its end marker, so it is still pending when the
  // capture is stopped.
  std::string bytes = ReadFileBytes(Transcript("6310"));
  size_t end = bytes.rfind("End of Test");
  ASSERT_NE(end, std::string::npos);
  bytes.erase(end);
  std::string transcript = Dir("pending.txt");
  WriteFileBytes(transcript, bytes);
  // Mid-line, so one line is split across the two connections.
  size_t cut = bytes.find('\r', bytes.size() / 2) - 3;

  std::string link = Dir("port");
  Process first({READER_SIM, "--fast", "--link", link, "--unplug-after", std::to_string(cut), transcript},
                Dir("sim1.out"), Dir("sim1.err"));
  ASSERT_TRUE(WaitUntil([&] { return PathExists(link); }));
  Process capture({HARROW_CAPTURE, "--port", link, "--model", "6310", "--root", Dir("live")},
                  Dir("capture.out"), Dir("capture.err"));
  EXPECT_EQ(first.Wait(20), 0) << ReadFileBytes(Dir("sim1.err"));
  ASSERT_TRUE(WaitUntil([&] { return Contains(Dir("capture.err"), "Lost the connection"); }))
      << ReadFileBytes(Dir("capture.err"));

  Process second({READER_SIM, "--fast", "--link", link, "--skip", std::to_string(cut), transcript},
                 Dir("sim2.out"), Dir("sim2.err"));
  EXPECT_EQ(second.Wait(20), 0) << ReadFileBytes(Dir("sim2.err"));
  EXPECT_TRUE(Contains(Dir("capture.err"), "Reconnected"));
  capture.Signal(SIGINT);
  EXPECT_EQ(capture.Wait(10), 0) << ReadFileBytes(Dir("capture.err"));

  Replay(transcript, "6310");
  ExpectSameAsReplay();
  std::string log = ReadFileBytes(Dir("live/Log/USB_Serial.log"));
  size_t lost = log.find(" -- Lost the connection");
  size_t back = log.find(" -- Reconnected");
  EXPECT_NE(lost, std::string::npos);
  EXPECT_NE(back, std::string::npos);
  EXPECT_LT(lost, back);
}

TEST_F(LiveCapture, MissingPortFailsWithTheReason) {
  Process capture({HARROW_CAPTURE, "--port", "ttyNoSuchPort", "--root", Dir("live")},
                  Dir("capture.out"), Dir("capture.err"));
  EXPECT_EQ(capture.Wait(10), 1);
  EXPECT_TRUE(Contains(Dir("capture.err"), "Unable to open COM-port ttyNoSuchPort: No such file"));
}

}  // namespace
