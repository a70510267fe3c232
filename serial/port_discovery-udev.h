#pragma once

// The Linux discovery's own pieces, open to the tests.

#include <functional>
#include <memory>
#include <string>

#include "serial/port_enumeration.h"

/// What a port's driver says about the UART behind a device.
enum class UartPresence { kPresent, kAbsent, kUnknown };

/// Asks the driver of the device at `devicePath` for its UART type
/// (TIOCGSERIAL): kAbsent for PORT_UNKNOWN, kUnknown when the device cannot
/// be opened or its driver does not answer (USB adapters, ptys).
UartPresence ProbeUart(const std::string& devicePath);

/// Whether a discovered tty belongs in the list: every port but a "ttyS*"
/// whose driver reports that no UART is there. The driver's answer is its
/// "type" attribute in sysfs (`uartType`, null when it has none), read
/// without opening the port; only without one is `probe` asked.
bool KeepDiscoveredTty(const std::string& sysname, const std::string& devicePath, const char* uartType,
                       const std::function<UartPresence(const std::string&)>& probe);

/// The udev discovery, asking `probe` about "ttyS*" ports.
std::unique_ptr<PortDiscovery> MakeUdevPortDiscovery(std::function<UartPresence(const std::string&)> probe);
