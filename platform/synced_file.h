#pragma once

#include <string>

// Whole files for another program to pick up (a folder a LIMS watches):
// written and synced before they get the name that program looks for.

/// Writes `data` to `path` (replacing it), synced to the disk; on failure
/// nothing is left at `path`. One implementation per platform.
bool WriteSyncedFile(const std::string& path, const std::string& data, std::string* err);

/// Renames `temp` to `path` unless `path` exists: then false with `taken`
/// set; other failures false with `err`. A watcher sees the file arrive as
/// a rename (inotify's IN_MOVED_TO), as tools waiting for "close_write or
/// moved_to" expect. One implementation per platform.
bool RenameWithoutReplacing(const std::string& temp, const std::string& path, bool* taken, std::string* err);
