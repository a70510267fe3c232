// reader-sim: plays a laboratory reader on a pseudo-terminal. It creates a
// pty pair, prints the path of the port to open, waits until a capture has
// opened the port (and purged it, as connecting does), then sends report
// transcripts at the pace of a 57600-baud line, or as fast as the reader
// takes them. It can pull the plug after a number of bytes, to show what
// the capture does when an adapter goes away.

#include <fcntl.h>
#include <glob.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/harrow_version.h"
#include "platform/platform.h"

namespace {

const char kUsage[] =
    "Usage: reader-sim [OPTION]... [FILE]...\n"
    "Creates a pseudo-terminal, prints the path of the port to open and sends\n"
    "the given transcripts (or the sample transcripts of --model) over it, as a\n"
    "reader does: 57600 baud, 10 bits a byte. A capture connects with\n"
    "  harrow-capture --port PATH\n"
    "\n"
    "Options:\n"
    "  --model M          send the sample transcripts of model M (6120, 6310,\n"
    "                     6350, 6480)\n"
    "  --link PATH        also make PATH a symbolic link to the port (replaced\n"
    "                     when it exists, removed at the end)\n"
    "  --fast             send as fast as the other side reads\n"
    "  --skip N           leave out the first N bytes of the transcripts\n"
    "  --unplug-after N   close the port after N bytes (a pulled adapter)\n"
    "  --no-wait          send at once instead of waiting for a capture to\n"
    "                     connect\n"
    "  --hold             keep the port open after sending, until SIGINT/SIGTERM\n"
    "  --help             show this help and exit\n"
    "  --version          show the version and exit\n"
    "\n"
    "The port is closed only when the other side has read everything sent.\n"
    "The sample transcripts are those installed in " HARROW_SAMPLES_DIR ";\n"
    "a reader-sim in a build folder takes those of its source tree.\n";

constexpr double kBytesPerSecond = 57600.0 / 10.0;

volatile sig_atomic_t stopRequested = 0;
void OnStopSignal(int) { stopRequested = 1; }

bool ReadFile(const std::string& path, std::string* data) {
  std::string err;
  if (ReadWholeFile(path, data, &err)) return true;
  std::fprintf(stderr, "reader-sim: %s\n", err.c_str());
  return false;
}

// Where the sample transcripts are: installed beside the program (also in
// a package unpacked elsewhere), then the source tree of a build folder
// (samples/, or the small test transcripts before those existed), then
// the installed folder the build was configured for.
std::vector<std::string> SampleFolders() {
  std::vector<std::string> folders;
  char self[4096];
  ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n > 0) {
    std::string exe(self, static_cast<size_t>(n));
    folders.push_back(exe.substr(0, exe.find_last_of('/') + 1) + HARROW_SAMPLES_FROM_BIN);
  }
  folders.push_back(HARROW_SOURCE_DIR "/samples");
  folders.push_back(HARROW_SOURCE_DIR "/tests/serial/transcripts");
  folders.push_back(HARROW_SAMPLES_DIR);
  return folders;
}

// The sample transcripts of a model, from the first folder that has any.
std::vector<std::string> ModelTranscripts(const std::string& model) {
  std::vector<std::string> files;
  for (const std::string& folder : SampleFolders()) {
    glob_t g{};
    if (glob((folder + "/" + model + "-*.txt").c_str(), 0, nullptr, &g) == 0) {
      for (size_t i = 0; i < g.gl_pathc; ++i) files.push_back(g.gl_pathv[i]);
    }
    globfree(&g);
    if (!files.empty()) break;
  }
  return files;
}

double Now() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

void SleepSeconds(double s) {
  if (s <= 0) return;
  timespec ts{static_cast<time_t>(s), static_cast<long>((s - static_cast<time_t>(s)) * 1e9)};
  nanosleep(&ts, nullptr);
}

// With packet mode on the master, a flush on the port's side arrives as a
// control byte: the capture purges the port right after opening it. Only
// the flush of the port's input (FLUSHREAD here) says that what is sent
// from now on stays: some drivers (wine's) purge output and input in two
// steps, and bytes sent after the first would be thrown away by the second.
bool WaitForConnect(int master) {
  while (!stopRequested) {
    pollfd p{master, POLLIN, 0};
    if (::poll(&p, 1, 200) <= 0) continue;
    unsigned char buf[4096];
    ssize_t n = ::read(master, buf, sizeof buf);
    if (n > 0 && buf[0] != TIOCPKT_DATA && (buf[0] & TIOCPKT_FLUSHREAD)) {
      return true;
    }
  }
  return false;
}

// Bytes the other side has not read yet sit in the port's input queue;
// they are lost when the master closes. Waits until it stays empty.
void WaitUntilDrained(int slave) {
  double quietSince = Now();
  double giveUp = Now() + 60;
  while (!stopRequested && Now() < giveUp) {
    int queued = 0;
    if (::ioctl(slave, FIONREAD, &queued) != 0) return;
    if (queued > 0) quietSince = Now();
    if (Now() - quietSince >= 0.1) return;
    SleepSeconds(0.01);
  }
}

// Writes until everything is sent or a stop request came; what was sent in
// `sent`. A write that sent part before a signal returns that part, so the
// request is looked at after every write, not only on EINTR: else a peer
// that stopped reading keeps the next write blocked for good.
bool WriteAll(int fd, const char* data, size_t size, size_t* sent) {
  while (size > 0 && !stopRequested) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
    *sent += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> files;
  std::string model, link;
  bool fast = false, wait = true, hold = false;
  size_t skip = 0, unplugAfter = 0;
  bool unplug = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "reader-sim: %s needs a value\n", arg.c_str());
        std::exit(2);
      }
      *out = argv[++i];
    };
    std::string v;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (arg == "--version") {
      std::puts("reader-sim " HARROW_VERSION_TEXT);
      return 0;
    } else if (arg == "--model") {
      value(&model);
    } else if (arg == "--link") {
      value(&link);
    } else if (arg == "--fast") {
      fast = true;
    } else if (arg == "--no-wait") {
      wait = false;
    } else if (arg == "--hold") {
      hold = true;
    } else if (arg == "--skip") {
      value(&v);
      skip = std::strtoull(v.c_str(), nullptr, 10);
    } else if (arg == "--unplug-after") {
      value(&v);
      unplugAfter = std::strtoull(v.c_str(), nullptr, 10);
      unplug = true;
    } else if (!arg.empty() && arg[0] == '-') {
      std::fprintf(stderr, "reader-sim: unknown option %s (see --help)\n", arg.c_str());
      return 2;
    } else {
      files.push_back(arg);
    }
  }
  if (!model.empty()) {
    std::vector<std::string> found = ModelTranscripts(model);
    if (found.empty()) {
      std::fprintf(stderr, "reader-sim: no transcripts of model %s\n", model.c_str());
      return 2;
    }
    files.insert(files.end(), found.begin(), found.end());
  }

  std::string stream;
  for (const std::string& f : files) {
    if (!ReadFile(f, &stream)) return 1;
  }
  stream.erase(0, std::min(skip, stream.size()));
  size_t toSend = unplug ? std::min(unplugAfter, stream.size()) : stream.size();

  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
    std::perror("reader-sim: cannot create a pseudo-terminal");
    return 1;
  }
  std::string port = ::ptsname(master);
  // Holding the port side open keeps the pair alive while the capture
  // opens and closes it, and lets us see how much it has not read yet.
  int slave = ::open(port.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios t{};
  if (slave < 0 || ::tcgetattr(slave, &t) != 0) {
    std::perror("reader-sim: cannot open the port side");
    return 1;
  }
  ::cfmakeraw(&t);
  ::tcsetattr(slave, TCSANOW, &t);
  int on = 1;
  ::ioctl(master, TIOCPKT, &on);

  if (!link.empty()) {
    std::string temp = link + ".new";
    ::unlink(temp.c_str());
    if (::symlink(port.c_str(), temp.c_str()) != 0 || ::rename(temp.c_str(), link.c_str()) != 0) {
      std::fprintf(stderr, "reader-sim: cannot make the link %s: %s\n", link.c_str(),
                   std::strerror(errno));
      return 1;
    }
  }
  std::printf("%s\n", link.empty() ? port.c_str() : link.c_str());
  std::fflush(stdout);

  int status = 0;
  if (!wait || WaitForConnect(master)) {
    const double start = Now();
    constexpr size_t kChunk = 32;
    size_t sent = 0;
    while (sent < toSend && !stopRequested) {
      size_t n = std::min(kChunk, toSend - sent);
      if (!fast) SleepSeconds(start + sent / kBytesPerSecond - Now());
      if (!WriteAll(master, stream.data() + sent, fast ? toSend - sent : n, &sent)) {
        std::fprintf(stderr, "reader-sim: writing failed: %s\n", std::strerror(errno));
        status = 1;
        break;
      }
    }
    double elapsed = Now() - start;
    std::fprintf(stderr, "reader-sim: sent %zu bytes in %.3f s (%.0f bytes/s)\n", sent, elapsed,
                 elapsed > 0 ? sent / elapsed : 0.0);
    WaitUntilDrained(slave);
    if (unplug) {
      std::fprintf(stderr, "reader-sim: unplugged after %zu bytes\n", sent);
    } else {
      // Not pause(): a request that came just before it would be missed.
      while (hold && !stopRequested) SleepSeconds(0.05);
    }
  }
  ::close(master);
  ::close(slave);
  if (!link.empty()) ::unlink(link.c_str());
  return status;
}
