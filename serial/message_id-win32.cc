// Registered message ids on Windows: the system's own, so that a window of
// another program asking for the same name gets the same id.

#include <windows.h>

#include "serial/serial_listener.h"

uint32_t RegisterMessage(const char* name) { return ::RegisterWindowMessageA(name); }
