#include "platform/synced_append.h"

#include <windows.h>

#include <algorithm>

#include "platform/platform.h"

namespace {

bool Fail(const char* step, const std::string& path, std::string* err) {
  *err = std::string("cannot ") + step + " " + path + ": " + SystemErrorText(static_cast<int>(::GetLastError()));
  return false;
}

// Windows locks are mandatory: a lock on the file's bytes would stop a
// reader (--verify) as well. The appenders lock one byte far past any real
// end instead, which only they ask for.
constexpr DWORD kLockOffsetHigh = 0x40000000;

struct Closer {
  HANDLE h;
  ~Closer() { ::CloseHandle(h); }
};

}  // namespace

bool AppendSynced(const std::string& path, size_t tailBytes, const AppendComposer& compose, std::string* err) {
  // With append access and no write access, every write goes to the end.
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ | FILE_APPEND_DATA,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Fail("open", path, err);
  Closer closer{h};
  OVERLAPPED at{};
  at.OffsetHigh = kLockOffsetHigh;
  if (!::LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at)) return Fail("lock", path, err);
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(h, &size)) return Fail("read", path, err);
  std::string tail(static_cast<size_t>(std::min<long long>(size.QuadPart, static_cast<long long>(tailBytes))), '\0');
  size_t got = 0;
  while (got < tail.size()) {
    OVERLAPPED from{};
    long long offset = size.QuadPart - static_cast<long long>(tail.size() - got);
    from.Offset = static_cast<DWORD>(offset);
    from.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD n = 0;
    if (!::ReadFile(h, tail.data() + got, static_cast<DWORD>(tail.size() - got), &n, &from)) return Fail("read", path, err);
    if (n == 0) {
      ::SetLastError(ERROR_HANDLE_EOF);
      return Fail("read", path, err);
    }
    got += n;
  }
  const std::string bytes = compose(tail, size.QuadPart);
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD n = 0;
    if (!::WriteFile(h, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &n, nullptr)) {
      return Fail("write", path, err);
    }
    if (n == 0) {
      ::SetLastError(ERROR_WRITE_FAULT);
      return Fail("write", path, err);
    }
    done += n;
  }
  if (!::FlushFileBuffers(h)) return Fail("sync", path, err);
  ::UnlockFileEx(h, 0, 1, 0, &at);
  return true;
}
