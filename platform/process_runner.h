#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

// Starting a site's own program (an upload script, a LIMS import) beside
// the capture: never through a shell, so a report's path with blanks or
// quotes reaches the program as one argument, and never for longer than
// its time limit. One implementation per platform (process_runner-posix.cc,
// process_runner-win32.cc).

/// How a program run by RunProcess ended.
struct ProcessResult {
  enum Outcome { kExited, kTimedOut, kNotStarted };
  Outcome outcome = kNotStarted;
  int exitStatus = 0;       // its exit status (kExited); on POSIX 128 + signal when a signal ended it
  std::string errorHead;    // the first lines of its standard error
  std::string startError;   // why it could not be started (kNotStarted)
};

/// Runs `argv` (the program first, found on the PATH when it names no
/// folder) with `env` added to this process's environment, standard input
/// and output on the null device; waits for its end, or stops it (with the
/// programs it started, where the system allows) once `limit` has passed.
ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::vector<std::pair<std::string, std::string>>& env,
                         std::chrono::milliseconds limit);

/// RunProcess once `argv` names a program: one implementation per platform.
ProcessResult RunNamedProgram(const std::vector<std::string>& argv,
                              const std::vector<std::pair<std::string, std::string>>& env,
                              std::chrono::milliseconds limit);

/// How many lines of standard error ProcessResult::errorHead keeps.
constexpr size_t kErrorHeadLines = 5;

/// The first kErrorHeadLines lines of `text`, without a final line end,
/// each cut to 200 bytes.
std::string FirstLines(const std::string& text);

/// One argument as Windows programs read it back from a command line
/// (CommandLineToArgvW and the C runtime): as it is when it holds no blank,
/// tab, newline or quote and is not empty; otherwise in quotes, with each
/// quote escaped and the backslashes before a quote, or before the closing
/// quote, doubled.
std::string QuoteWindowsArgument(const std::string& arg);

/// The command line of `argv`, each quoted by QuoteWindowsArgument and
/// separated by one blank.
std::string WindowsCommandLine(const std::vector<std::string>& argv);
