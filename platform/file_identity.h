#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// What a log written for weeks needs to notice that its file was deleted,
// moved away or is written by a second process too: which file an open
// stream and a path are, and a lock that only writers asking for it see.
// One implementation per platform (file_identity-posix.cc,
// file_identity-win32.cc).

/// Which file it is, whatever name it has now: the device (POSIX) or volume
/// serial number (Windows) and the file's index there; its size, and how
/// many names it has (0 for a file deleted while open).
struct FileIdentity {
  uint64_t device = 0;
  uint64_t index = 0;
  long long size = 0;
  unsigned long links = 1;
  /// True when both name the same file.
  bool SameFile(const FileIdentity& other) const { return device == other.device && index == other.index; }
};

/// The identity of the open file `f`; false when the system cannot tell.
bool OpenFileIdentity(std::FILE* f, FileIdentity* id);

/// The identity of the file at `path`; false when there is none or the
/// system cannot tell.
bool PathIdentity(const std::string& path, FileIdentity* id);

/// Takes, without waiting, the writer's lock of the open file `f`, held
/// until `f` is closed. False when another open of the file holds it (also
/// one of this process), with `busy` set; false with `busy` clear when the
/// file system has no locks. The lock keeps no one from reading or writing.
bool TryLockOpenFile(std::FILE* f, bool* busy);

/// Removes the file at `path`; false with the system's error code in `code`.
bool RemoveFile(const std::string& path, int* code);
