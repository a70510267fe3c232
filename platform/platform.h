#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The few things the settings store, the traffic log and the exports need
// from the operating system. One implementation per platform
// (platform-posix.cc, platform-win32.cc); the rest of the code never asks
// the system directly.

/// The separator placed between a folder and a name ("/" or "\").
extern const char kPathSeparator[];

/// The port opened when the settings name none, and the longest port name
/// read from them (Windows: "COM1", 9; POSIX: "ttyUSB0", no limit, since a
/// cut device path would silently name another device).
extern const char kDefaultComPort[];
extern const size_t kComPortLength;

/// The built-in root folder of a model number, or of no model (0).
std::string BuiltInRootFolder(int model);

/// The user's home folder, without a trailing separator.
std::string HomeFolder();

/// The folder that holds "Kestrel.ini" and "Glimmer.ini".
std::string SettingsFolder();

/// A folder that is always writable, where reports are saved when their
/// own folder refuses them. Created (with its parents) on demand; false and
/// `err` filled when that fails.
bool UnsavedReportsFolder(std::string* folder, std::string* err);

/// Creates one folder level; a missing parent is not created.
bool MakeDirectory(const std::string& path);

/// Creates a folder and every missing parent; true when it exists afterwards.
bool MakeDirectories(const std::string& path);

/// Reads the whole file into `data` (appending); false and `err` filled
/// ("cannot open PATH: reason" or "cannot read PATH: reason") on failure.
bool ReadWholeFile(const std::string& path, std::string* data, std::string* err);

/// True when something exists at `path`.
bool PathExists(const std::string& path);

/// The running system's version as three numbers (Linux: the kernel release).
void OsVersion(int* major, int* minor, int* build);

/// The system's text for an error number (errno on POSIX).
std::string SystemErrorText(int code);

/// Lets the calling thread give way to the process's other threads when
/// they compete for the processor: for background work. Best effort.
void LowerThreadPriority();

/// A file written under a temporary name in its target folder and given its
/// final name only when every byte has reached the disk, so no reader ever
/// sees a truncated file under the final name. Destroying an uncommitted
/// file removes the temporary one.
class AtomicFile {
 public:
  AtomicFile() = default;
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  ~AtomicFile();

  /// Creates the temporary file beside `path`; false and `err` filled when
  /// the folder refuses it.
  bool Open(const std::string& path, std::string* err);
  /// Appends bytes (buffered); false and `err` filled on the first failed write.
  bool Write(const void* data, size_t size, std::string* err);
  /// Flushes, syncs and closes, then gives the file its final name. With
  /// `replace` false an existing file of that name is never touched: the
  /// commit then fails with the system's "file exists" reason.
  bool Commit(bool replace, std::string* err);
  /// Closes and removes the temporary file.
  void Abandon();

 private:
  bool Flush(std::string* err);
  bool Fail(const std::string& what, int code, std::string* err);

  std::string path_;
  std::string tempPath_;
  int fd_ = -1;
  std::string buffer_;
};

/// Writes `data` to `path` as one AtomicFile, replacing what was there.
bool WriteFileAtomically(const std::string& path, std::string_view data, std::string* err);
