#include "platform/platform.h"

#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

const char kPathSeparator[] = "/";
// Readers are connected through USB adapters.
const char kDefaultComPort[] = "ttyUSB0";
const size_t kComPortLength = std::string::npos;

namespace {

std::string EnvOr(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  if (value && *value) return value;
  return fallback;
}

}  // namespace

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && *home) {
    std::string h = home;
    while (h.size() > 1 && h.back() == '/') h.pop_back();
    return h;
  }
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/tmp";
}

std::string BuiltInRootFolder(int model) {
  // One folder per model in the user's home; with no model the home folder
  // itself is the root.
  if (model == 0) return HomeFolder();
  return HomeFolder() + "/" + std::to_string(model);
}

std::string SettingsFolder() {
  return EnvOr("XDG_CONFIG_HOME", HomeFolder() + "/.config");
}

std::string MachineFolder() { return ""; }

void UseMachineFolders() {}

bool UnsavedReportsFolder(std::string* folder, std::string* err) {
  *folder = EnvOr("XDG_DATA_HOME", HomeFolder() + "/.local/share") + "/harrow/unsaved";
  return MakeDirectories(*folder, err);
}

bool MakeDirectory(const std::string& path) {
  return ::mkdir(path.c_str(), 0777) == 0;
}

bool MakeDirectories(const std::string& path, std::string* err) {
  struct stat st {};
  int code = ENOTDIR;
  if (::stat(path.c_str(), &st) != 0) {
    size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
      if (!MakeDirectories(path.substr(0, slash), err)) return false;
    }
    if (::mkdir(path.c_str(), 0777) == 0) return true;
    code = errno;
    if (code == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
  } else if (S_ISDIR(st.st_mode)) {
    return true;
  }
  if (err) *err = path + ": " + SystemErrorText(code);
  return false;
}

bool ReadWholeFile(const std::string& path, std::string* data, std::string* err) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    if (err) *err = "cannot open " + path + ": " + SystemErrorText(errno);
    return false;
  }
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data->append(buf, n);
  bool ok = !std::ferror(f);
  int code = errno;
  std::fclose(f);
  if (!ok && err) *err = "cannot read " + path + ": " + SystemErrorText(code);
  return ok;
}

bool PathExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

void SetEnv(const char* name, const std::string& value) { ::setenv(name, value.c_str(), 1); }

void UnsetEnv(const char* name) { ::unsetenv(name); }

void UseBinaryStandardInput() {}

void IgnoreFileSizeLimitSignal() { ::signal(SIGXFSZ, SIG_IGN); }

void IgnoreBrokenPipeSignal() { ::signal(SIGPIPE, SIG_IGN); }

void OpenMissingStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    int null = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (null >= 0 && null != fd) {
      ::dup2(null, fd);
      ::close(null);
    }
  }
}

bool TruncateOpenFile(std::FILE* f, long long size) {
  return ::ftruncate(::fileno(f), static_cast<off_t>(size)) == 0;
}

unsigned long CurrentProcessId() { return static_cast<unsigned long>(::getpid()); }

bool ProcessMayBeRunning(unsigned long pid) {
  if (pid == 0 || pid > static_cast<unsigned long>(INT32_MAX)) return false;
  // EPERM: it runs, under another user.
  return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
}

std::string HostName() {
  char buf[256] = {};
  if (::gethostname(buf, sizeof buf - 1) != 0) return "";
  return buf;
}

void LowerThreadPriority() {
  // On Linux a nice value set for a thread id applies to that thread only.
  setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), 10);
}

bool FileSize(const std::string& path, long long* size) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  *size = static_cast<long long>(st.st_size);
  return true;
}

bool LocalTimeOf(std::time_t t, std::tm* local) { return localtime_r(&t, local) != nullptr; }

std::string LocaleTimeStamp(const std::tm& t) {
  // The locale's date and time representations; "%X" has the seconds.
  char buf[128];
  size_t n = std::strftime(buf, sizeof buf, "%x %X", &t);
  return std::string(buf, n);
}

void OsVersion(int* major, int* minor, int* build) {
  *major = *minor = *build = 0;
  utsname name {};
  if (::uname(&name) != 0) return;
  // The release reads like "6.1.0-18-amd64"; its first three numbers stand
  // for major, minor and build.
  std::sscanf(name.release, "%d.%d.%d", major, minor, build);
}

std::string SystemErrorText(int code) {
  return std::strerror(code);
}

