#include "tests/serial/pty_pair.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

PtyPair::PtyPair() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) std::abort();
  char name[128];
  if (::ptsname_r(master_, name, sizeof name) != 0) std::abort();
  path_ = name;
  // Raw from the start: the line discipline would turn CR into LF and
  // echo bytes back before the port under test is configured.
  holder_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios t{};
  if (holder_ < 0 || ::tcgetattr(holder_, &t) != 0) std::abort();
  ::cfmakeraw(&t);
  ::tcsetattr(holder_, TCSANOW, &t);
}

PtyPair::~PtyPair() { Unplug(); }

bool PtyPair::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(master_, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

size_t PtyPair::Take(size_t count) {
  size_t taken = 0;
  pollfd ready{master_, POLLIN, 0};
  char buffer[4096];
  while (taken < count && ::poll(&ready, 1, 10000) > 0) {
    ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - taken));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    taken += static_cast<size_t>(n);
  }
  return taken;
}

void PtyPair::Unplug() {
  if (master_ >= 0) ::close(master_);
  if (holder_ >= 0) ::close(holder_);
  master_ = holder_ = -1;
}

int ThreadCount() {
  // Some runtimes (ThreadSanitizer) start a thread of their own with the
  // first thread of the program; start one first so it is counted always.
  static const bool warmedUp = [] {
    std::thread([] {}).join();
    return true;
  }();
  (void)warmedUp;
  int count = 0;
  if (DIR* dir = ::opendir("/proc/self/task")) {
    while (dirent* e = ::readdir(dir)) count += e->d_name[0] != '.';
    ::closedir(dir);
  }
  return count;
}

int ThreadCountSettlingAt(int expected) {
  // A joined thread has left its code but the kernel may list it under
  // /proc/self/task a moment longer, until its exit is complete.
  int count = ThreadCount();
  for (int i = 0; i < 200 && count != expected; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    count = ThreadCount();
  }
  return count;
}
