#include "platform/file_identity.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

void FromStat(const struct stat& st, FileIdentity* id) {
  id->device = static_cast<uint64_t>(st.st_dev);
  id->index = static_cast<uint64_t>(st.st_ino);
  id->size = static_cast<long long>(st.st_size);
  id->links = static_cast<unsigned long>(st.st_nlink);
}

}  // namespace

bool OpenFileIdentity(std::FILE* f, FileIdentity* id) {
  struct stat st;
  if (::fstat(::fileno(f), &st) != 0) return false;
  FromStat(st, id);
  return true;
}

bool PathIdentity(const std::string& path, FileIdentity* id) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  FromStat(st, id);
  return true;
}

bool TryLockOpenFile(std::FILE* f, bool* busy) {
  // flock() rather than fcntl(): its lock belongs to the open file, not to
  // the process, so two opens in one process see each other's, and closing
  // some other descriptor of the file does not drop it.
  if (::flock(::fileno(f), LOCK_EX | LOCK_NB) == 0) return true;
  *busy = errno == EWOULDBLOCK;
  return false;
}

bool RemoveFile(const std::string& path, int* code) {
  if (::unlink(path.c_str()) == 0) return true;
  *code = errno;
  return false;
}
