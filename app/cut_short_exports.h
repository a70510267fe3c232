#pragma once

#include <string>
#include <vector>

#include "platform/notice.h"
#include "platform/atomic_file.h"
#include "platform/platform.h"

// A capture killed while it exports (power cut, kill -9, a crash) leaves
// the temporary file of the export it was writing beside the reports, and
// that report without the file. At start the front ends clear such files
// away and tell the user what is missing.

/// True when the temporary file `temp` (modified `ageSeconds` ago) can no
/// longer be written by anyone: its writer ran on this machine and has
/// ended, or it ran elsewhere (a shared folder) and the file has not been
/// touched for an hour. An export is written within seconds and touches
/// its file at every write, so a live writer is never taken for gone.
bool IsStaleTempFile(const AtomicTempName& temp, long long ageSeconds);

/// Removes the stale temporary files of AtomicFile in `folder`; the full
/// final names of those whose final file does not exist (exports cut short).
std::vector<std::string> RemoveStaleTempFiles(const std::string& folder);

/// RemoveStaleTempFiles in the Text and Excel folders, then one notice
/// naming every file an export never wrote (for a missing .xls, the report's
/// .txt that has it) and how to write them again from `trafficLog`.
void CleanUpCutShortExports(const std::string& trafficLog, NoticeSink& notices);
