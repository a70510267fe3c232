// Port discovery on Linux through libudev: every tty device that hangs off
// a parent device (a UART on the board, a USB adapter, a PCI card). Virtual
// consoles and pseudo-terminals have no parent and are left out.

#include "serial/port_discovery-udev.h"

#include <fcntl.h>
#include <libudev.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "serial/serial_device.h"

namespace {

std::string Property(udev_device* device, const char* name) {
  const char* value = udev_device_get_property_value(device, name);
  return value ? value : "";
}

std::string Describe(udev_device* device, const std::string& portName, bool isUsb) {
  // The adapter's model as the USB descriptors name it, with the
  // underscores udev puts for blanks made blanks again.
  std::string model = Property(device, "ID_MODEL_FROM_DATABASE");
  if (model.empty()) model = Property(device, "ID_MODEL");
  for (char& c : model) {
    if (c == '_') c = ' ';
  }
  if (model.empty()) model = isUsb ? "USB Serial Port" : "Serial Port";
  return model + " (" + portName + ")";
}

class UdevPortDiscovery : public PortDiscovery {
 public:
  explicit UdevPortDiscovery(std::function<UartPresence(const std::string&)> probe) : probe_(std::move(probe)) {}

  void Discover(ComPortInfoArray& ports) override {
    udev* context = udev_new();
    if (!context) throw ComPortEnumerationError("Could not open the device registry (udev).");
    udev_enumerate* walk = udev_enumerate_new(context);
    if (!walk || udev_enumerate_add_match_subsystem(walk, "tty") < 0 ||
        udev_enumerate_scan_devices(walk) < 0) {
      int err = errno;
      if (walk) udev_enumerate_unref(walk);
      udev_unref(context);
      throw ComPortEnumerationError(std::string("Could not list the tty devices. (") +
                                    std::strerror(err) + ")");
    }
    udev_list_entry* entry;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(walk)) {
      udev_device* device = udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
      if (!device) continue;
      const char* node = udev_device_get_devnode(device);
      udev_device* parent = udev_device_get_parent(device);
      // A serial8250 port without hardware behind it still has a parent
      // (the platform device): a PC has 4 to 32 of them, most with no UART.
      // Their driver knows: it reports the type as unknown.
      if (node && parent &&
          KeepDiscoveredTty(udev_device_get_sysname(device), node, udev_device_get_sysattr_value(device, "type"),
                            probe_)) {
        ComPortInfo port;
        port.devicePath = node;
        port.portName = udev_device_get_sysname(device);
        port.isUsb = Property(device, "ID_BUS") == "usb" ||
                     udev_device_get_parent_with_subsystem_devtype(device, "usb", nullptr);
        port.friendlyName = Describe(device, port.portName, port.isUsb);
        ports.push_back(port);
      }
      udev_device_unref(device);
    }
    udev_enumerate_unref(walk);
    udev_unref(context);
  }

  bool IsBusy(const std::string& devicePath) override { return !CanOpenExclusively(devicePath); }

 private:
  std::function<UartPresence(const std::string&)> probe_;
};

}  // namespace

UartPresence ProbeUart(const std::string& devicePath) {
  // Read-only and non-blocking: opening must neither wait for carrier nor
  // make the port anyone's controlling terminal.
  int fd = ::open(devicePath.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return UartPresence::kUnknown;
  serial_struct info {};
  int r = ::ioctl(fd, TIOCGSERIAL, &info);
  ::close(fd);
  if (r != 0) return UartPresence::kUnknown;
  return info.type == PORT_UNKNOWN ? UartPresence::kAbsent : UartPresence::kPresent;
}

bool KeepDiscoveredTty(const std::string& sysname, const std::string& devicePath, const char* uartType,
                       const std::function<UartPresence(const std::string&)>& probe) {
  if (sysname.rfind("ttyS", 0) != 0) return true;
  // The attribute needs no right to the device (ttyS* belong to root and
  // dialout) and opening a port raises its modem lines, which a device
  // on it may notice.
  if (uartType && *uartType) {
    char* end = nullptr;
    long type = std::strtol(uartType, &end, 10);
    if (end != uartType && (*end == '\0' || *end == '\n')) return type != PORT_UNKNOWN;
  }
  return probe(devicePath) != UartPresence::kAbsent;
}

std::unique_ptr<PortDiscovery> MakeUdevPortDiscovery(std::function<UartPresence(const std::string&)> probe) {
  return std::make_unique<UdevPortDiscovery>(std::move(probe));
}

std::unique_ptr<PortDiscovery> MakePortDiscovery() { return MakeUdevPortDiscovery(ProbeUart); }
