#include "platform/platform.h"

#include <windows.h>
#include <shlobj.h>

#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>

const char kPathSeparator[] = "\\";
const char kDefaultComPort[] = "COM1";
// Port names are read as the settings file has always held them: "COM1"
// to "COM256" fit.
const size_t kComPortLength = 9;

namespace {

std::string EnvOr(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  if (value && *value) return value;
  return fallback;
}

std::string WindowsDirectory() {
  char buf[MAX_PATH];
  UINT n = ::GetWindowsDirectoryA(buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) return "";
  return std::string(buf, n);
}

// Set once, before the capture starts, by a service.
std::atomic<bool> machineFolders{false};

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Where Windows redirected the writes of an earlier 32-bit installation to
// `windows` when a standard user ran it: the user's VirtualStore holds the
// folder under its path without the drive ("C:\Windows" as
// "VirtualStore\Windows"). Empty when the user has no local profile folder.
std::string VirtualStoreOf(const std::string& windows) {
  std::string local = EnvOr("LOCALAPPDATA", "");
  if (local.empty() || windows.size() < 3 || windows[1] != ':') return "";
  return local + "\\VirtualStore" + windows.substr(2);
}

// A settings file that an earlier installation kept in the Windows
// directory moves along the first time this folder is used: a standard
// user cannot write there on current Windows, so every setting written
// there would silently be lost, while the settings it holds must carry
// over. The old program saw its VirtualStore copy in place of the file
// in the Windows directory whenever there was one, so that copy wins.
void AdoptOldSettings(const std::string& folder) {
  static std::mutex mutex;
  static std::set<std::string> done;
  std::lock_guard<std::mutex> lock(mutex);
  if (!done.insert(folder).second) return;
  std::string windows = WindowsDirectory();
  if (windows.empty()) return;
  std::string store = VirtualStoreOf(windows);
  for (const char* name : {"Kestrel.ini", "Glimmer.ini"}) {
    std::string target = folder + "\\" + name;
    if (PathExists(target)) continue;
    std::string old = windows + "\\" + name;
    if (!store.empty() && PathExists(store + "\\" + name)) old = store + "\\" + name;
    if (!PathExists(old)) continue;
    MakeDirectories(folder);
    // Never replaces a file that appeared meanwhile.
    ::CopyFileA(old.c_str(), target.c_str(), TRUE);
  }
}

}  // namespace

std::string HomeFolder() {
  std::string home = EnvOr("USERPROFILE", "C:");
  while (home.size() > 1 && IsSeparator(home.back())) home.pop_back();
  return home;
}

std::string BuiltInRootFolder(int model) {
  // A service's reports stay on the machine, readable by its users, rather
  // than at the top of drive C:, where the service account may write but
  // a site's policy often forbids folders.
  if (machineFolders) return model == 0 ? MachineFolder() : MachineFolder() + "\\" + std::to_string(model);
  if (model == 0) return "c:";
  return "C:\\" + std::to_string(model);
}

std::string MachineFolder() {
  // %ProgramData% names the installer's CommonAppDataFolder for users and
  // their programs. A service's environment is the service manager's, which
  // need not name it (wine's names the public profile there), so a service
  // asks the shell, as the installer does.
  std::string folder = machineFolders ? "" : EnvOr("ProgramData", "");
  char path[MAX_PATH];
  if (folder.empty() && SUCCEEDED(::SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, path))) folder = path;
  if (folder.empty()) folder = EnvOr("ProgramData", "C:\\ProgramData");
  return folder + "\\Harrow";
}

void UseMachineFolders() { machineFolders = true; }

std::string SettingsFolder() {
  // The service account's own %APPDATA% is no place anybody looks; the
  // machine's settings are the ones the installer wrote.
  if (machineFolders) return MachineFolder();
  std::string folder = EnvOr("APPDATA", HomeFolder()) + "\\Harrow";
  AdoptOldSettings(folder);
  return folder;
}

bool UnsavedReportsFolder(std::string* folder, std::string* err) {
  if (machineFolders)
    *folder = MachineFolder() + "\\unsaved";
  else
    *folder = EnvOr("LOCALAPPDATA", EnvOr("APPDATA", HomeFolder())) + "\\Harrow\\unsaved";
  return MakeDirectories(*folder, err);
}

bool MakeDirectory(const std::string& path) { return ::CreateDirectoryA(path.c_str(), nullptr) != 0; }

bool MakeDirectories(const std::string& path, std::string* err) {
  DWORD attributes = ::GetFileAttributesA(path.c_str());
  DWORD code = ERROR_DIRECTORY;
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    size_t cut = path.find_last_of("\\/");
    // "C:" and "\\server\share" are roots: they exist or nothing can be made.
    if (cut != std::string::npos && cut > 0 && !(cut == 2 && path[1] == ':')) {
      if (!MakeDirectories(path.substr(0, cut), err)) return false;
    }
    if (::CreateDirectoryA(path.c_str(), nullptr)) return true;
    code = ::GetLastError();
    attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
  } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    return true;
  }
  if (err) *err = path + ": " + SystemErrorText(static_cast<int>(code));
  return false;
}

bool ReadWholeFile(const std::string& path, std::string* data, std::string* err) {
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    if (err) *err = "cannot open " + path + ": " + SystemErrorText(static_cast<int>(::GetLastError()));
    return false;
  }
  char buf[65536];
  bool ok = true;
  for (;;) {
    DWORD n = 0;
    if (!::ReadFile(file, buf, sizeof buf, &n, nullptr)) {
      ok = false;
      if (err) *err = "cannot read " + path + ": " + SystemErrorText(static_cast<int>(::GetLastError()));
      break;
    }
    if (n == 0) break;
    data->append(buf, n);
  }
  ::CloseHandle(file);
  return ok;
}

bool PathExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool FileSize(const std::string& path, long long* size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
  *size = (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

bool LocalTimeOf(std::time_t t, std::tm* local) { return localtime_s(local, &t) == 0; }

std::string LocaleTimeStamp(const std::tm& t) {
  // The user's locale: its short date, a blank, its time with seconds.
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(t.tm_year + 1900);
  st.wMonth = static_cast<WORD>(t.tm_mon + 1);
  st.wDay = static_cast<WORD>(t.tm_mday);
  st.wDayOfWeek = static_cast<WORD>(t.tm_wday);
  st.wHour = static_cast<WORD>(t.tm_hour);
  st.wMinute = static_cast<WORD>(t.tm_min);
  st.wSecond = static_cast<WORD>(t.tm_sec);
  char date[128], time[128];
  int d = ::GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, sizeof date);
  int h = ::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, time, sizeof time);
  // The counts include the terminating NUL.
  std::string stamp(date, d > 0 ? static_cast<size_t>(d - 1) : 0);
  stamp += ' ';
  stamp.append(time, h > 0 ? static_cast<size_t>(h - 1) : 0);
  return stamp;
}

void OsVersion(int* major, int* minor, int* build) {
  *major = *minor = *build = 0;
  // GetVersionEx reports the version the program's manifest claims to
  // know, not the running system's; the kernel's own call tells the truth.
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
  auto get = ntdll ? reinterpret_cast<RtlGetVersionFn>(
                         reinterpret_cast<void*>(::GetProcAddress(ntdll, "RtlGetVersion")))
                   : nullptr;
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!get || get(&info) != 0) return;
  *major = static_cast<int>(info.dwMajorVersion);
  *minor = static_cast<int>(info.dwMinorVersion);
  *build = static_cast<int>(info.dwBuildNumber);
}

std::string SystemErrorText(int code) {
  char* text = nullptr;
  DWORD n = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string out = n && text ? std::string(text, n) : "error " + std::to_string(static_cast<unsigned>(code));
  if (text) ::LocalFree(text);
  // The system's texts end with ".\r\n".
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.'))
    out.pop_back();
  return out;
}

// _putenv_s changes the C library's copy, which getenv reads, and the
// system's; an empty value removes the variable.
void SetEnv(const char* name, const std::string& value) { _putenv_s(name, value.c_str()); }

void UnsetEnv(const char* name) { _putenv_s(name, ""); }

void UseBinaryStandardInput() { _setmode(_fileno(stdin), _O_BINARY); }

void LowerThreadPriority() { ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL); }

void IgnoreFileSizeLimitSignal() {}

void IgnoreBrokenPipeSignal() {}

void OpenMissingStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::_get_osfhandle(fd) != -1) continue;
    int null = ::_open("NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
    if (null >= 0 && null != fd) {
      ::_dup2(null, fd);
      ::_close(null);
    }
  }
}

bool TruncateOpenFile(std::FILE* f, long long size) { return ::_chsize_s(::_fileno(f), size) == 0; }

unsigned long CurrentProcessId() { return ::GetCurrentProcessId(); }

bool ProcessMayBeRunning(unsigned long pid) {
  HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (!process) return ::GetLastError() == ERROR_ACCESS_DENIED;
  bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  ::CloseHandle(process);
  return running;
}

std::string HostName() {
  char buf[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof buf;
  if (!::GetComputerNameA(buf, &size)) return "";
  return std::string(buf, size);
}

