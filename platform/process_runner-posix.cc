#include "platform/process_runner.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/platform.h"

extern char** environ;

namespace {

// The environment of this process with `env` set over it.
std::vector<std::string> ChildEnvironment(const std::vector<std::pair<std::string, std::string>>& env) {
  std::vector<std::string> out;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    bool replaced = false;
    for (const auto& [name, value] : env) {
      if (entry.compare(0, name.size() + 1, name + "=") == 0) replaced = true;
    }
    if (!replaced) out.push_back(std::move(entry));
  }
  for (const auto& [name, value] : env) out.push_back(name + "=" + value);
  return out;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> out;
  for (std::string& text : texts) out.push_back(text.data());
  out.push_back(nullptr);
  return out;
}

// Reads what is there without waiting; keeps at most 64 KiB of it.
void ReadAvailable(int fd, std::string* kept) {
  char buffer[4096];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    if (kept->size() < (64u << 10)) kept->append(buffer, static_cast<size_t>(n));
  }
}

int StatusOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// Waits up to `ms` for the child; true with `status` once it ended.
bool WaitFor(pid_t pid, int fd, int ms, int* status, std::string* kept) {
  using Clock = std::chrono::steady_clock;
  Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    pid_t done = ::waitpid(pid, status, WNOHANG);
    if (done == pid || (done < 0 && errno != EINTR)) return true;
    long left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    if (left <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    if (fd >= 0 && ::poll(&p, 1, static_cast<int>(std::min(left, 50L))) > 0) {
      ReadAvailable(fd, kept);
    } else if (fd < 0) {
      ::usleep(20000);
    }
  }
}

}  // namespace

ProcessResult RunNamedProgram(const std::vector<std::string>& argv,
                              const std::vector<std::pair<std::string, std::string>>& env,
                              std::chrono::milliseconds limit) {
  ProcessResult result;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    result.startError = "cannot make a pipe: " + SystemErrorText(errno);
    return result;
  }
  ::fcntl(fds[0], F_SETFL, O_NONBLOCK);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
  // Not the serial port, the traffic log or an export in the making.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);

  // Its own process group, so a time-out stops what a script started too;
  // and the signals this process ignores or blocks are the program's again.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int s : {SIGPIPE, SIGXFSZ, SIGINT, SIGTERM, SIGHUP}) sigaddset(&defaults, s);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<std::string> args = argv;
  std::vector<std::string> environment = ChildEnvironment(env);
  std::vector<char*> argp = Pointers(args), envp = Pointers(environment);
  pid_t pid = 0;
  int code = ::posix_spawnp(&pid, argv[0].c_str(), &actions, &attr, argp.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  ::close(fds[1]);
  if (code != 0) {
    ::close(fds[0]);
    result.startError = SystemErrorText(code);
    return result;
  }

  std::string err;
  int status = 0;
  long ms = static_cast<long>(limit.count());
  if (WaitFor(pid, fds[0], static_cast<int>(ms), &status, &err)) {
    result.outcome = ProcessResult::kExited;
  } else {
    result.outcome = ProcessResult::kTimedOut;
    ::kill(-pid, SIGTERM);
    if (!WaitFor(pid, fds[0], 2000, &status, &err)) {
      ::kill(-pid, SIGKILL);
      while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
      }
    }
  }
  // A program it started in the background may hold the pipe open: what
  // is there now is all that is read.
  ReadAvailable(fds[0], &err);
  ::close(fds[0]);
  result.exitStatus = StatusOf(status);
  result.errorHead = FirstLines(err);
  return result;
}
