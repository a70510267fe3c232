// The live capture's throughput and idle cost, measured against a baseline
// in the same run. reader-sim --fast writes one transcript into a
// pseudo-terminal as fast as the other side takes it; the other side is
// either harrow-capture (100-byte reads, the traffic log flushed per line,
// exports on) or a plain read loop with 64 KiB reads. Both clocks start
// once the simulator has read its transcript and offers the port, so its
// start-up counts for neither. Counters: bytes per second of each and
// their ratio; as the ceilings of the capture, the same bytes through
// --replay (no port at all), and the lines merely written to a file with
// one write call each (floor_ratio: the ratio no capture that flushes per
// line can pass on this machine).
// The idle benchmark reports the capture's CPU time over 10 s with the
// port open and nothing arriving.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "tests/spawn.h"

namespace {

namespace fs = std::filesystem;

const char kEndMark[] = "BENCHMARK END\r\n";
using Clock = std::chrono::steady_clock;

pid_t Spawn(std::vector<std::string> args, const std::string& out, const std::string& err) {
  return SpawnWithOutput(std::move(args), out, err);
}

int WaitFor(pid_t pid) {
  int st = 0;
  ::waitpid(pid, &st, 0);
  return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

std::string ReadAll(const std::string& path) {
  std::string data;
  ReadWholeFile(path, &data, nullptr);  // a missing file reads as empty
  return data;
}

// The first line of a file, once it is there.
std::string FirstLine(const std::string& path) {
  for (int i = 0; i < 5000; ++i) {
    std::string text = ReadAll(path);
    size_t nl = text.find('\n');
    if (nl != std::string::npos) return text.substr(0, nl);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return "";
}

struct Workspace {
  fs::path dir;
  std::string transcript;
  size_t bytes = 0;

  // Long reports, as a reader printing many samples gives them: the body
  // of one model's sample report over and over, then its end line; about
  // 4 MB in all, each report exported as .txt and .xls when it ends. The
  // last line marks the end for the measurement.
  explicit Workspace(const std::string& model = "6310") {
    dir = fs::temp_directory_path() / ("harrow-serial-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::string report = ReadAll(std::string(HARROW_SOURCE_DIR) + "/samples/" + model + "-english.txt");
    if (report.empty()) {
      report = ReadAll(std::string(HARROW_SOURCE_DIR) + "/tests/serial/transcripts/6310-short.txt");
    }
    // The body is what comes before the report's end line, which the
    // models word differently.
    std::string endLine = "End of Test\r\n";
    size_t end = std::min(report.rfind("End of Test"), report.rfind("Test Ended"));
    std::string body = end == std::string::npos ? report : report.substr(0, report.rfind('\n', end) + 1);
    if (body.empty()) body = report;
    std::string longReport;
    while (longReport.size() < (400u << 10)) longReport += body;
    longReport += endLine;
    std::string all;
    while (all.size() < (4u << 20)) {
      all += longReport;
      ++reports;
    }
    all += kEndMark;
    transcript = (dir / "transcript.txt").string();
    std::ofstream(transcript, std::ios::binary) << all;
    bytes = all.size();
    lines = static_cast<size_t>(std::count(all.begin(), all.end(), '\r'));
  }
  size_t lines = 0;
  int reports = 0;
  ~Workspace() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  std::string Path(const char* name) const { return (dir / name).string(); }
};

// A plain read loop: opens the port, purges it (which starts the
// simulator), then reads 64 KiB at a time until everything arrived. Bytes
// per second from the opening of the port; the simulator's own start-up
// (reading the transcript) is over by then.
double PlainReadLoop(const Workspace& w) {
  fs::remove(w.Path("plain-sim.out"));
  pid_t sim = Spawn({READER_SIM, "--fast", w.transcript}, w.Path("plain-sim.out"), w.Path("sim.err"));
  std::string port = FirstLine(w.Path("plain-sim.out"));
  auto start = Clock::now();
  int fd = ::open(port.c_str(), O_RDONLY | O_NOCTTY);
  termios t{};
  ::tcgetattr(fd, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(fd, TCSANOW, &t);
  ::tcflush(fd, TCIOFLUSH);
  std::vector<char> buf(64 << 10);
  size_t total = 0;
  while (total < w.bytes) {
    ssize_t n = ::read(fd, buf.data(), buf.size());
    if (n <= 0) break;
    total += static_cast<size_t>(n);
  }
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  WaitFor(sim);
  ::close(fd);
  return total / seconds;
}

// Workbooks of finished reports below `root` (temporary files left out).
int ExportedWorkbooks(const std::string& root) {
  std::error_code ec;
  int count = 0;
  for (const auto& e : fs::directory_iterator(root + "/Excel", ec)) {
    if (e.path().extension() == ".xls") ++count;
  }
  return count;
}

// The capture: bytes per second from the start of harrow-capture, once the
// simulator is ready, until the last line is in the traffic log and every
// report has its workbook (the reports are handled on a thread of their
// own and may finish later). The capture's own start-up counts against it.
double LiveCapture(const Workspace& w, const std::string& model, int round) {
  std::string link = w.Path("port");
  std::string root = w.Path(("root" + std::to_string(round)).c_str());
  std::string log = root + "/Log/USB_Serial.log";
  fs::remove(w.Path("live-sim.out"));
  pid_t sim = Spawn({READER_SIM, "--fast", "--link", link, w.transcript}, w.Path("live-sim.out"),
                    w.Path("sim.err"));
  FirstLine(w.Path("live-sim.out"));
  auto start = Clock::now();
  pid_t capture = Spawn({HARROW_CAPTURE, "--quiet", "--port", link, "--model", model, "--root", root},
                        w.Path("capture.out"), w.Path("capture.err"));
  double seconds = 0;
  int status;
  for (int i = 0; i < 120000 && ::waitpid(capture, &status, WNOHANG) == 0; ++i) {
    std::ifstream in(log, std::ios::binary | std::ios::ate);
    // Only the tail matters: the end mark is the last line received, and
    // at most the note of the simulator hanging up follows it.
    std::streamoff size = in.tellg();
    if (size > 512) {
      std::string tail(512, 0);
      in.seekg(size - 512);
      in.read(tail.data(), 512);
      if (tail.find("BENCHMARK END") != std::string::npos && ExportedWorkbooks(root) >= w.reports) {
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        break;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ::kill(capture, SIGTERM);
  WaitFor(capture);
  ::kill(sim, SIGTERM);
  WaitFor(sim);
  return seconds > 0 ? w.bytes / seconds : 0;
}

// What a flush per line costs by itself on this machine: the stream's lines,
// each with a time stamp's worth of bytes in front, written to a file with
// one write call each, and nothing else. No capture that flushes its log
// per line can be faster; this bounds the ratio the capture can reach.
double LogFloor(const Workspace& w) {
  std::string data = ReadAll(w.transcript);
  std::string path = w.Path("floor.log");
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644);
  auto start = Clock::now();
  std::string record;
  size_t from = 0;
  while (from < data.size()) {
    size_t cr = data.find('\r', from);
    if (cr == std::string::npos) cr = data.size();
    record.assign("12/07/26 08:00:00:\t");
    record.append(data, from, cr - from);
    record += "\r\n";
    if (::write(fd, record.data(), record.size()) < 0) break;
    from = cr + 2;
  }
  double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  ::close(fd);
  return w.bytes / seconds;
}

// The same bytes through --replay: the receive path, log and exports
// without any port, which bounds what the live capture can reach.
double Replay(const Workspace& w, const std::string& model, int round) {
  std::string root = w.Path(("replay" + std::to_string(round)).c_str());
  auto start = Clock::now();
  pid_t replay = Spawn({HARROW_CAPTURE, "--quiet", "--model", model, "--root", root, "--replay", w.transcript},
                       w.Path("replay.out"), w.Path("replay.err"));
  WaitFor(replay);
  return w.bytes / std::chrono::duration<double>(Clock::now() - start).count();
}

// The models' sample reports differ in line length, and the per-line cost
// of the log is what bounds the capture: 6310 has the shortest lines (27
// bytes on average), 6120 the longest (50).
const char* const kModels[] = {"6310", "6350", "6480", "6120"};

void BM_CaptureAgainstPlainReadLoop(benchmark::State& state) {
  ::setenv("XDG_CONFIG_HOME", "/tmp/harrow-serial-bench-config", 1);
  const std::string model = kModels[state.range(0)];
  state.SetLabel(model);
  Workspace w(model);
  double plain = 0, capture = 0, replay = 0, floor = 0;
  int round = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    plain += PlainReadLoop(w);
    capture += LiveCapture(w, model, round);
    replay += Replay(w, model, round++);
    floor += LogFloor(w);
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
  }
  state.counters["plain_MBps"] = plain / round / 1e6;
  state.counters["capture_MBps"] = capture / round / 1e6;
  state.counters["replay_MBps"] = replay / round / 1e6;
  state.counters["ratio"] = plain > 0 ? capture / plain : 0;
  state.counters["capture_vs_replay"] = replay > 0 ? capture / replay : 0;
  state.counters["log_floor_MBps"] = floor / round / 1e6;
  state.counters["floor_ratio"] = plain > 0 ? floor / plain : 0;
  state.counters["stream_MB"] = w.bytes / 1e6;
  state.counters["bytes_per_line"] = w.lines ? static_cast<double>(w.bytes) / w.lines : 0;
}
BENCHMARK(BM_CaptureAgainstPlainReadLoop)
    ->DenseRange(0, 3)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

// CPU time of a process so far, in nanoseconds.
double CpuNanoseconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/schedstat");
  double ns = 0;
  in >> ns;
  return ns;
}

void BM_IdleCaptureCpu(benchmark::State& state) {
  ::setenv("XDG_CONFIG_HOME", "/tmp/harrow-serial-bench-config", 1);
  Workspace w;
  double cpuMs = 0;
  for (auto _ : state) {
    std::string link = w.Path("idle-port");
    pid_t sim = Spawn({READER_SIM, "--no-wait", "--hold", "--link", link}, w.Path("idle-sim.out"),
                      w.Path("sim.err"));
    FirstLine(w.Path("idle-sim.out"));
    pid_t capture = Spawn({HARROW_CAPTURE, "--quiet", "--port", link, "--root", w.Path("idle")},
                          w.Path("capture.out"), w.Path("capture.err"));
    std::this_thread::sleep_for(std::chrono::seconds(1));  // past start-up
    double before = CpuNanoseconds(capture);
    std::this_thread::sleep_for(std::chrono::seconds(10));
    cpuMs = (CpuNanoseconds(capture) - before) / 1e6;
    ::kill(capture, SIGTERM);
    WaitFor(capture);
    ::kill(sim, SIGTERM);
    WaitFor(sim);
  }
  state.counters["cpu_ms_in_10s"] = cpuMs;
}
BENCHMARK(BM_IdleCaptureCpu)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
