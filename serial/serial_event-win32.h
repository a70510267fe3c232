#pragma once

// The Win32 handle behind a SerialEvent, for the device backend: its
// overlapped records complete by signalling that handle.

#include <windows.h>

#include "serial/serial_event.h"

HANDLE EventHandle(SerialEvent* event);
