#include "serial/port_name.h"

std::string PortDevicePath(const std::string& portName) { return "\\\\.\\" + portName; }

// COM names are the devices themselves: there are no links to follow.
std::string ResolvedPortDevice(const std::string& portName, const std::string&) { return portName; }

bool IsPortPath(const std::string& portName) { return portName.find('\\') != std::string::npos; }
