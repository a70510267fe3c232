#include "app/machine_settings.h"

// A Linux PC's users each configure their own; the service reads the file
// in its own home.
void AdoptMachineSettings(const std::string&) {}
