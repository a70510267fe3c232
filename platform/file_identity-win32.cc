#include "platform/file_identity.h"

#include <windows.h>

#include <io.h>

namespace {

bool FromHandle(HANDLE handle, FileIdentity* id) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(handle, &info)) return false;
  id->device = info.dwVolumeSerialNumber;
  id->index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  id->size = static_cast<long long>((static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
  id->links = info.nNumberOfLinks;
  return true;
}

HANDLE HandleOf(std::FILE* f) { return reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(f))); }

}  // namespace

bool OpenFileIdentity(std::FILE* f, FileIdentity* id) {
  HANDLE handle = HandleOf(f);
  return handle != INVALID_HANDLE_VALUE && FromHandle(handle, id);
}

bool PathIdentity(const std::string& path, FileIdentity* id) {
  // No access asked for, and every sharing allowed: the file's attributes
  // can be read even while another program holds it open without sharing.
  HANDLE handle = ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool ok = FromHandle(handle, id);
  ::CloseHandle(handle);
  return ok;
}

bool TryLockOpenFile(std::FILE* f, bool* busy) {
  HANDLE handle = HandleOf(f);
  if (handle == INVALID_HANDLE_VALUE) {
    *busy = false;
    return false;
  }
  // Windows' locks stop reads and writes of the bytes they cover: the byte
  // locked lies far beyond any log's end, so it only tells writers apart.
  OVERLAPPED where = {};
  where.Offset = 0;
  where.OffsetHigh = 0x7FFFFFFF;
  if (::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &where)) return true;
  *busy = ::GetLastError() == ERROR_LOCK_VIOLATION;
  return false;
}

bool RemoveFile(const std::string& path, int* code) {
  if (::DeleteFileA(path.c_str())) return true;
  *code = static_cast<int>(::GetLastError());
  return false;
}
