#pragma once

#include <cstddef>
#include <functional>
#include <string>

/// Makes the bytes to append from the end of the file as it stands (at
/// most the tail asked for; empty for a new file) and its whole size.
using AppendComposer = std::function<std::string(const std::string& tail, long long size)>;

/// Appends to the file at `path` (created when missing, its folder not)
/// the bytes `compose` makes from the file's last `tailBytes` bytes, while
/// holding the file locked against every other appender through this
/// function, on this machine or another one sharing the folder; the bytes
/// are synced to the disk before it returns. False and `err` ("cannot
/// open|lock|read|write|sync PATH: reason") when any step fails.
bool AppendSynced(const std::string& path, size_t tailBytes, const AppendComposer& compose, std::string* err);
