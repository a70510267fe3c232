#include "serial/port_name.h"

#include <limits.h>
#include <stdlib.h>

std::string PortDevicePath(const std::string& portName) {
  if (!portName.empty() && portName[0] == '/') return portName;
  return "/dev/" + portName;
}

std::string ResolvedPortDevice(const std::string& portName, const std::string& deviceFolder) {
  std::string path = PortDevicePath(portName);
  if (!deviceFolder.empty() && !IsPortPath(portName)) path = deviceFolder + "/" + portName;
  char resolved[PATH_MAX];
  if (portName.empty() || !::realpath(path.c_str(), resolved)) return "";
  return resolved;
}

bool IsPortPath(const std::string& portName) { return portName.find('/') != std::string::npos; }
