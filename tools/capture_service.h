#pragma once

// harrow-capture run by the system's service manager. Windows has it here
// (capture_service-win32.cc); on Linux systemd runs the capture as it is
// (harrow-capture@.service), and these say so.

#include <string>
#include <vector>

#include "tools/capture_options.h"

/// --service: hands the process to the service manager, which runs the
/// live capture until it stops the service; a start from a console tells
/// how to use the service instead. The process's exit status.
int RunService(const CaptureOptions& options);

/// --install-service: installs (or changes) the service, started with the
/// system, its command line --service followed by `args`; exit status.
int InstallService(const std::vector<std::string>& args);

/// --remove-service: stops the service, waiting while it exports what it
/// holds, and removes it; exit status.
int RemoveService();
