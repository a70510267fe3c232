#include "platform/atomic_file.h"

#include <cctype>

#include "platform/atomic_file_system.h"
#include "platform/platform.h"

namespace sys = atomic_file_system;

struct AtomicFile::Impl {
  std::string path;
  std::string tempPath;
  sys::File file = sys::kNoFile;
  std::string buffer;

  bool Fail(const std::string& what, int code, std::string* err) {
    if (err) *err = what + ": " + SystemErrorText(code);
    Abandon();
    return false;
  }

  bool NotOpen(std::string* err) {
    if (err) *err = SystemErrorText(sys::kNotOpen);
    return false;
  }

  bool Flush(std::string* err) {
    size_t done = 0;
    while (done < buffer.size()) {
      int code = 0;
      size_t n = sys::WriteSome(file, buffer.data() + done, buffer.size() - done, &code);
      if (n == 0) return Fail("write failed", code, err);
      done += n;
    }
    buffer.clear();
    return true;
  }

  void Abandon() {
    if (file != sys::kNoFile) {
      int ignored = 0;
      sys::Close(file, &ignored);
      file = sys::kNoFile;
    }
    if (!tempPath.empty()) {
      sys::Remove(tempPath);
      tempPath.clear();
    }
    buffer.clear();
  }
};

AtomicFile::AtomicFile() : impl_(std::make_unique<Impl>()) {}

AtomicFile::~AtomicFile() { Abandon(); }

bool AtomicFile::Open(const std::string& path, std::string* err) {
  Impl& f = *impl_;
  f.Abandon();
  f.path = path;
  int code = 0;
  f.file = sys::CreateUnique(path + AtomicTempInfix(), &f.tempPath, &code);
  if (f.file == sys::kNoFile) {
    if (err) *err = SystemErrorText(code);
    return false;
  }
  return true;
}

bool AtomicFile::Write(const void* data, size_t size, std::string* err) {
  Impl& f = *impl_;
  if (f.file == sys::kNoFile) return f.NotOpen(err);
  f.buffer.append(static_cast<const char*>(data), size);
  if (f.buffer.size() >= 1 << 16) return f.Flush(err);
  return true;
}

bool AtomicFile::Commit(bool replace, std::string* err, bool* takenOut) {
  Impl& f = *impl_;
  if (f.file == sys::kNoFile) return f.NotOpen(err);
  if (!f.Flush(err)) return false;
  int code = 0;
  if (!sys::Sync(f.file, &code)) return f.Fail("sync failed", code, err);
  sys::File file = f.file;
  f.file = sys::kNoFile;
  if (!sys::Close(file, &code)) return f.Fail("close failed", code, err);
  bool taken = false;
  if (!sys::GiveName(f.tempPath, f.path, replace, &code, &taken)) {
    if (takenOut) *takenOut = taken;
    return f.Fail(taken ? "cannot create file" : "rename failed", code, err);
  }
  f.tempPath.clear();
  return true;
}

void AtomicFile::Abandon() { impl_->Abandon(); }

std::string AtomicTempInfix() {
  return ".tmp-" + MachineName() + "-" + std::to_string(CurrentProcessId()) + "-";
}

bool ParseAtomicTempName(const std::string& name, AtomicTempName* parsed) {
  // FINAL ".tmp-" MACHINE "-" PID "-" UNIQUE; the machine name holds no
  // '-', the final name may hold anything.
  size_t tag = name.rfind(".tmp-");
  if (tag == std::string::npos || tag == 0) return false;
  std::string rest = name.substr(tag + 5);
  size_t first = rest.find('-');
  size_t last = rest.rfind('-');
  if (first == std::string::npos || first == 0 || last == first || last + 1 >= rest.size()) return false;
  std::string pid = rest.substr(first + 1, last - first - 1);
  if (pid.empty() || pid.size() > 10) return false;
  for (char c : pid) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  parsed->finalName = name.substr(0, tag);
  parsed->machine = rest.substr(0, first);
  parsed->pid = std::stoul(pid);
  return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view data, std::string* err) {
  AtomicFile file;
  if (!file.Open(path, err)) return false;
  if (!file.Write(data.data(), data.size(), err)) return false;
  return file.Commit(true, err);
}
