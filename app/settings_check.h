#pragma once

#include <string>
#include <vector>

// The settings file is edited by hand as often as by the settings dialog;
// what it holds that Harrow cannot use as written must never be taken
// silently. These rules serve both front ends and harrow-capture.

/// What the settings hold that cannot be used as written, each as a
/// sentence for the user that says what is used instead: a settings file
/// that cannot be read, is not text, is far too large or holds no section
/// of Harrow's, a model Harrow does not know, an export format it does not
/// write, an empty port name or one longer than the platform's port names.
/// Empty when all is understood.
std::vector<std::string> SettingsProblems();
