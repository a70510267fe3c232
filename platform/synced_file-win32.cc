#include "platform/synced_file.h"

#include <windows.h>

#include <algorithm>

#include "platform/platform.h"

namespace {

std::wstring Wide(const std::string& text) {
  int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring out(static_cast<size_t>(n > 0 ? n : 1), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, out.data(), n);
  out.resize(out.size() - 1);
  return out;
}

}  // namespace

bool WriteSyncedFile(const std::string& path, const std::string& data, std::string* err) {
  std::wstring wide = Wide(path);
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *err = path + ": " + SystemErrorText(static_cast<int>(GetLastError()));
    return false;
  }
  const char* what = "write failed";
  bool ok = true;
  size_t done = 0;
  while (ok && done < data.size()) {
    DWORD n = 0;
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 20));
    ok = WriteFile(file, data.data() + done, chunk, &n, nullptr) && n > 0;
    done += n;
  }
  // A share or a full disk may refuse the bytes only here.
  if (ok && !FlushFileBuffers(file)) {
    what = "sync failed";
    ok = false;
  }
  DWORD code = GetLastError();
  CloseHandle(file);
  if (ok) return true;
  DeleteFileW(wide.c_str());
  *err = path + ": " + what + ": " + SystemErrorText(static_cast<int>(code));
  return false;
}

bool RenameWithoutReplacing(const std::string& temp, const std::string& path, bool* taken, std::string* err) {
  *taken = false;
  // Without MOVEFILE_REPLACE_EXISTING an existing name is refused.
  if (MoveFileExW(Wide(temp).c_str(), Wide(path).c_str(), MOVEFILE_WRITE_THROUGH)) return true;
  DWORD code = GetLastError();
  DeleteFileW(Wide(temp).c_str());
  *taken = code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS;
  *err = path + ": " + SystemErrorText(static_cast<int>(code));
  return false;
}
