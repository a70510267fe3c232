#include "serial/port_name.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "serial/serial_device.h"

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

// A stable link below /dev/serial/by-id opens as it is.
std::string PortToOpen(const std::string& portName) { return portName; }

std::string StoredPortName(const std::string& portName) { return portName; }

// Whether a port can be had now and the name it is found under again: what
// the port list and the reconnect ask of a port name.

bool CanOpenExclusively(const std::string& devicePath) {
  int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  return free;
}

const char kStablePortFolder[] = "/dev/serial/by-id/";

std::string StablePortName(const std::string& portName, const std::string& stableFolder) {
  std::string folder = stableFolder;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  std::string path = PortDevicePath(portName);
  if (path.rfind(folder, 0) == 0) return path;
  const std::string target = ResolvedPortDevice(portName);
  if (target.empty()) return portName;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return portName;
  std::string found = portName;
  while (dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    std::string link = folder + entry->d_name;
    if (ResolvedPortDevice(link) == target) {
      found = link;
      break;
    }
  }
  ::closedir(dir);
  return found;
}

std::string OpenFailureHint(int32_t code) {
  if (code != EACCES) return "";
  return "Serial ports belong to the group dialout: add your user to it with "
         "\"sudo usermod -aG dialout $USER\", then log out and in again.";
}
