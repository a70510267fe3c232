#pragma once

#include <cstddef>
#include <cstdio>
#include <ctime>
#include <memory>
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

/// The folder of what belongs to the machine rather than to one user
/// (Windows: %ProgramData%\Harrow, where the installer puts the site's
/// settings); empty where the system has none (POSIX).
std::string MachineFolder();

/// From now on the settings folder, the built-in root folders and the folder
/// for unsaved reports lie in MachineFolder(): for a capture run by the
/// service manager under an account with no user profile. Does nothing
/// where MachineFolder() is empty (a POSIX service runs as a user of its own).
void UseMachineFolders();

/// A folder that is always writable, where reports are saved when their
/// own folder refuses them. Created (with its parents) on demand; false and
/// `err` filled when that fails.
bool UnsavedReportsFolder(std::string* folder, std::string* err);

/// Creates one folder level; a missing parent is not created.
bool MakeDirectory(const std::string& path);

/// Creates a folder and every missing parent; true when it exists
/// afterwards. Otherwise `err` (may be null) names the level that could not
/// be made and the cause.
bool MakeDirectories(const std::string& path, std::string* err = nullptr);

/// Reads the whole file into `data` (appending); false and `err` filled
/// ("cannot open PATH: reason" or "cannot read PATH: reason") on failure.
bool ReadWholeFile(const std::string& path, std::string* data, std::string* err);

/// True when something exists at `path`.
bool PathExists(const std::string& path);

/// The size of the file at `path`; false when it cannot be asked.
bool FileSize(const std::string& path, long long* size);

/// `t` converted to the local date and time; false when it cannot be.
bool LocalTimeOf(std::time_t t, std::tm* local);

/// The user's locale's short date, a blank and its time with seconds, for
/// the time stamps of the traffic log.
std::string LocaleTimeStamp(const std::tm& t);

/// The running system's version as three numbers (Linux: the kernel release).
void OsVersion(int* major, int* minor, int* build);

/// The system's text for an error number (errno on POSIX, GetLastError on
/// Windows).
std::string SystemErrorText(int code);

/// Sets an environment variable of this process; UnsetEnv removes one.
void SetEnv(const char* name, const std::string& value);
void UnsetEnv(const char* name);

/// Makes standard input deliver bytes unchanged (no text-mode translation
/// of CR LF where the system has one).
void UseBinaryStandardInput();

/// Makes a write past the process's file-size limit fail with an error, as
/// on a full disk, instead of ending the process (POSIX: SIGXFSZ ignored).
void IgnoreFileSizeLimitSignal();

/// Makes a write to a pipe whose reader has gone fail with an error instead
/// of ending the process (POSIX: SIGPIPE ignored; Windows has no such end).
void IgnoreBrokenPipeSignal();

/// Gives the null device to each of standard input, output and error that
/// the process was started without, so that no file it opens later takes
/// that place and receives what is printed.
void OpenMissingStandardStreams();

/// Cuts the open file `f` back to `size` bytes; false when the system refuses.
bool TruncateOpenFile(std::FILE* f, long long size);

/// This process's id.
unsigned long CurrentProcessId();

/// False only when no process `pid` runs on this machine now.
bool ProcessMayBeRunning(unsigned long pid);

/// This machine's name as the system gives it; empty when it gives none.
std::string HostName();

/// This machine's name, "host" when the system gives none, with every character but letters, digits and '.'
/// made '_' (so it never holds the '-' that separates the parts of a
/// temporary file's name).
std::string MachineName();

/// Lets the calling thread give way to the process's other threads when
/// they compete for the processor: for background work. Best effort.
void LowerThreadPriority();

