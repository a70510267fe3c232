#pragma once

#include <string>

// The settings a site installs for every user of a PC. On Windows the
// installer writes them to %ProgramData%\Harrow\Kestrel.ini; a user who has
// no settings file of their own starts from a copy of it, and from then on
// their own file is the one read and written. Linux has no such file.

/// Copies the machine-wide settings file to `userFile` when `userFile` does
/// not exist and the machine-wide one does; once per path and process.
void AdoptMachineSettings(const std::string& userFile);
