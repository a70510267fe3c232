#include "platform/synced_append.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "platform/platform.h"

namespace {

bool Fail(const char* step, const std::string& path, int code, std::string* err) {
  *err = std::string("cannot ") + step + " " + path + ": " + SystemErrorText(code);
  return false;
}

// The lock goes with the descriptor: closing it releases the file for the
// next appender, also when a step failed.
struct Closer {
  int fd;
  ~Closer() { ::close(fd); }
};

}  // namespace

bool AppendSynced(const std::string& path, size_t tailBytes, const AppendComposer& compose, std::string* err) {
  int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return Fail("open", path, errno, err);
  Closer closer{fd};
  int rc;
  while ((rc = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
  }
  if (rc != 0) return Fail("lock", path, errno, err);
  struct stat st {};
  if (::fstat(fd, &st) != 0) return Fail("read", path, errno, err);
  long long size = st.st_size;
  std::string tail(static_cast<size_t>(std::min<long long>(size, static_cast<long long>(tailBytes))), '\0');
  size_t got = 0;
  while (got < tail.size()) {
    ssize_t n = ::pread(fd, tail.data() + got, tail.size() - got, size - static_cast<long long>(tail.size() - got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Fail("read", path, n < 0 ? errno : EIO, err);
    got += static_cast<size_t>(n);
  }
  const std::string bytes = compose(tail, size);
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Fail("write", path, n < 0 ? errno : EIO, err);
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0) return Fail("sync", path, errno, err);
  return true;
}
