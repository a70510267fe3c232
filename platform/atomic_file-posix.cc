#include "platform/atomic_file_system.h"

#include <errno.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/platform.h"

namespace atomic_file_system {

const int kNotOpen = EBADF;

File CreateUnique(const std::string& prefix, std::string* name, int* code) {
  std::string pattern = prefix + "XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  int fd = ::mkstemp(buf.data());
  if (fd < 0) {
    *code = errno;
    return kNoFile;
  }
  // mkstemp makes the file for its owner alone; a report is for the lab.
  ::fchmod(fd, 0644);
  *name = buf.data();
  return fd;
}

size_t WriteSome(File file, const char* data, size_t size, int* code) {
  for (;;) {
    ssize_t n = ::write(static_cast<int>(file), data, size);
    if (n > 0) return static_cast<size_t>(n);
    if (n < 0 && errno == EINTR) continue;
    *code = n < 0 ? errno : EIO;
    return 0;
  }
}

bool Sync(File file, int* code) {
  if (::fsync(static_cast<int>(file)) == 0) return true;
  *code = errno;
  return false;
}

bool Close(File file, int* code) {
  if (::close(static_cast<int>(file)) == 0) return true;
  *code = errno;
  return false;
}

bool GiveName(const std::string& temp, const std::string& path, bool replace, int* code, bool* taken) {
  if (!replace) {
    // link() refuses an existing name, so a file that appeared meanwhile is
    // never overwritten.
    if (::link(temp.c_str(), path.c_str()) == 0) {
      ::unlink(temp.c_str());
      return true;
    }
    // Some file systems (FAT on a USB stick, some network shares) have no
    // hard links: check for the name, then rename.
    if (errno == EEXIST || PathExists(path)) {
      *code = EEXIST;
      *taken = true;
      return false;
    }
  }
  if (::rename(temp.c_str(), path.c_str()) == 0) return true;
  *code = errno;
  return false;
}

void Remove(const std::string& path) { ::unlink(path.c_str()); }

}  // namespace atomic_file_system
