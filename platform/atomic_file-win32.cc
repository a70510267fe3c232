#include "platform/atomic_file_system.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace atomic_file_system {

const int kNotOpen = ERROR_INVALID_HANDLE;

namespace {

HANDLE HandleOf(File file) { return reinterpret_cast<HANDLE>(file); }

int LastError() { return static_cast<int>(::GetLastError()); }

}  // namespace

File CreateUnique(const std::string& prefix, std::string* name, int* code) {
  // A name of our own beside the target; CREATE_NEW never takes over a
  // file that is there already.
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    char unique[16];
    std::snprintf(unique, sizeof unique, "%x", ++counter);
    std::string temp = prefix + unique;
    HANDLE h = ::CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      *name = temp;
      return reinterpret_cast<File>(h);
    }
    *code = LastError();
    if (*code != ERROR_FILE_EXISTS && *code != ERROR_ALREADY_EXISTS) break;
  }
  return kNoFile;
}

size_t WriteSome(File file, const char* data, size_t size, int* code) {
  DWORD n = 0;
  DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1 << 20));
  if (!::WriteFile(HandleOf(file), data, chunk, &n, nullptr)) {
    *code = LastError();
    return 0;
  }
  if (n == 0) *code = ERROR_WRITE_FAULT;
  return n;
}

bool Sync(File file, int* code) {
  if (::FlushFileBuffers(HandleOf(file))) return true;
  *code = LastError();
  return false;
}

bool Close(File file, int* code) {
  if (::CloseHandle(HandleOf(file))) return true;
  *code = LastError();
  return false;
}

bool GiveName(const std::string& temp, const std::string& path, bool replace, int* code, bool* taken) {
  // Without MOVEFILE_REPLACE_EXISTING the move refuses an existing name, so
  // a file that appeared meanwhile is never overwritten.
  DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  if (::MoveFileExA(temp.c_str(), path.c_str(), flags)) return true;
  *code = LastError();
  *taken = !replace && (*code == ERROR_ALREADY_EXISTS || *code == ERROR_FILE_EXISTS);
  return false;
}

void Remove(const std::string& path) { ::DeleteFileA(path.c_str()); }

}  // namespace atomic_file_system
