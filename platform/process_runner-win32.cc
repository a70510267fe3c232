#include "platform/process_runner.h"

#include <windows.h>

#include <algorithm>

#include "platform/platform.h"

namespace {

std::wstring Wide(const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

bool SameName(const std::wstring& entry, const std::wstring& name) {
  if (entry.size() <= name.size() || entry[name.size()] != L'=') return false;
  return CompareStringOrdinal(entry.data(), static_cast<int>(name.size()), name.data(),
                              static_cast<int>(name.size()), TRUE) == CSTR_EQUAL;
}

// This process's environment block with `env` set over it.
std::wstring EnvironmentBlock(const std::vector<std::pair<std::string, std::string>>& env) {
  std::wstring block;
  wchar_t* strings = GetEnvironmentStringsW();
  for (const wchar_t* e = strings; e && *e; e += wcslen(e) + 1) {
    std::wstring entry = e;
    bool replaced = false;
    for (const auto& pair : env) {
      if (SameName(entry, Wide(pair.first))) replaced = true;
    }
    if (!replaced) block += entry + L'\0';
  }
  if (strings) FreeEnvironmentStringsW(strings);
  for (const auto& [name, value] : env) block += Wide(name) + L"=" + Wide(value) + L'\0';
  block += L'\0';
  return block;
}

void ReadAvailable(HANDLE pipe, std::string* kept) {
  DWORD available = 0;
  while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
    char buffer[4096];
    DWORD n = 0;
    if (!ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) || n == 0) return;
    if (kept->size() < (64u << 10)) kept->append(buffer, n);
  }
}

// Waits up to `ms` for the process, reading its standard error meanwhile.
bool WaitFor(HANDLE process, HANDLE pipe, DWORD ms, std::string* kept) {
  ULONGLONG end = GetTickCount64() + ms;
  for (;;) {
    ReadAvailable(pipe, kept);
    ULONGLONG now = GetTickCount64();
    DWORD step = now >= end ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(end - now, 50));
    if (WaitForSingleObject(process, step) == WAIT_OBJECT_0) return true;
    if (GetTickCount64() >= end) return false;
  }
}

}  // namespace

ProcessResult RunNamedProgram(const std::vector<std::string>& argv,
                              const std::vector<std::pair<std::string, std::string>>& env,
                              std::chrono::milliseconds limit) {
  ProcessResult result;
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) {
    result.startError = "cannot make a pipe: " + SystemErrorText(static_cast<int>(GetLastError()));
    return result;
  }
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           OPEN_EXISTING, 0, nullptr);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul;
  startup.hStdOutput = nul;
  startup.hStdError = writeEnd;
  std::wstring commandLine = Wide(WindowsCommandLine(argv));
  std::wstring block = EnvironmentBlock(env);
  PROCESS_INFORMATION info{};
  // A job object stops what a script started along with it at a time-out.
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW | CREATE_SUSPENDED, block.data(),
                                nullptr, &startup, &info);
  DWORD startCode = GetLastError();
  CloseHandle(writeEnd);
  if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
  if (!started) {
    CloseHandle(readEnd);
    if (job) CloseHandle(job);
    result.startError = SystemErrorText(static_cast<int>(startCode));
    return result;
  }
  if (job) AssignProcessToJobObject(job, info.hProcess);
  ResumeThread(info.hThread);
  CloseHandle(info.hThread);

  std::string err;
  if (WaitFor(info.hProcess, readEnd, static_cast<DWORD>(limit.count()), &err)) {
    result.outcome = ProcessResult::kExited;
  } else {
    result.outcome = ProcessResult::kTimedOut;
    if (!job || !TerminateJobObject(job, 1)) TerminateProcess(info.hProcess, 1);
    WaitForSingleObject(info.hProcess, 5000);
  }
  ReadAvailable(readEnd, &err);
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  result.exitStatus = static_cast<int>(code);
  result.errorHead = FirstLines(err);
  CloseHandle(info.hProcess);
  CloseHandle(readEnd);
  if (job) CloseHandle(job);
  return result;
}
