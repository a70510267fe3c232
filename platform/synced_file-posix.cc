#include "platform/synced_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include "platform/platform.h"

bool WriteSyncedFile(const std::string& path, const std::string& data, std::string* err) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    *err = path + ": " + SystemErrorText(errno);
    return false;
  }
  const char* what = "write failed";
  size_t done = 0;
  bool ok = true;
  while (ok && done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      ok = false;
    } else {
      done += static_cast<size_t>(n);
    }
  }
  // A share or a full disk may refuse the bytes only here.
  if (ok && ::fsync(fd) != 0) {
    what = "sync failed";
    ok = false;
  }
  int code = errno;
  if (::close(fd) != 0 && ok) {
    what = "close failed";
    code = errno;
    ok = false;
  }
  if (ok) return true;
  ::unlink(path.c_str());
  *err = path + ": " + what + ": " + SystemErrorText(code);
  return false;
}

bool RenameWithoutReplacing(const std::string& temp, const std::string& path, bool* taken, std::string* err) {
  *taken = false;
  if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) return true;
  int code = errno;
  // Some shares and older file systems know no such rename: the name is
  // checked first instead, which leaves only a small window open.
  if (code == EINVAL || code == ENOSYS || code == ENOTSUP) {
    if (PathExists(path)) {
      code = EEXIST;
    } else if (::rename(temp.c_str(), path.c_str()) == 0) {
      return true;
    } else {
      code = errno;
    }
  }
  ::unlink(temp.c_str());
  *taken = code == EEXIST;
  *err = path + ": " + SystemErrorText(code);
  return false;
}
