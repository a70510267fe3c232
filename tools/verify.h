#pragma once

#include <string>

/// The exit status of --verify when anything is not as recorded.
constexpr int kExitNotVerified = 4;

/// harrow-capture --verify: prints what VerifyManifest finds below `root`,
/// one line each, then a summary; 0 when every report is "ok" and nothing
/// else was found, kExitNotVerified otherwise.
int RunVerify(const std::string& root);
