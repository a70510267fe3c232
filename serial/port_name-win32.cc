#include "serial/port_name.h"

#include <windows.h>

#include "serial/port_enumeration.h"
#include "serial/serial_device.h"

std::string PortDevicePath(const std::string& portName) { return "\\\\.\\" + portName; }

// COM names are the devices themselves: there are no links to follow, only
// stable names to look up.
std::string ResolvedPortDevice(const std::string& portName, const std::string&) { return PortToOpen(portName); }

std::string PortToOpen(const std::string& portName) {
  if (!IsStablePortName(portName)) return portName;
  return CurrentPortName(portName, *MakePortDiscovery());
}

bool IsPortPath(const std::string& portName) { return portName.find('\\') != std::string::npos; }

// Whether a port can be had now and the name it is found under again: what
// the port list and the reconnect ask of a port name.

bool CanOpenExclusively(const std::string& devicePath) {
  HANDLE h = ::CreateFileA(devicePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(h);
  return true;
}

// Windows keeps no links: a USB adapter's stable name is made from its
// identity in the device tree (port_enumeration.h), since it gets a new COM
// number in another socket or when another adapter took its own.
const char kStablePortFolder[] = "";

std::string StablePortName(const std::string& portName, const std::string&) {
  return StableNameOf(portName, *MakePortDiscovery());
}

std::string StoredPortName(const std::string& portName) { return StablePortName(portName); }

std::string OpenFailureHint(int32_t code) {
  if (code == ERROR_ACCESS_DENIED) return "Another program has the port open: close it and try again.";
  if (code == ERROR_FILE_NOT_FOUND) return "No such port on this computer: pick one in Settings.";
  return "";
}
