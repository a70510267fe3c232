#include "app/demo.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "app/settings.h"

namespace {

std::string Dirname(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

// The simulator's program: beside this one (installed), in the tools
// folder of the build (which has harrow in app/qt), or on the PATH.
std::string FindSimulator(const char* argv0) {
  char self[4096];
  ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  std::string dir = n > 0 ? Dirname(std::string(self, static_cast<size_t>(n))) : Dirname(argv0);
  for (const std::string& candidate : {dir + "/reader-sim", dir + "/../../tools/reader-sim"}) {
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "reader-sim";
}

}  // namespace

struct DemoSetup::Simulator {
  pid_t pid = -1;
};

DemoSetup::DemoSetup() : simulator_(std::make_unique<Simulator>()) {}

DemoSetup::~DemoSetup() {
  if (simulator_->pid > 0) {
    ::kill(simulator_->pid, SIGTERM);
    ::waitpid(simulator_->pid, nullptr, 0);
  }
}

bool DemoSetup::Start(const char* argv0, std::string* err) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/harrow-demo-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (!::mkdtemp(name.data())) {
    *err = "cannot create the demo folder " + pattern + ": " + SystemErrorText(errno);
    return false;
  }
  folder_ = name.data();
  ::setenv("XDG_CONFIG_HOME", (folder_ + "/config").c_str(), 1);
  ::setenv("XDG_DATA_HOME", (folder_ + "/data").c_str(), 1);
  MakeDirectory(folder_ + "/config");
  for (const char* model : {"6310", "6350", "6120", "6480"}) {
    WriteSetting(std::string(model) + "_Root", folder_ + "/" + model);
  }

  std::string link = folder_ + "/reader";
  std::string simulator = FindSimulator(argv0);
  pid_t& pid = simulator_->pid;
  pid = ::fork();
  if (pid < 0) {
    *err = "cannot start " + simulator + ": " + SystemErrorText(errno);
    return false;
  }
  if (pid == 0) {
    // The simulator prints its port; the demo has already named it.
    int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) ::dup2(null, STDOUT_FILENO);
    ::execlp(simulator.c_str(), simulator.c_str(), "--model", "6310", "--hold", "--link", link.c_str(),
             static_cast<char*>(nullptr));
    std::fprintf(stderr, "harrow: cannot start %s: %s\n", simulator.c_str(), SystemErrorText(errno).c_str());
    ::_exit(127);
  }
  // The simulator makes the link once its pseudo-terminal is ready.
  for (int i = 0; i < 100 && !PathExists(link); ++i) {
    if (::waitpid(pid, nullptr, WNOHANG) == pid) {
      pid = -1;
      *err = simulator + " ended before its port was ready";
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (!PathExists(link)) {
    *err = simulator + " did not make its port " + link;
    return false;
  }
  WriteSetting("ComPort", link);
  std::fprintf(stderr, "harrow: demo settings and reports in %s\n", folder_.c_str());
  return true;
}
