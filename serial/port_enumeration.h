#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

/// One serial port of the machine.
struct ComPortInfo {
  std::string devicePath;    // what opens the device ("/dev/ttyUSB0")
  std::string portName;      // the name the settings store ("ttyUSB0")
  std::string friendlyName;  // for display ("USB Serial Port (ttyUSB0)")
  bool isUsb = false;        // the port belongs to a USB device
  std::string description;   // the friendly name without the port name
  // The name that finds the same USB adapter under whatever port number it
  // has now ("usb:0403:6001:A51MAMME"); empty where the system numbers
  // ports stably itself or the port is no USB device's.
  std::string stableName;
};

/// The ports in discovery order.
using ComPortInfoArray = std::vector<ComPortInfo>;

/// The failure of an enumeration: one message text.
class ComPortEnumerationError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// The system's device registry, as a list of raw port records. One
/// implementation per platform (port_discovery-udev.cc, -win32.cc).
class PortDiscovery {
 public:
  virtual ~PortDiscovery() = default;
  /// Appends the ports found; throws ComPortEnumerationError on failure,
  /// leaving what was appended so far.
  virtual void Discover(ComPortInfoArray& ports) = 0;
  /// True when the device at `devicePath` cannot be opened exclusively now.
  virtual bool IsBusy(const std::string& devicePath) = 0;
};

/// The discovery of this platform.
std::unique_ptr<PortDiscovery> MakePortDiscovery();

/// Lists the machine's serial ports into `ports` (emptied first), every
/// record completed; with `skipBusyPorts`, ports that cannot be opened now
/// are left out. Throws ComPortEnumerationError on failure.
void EnumerateComPorts(ComPortInfoArray& ports, bool skipBusyPorts);
/// The same over a given discovery.
void EnumerateComPorts(ComPortInfoArray& ports, bool skipBusyPorts, PortDiscovery& discovery);

/// The port name of a record: its own, else what its friendly name gives
/// (the "COM3" of "USB Serial Port (COM3)", or the whole friendly name).
std::string PortNameOf(const ComPortInfo& port);

/// Completes the records in place: drops busy ones (when asked) and fills
/// empty names from the others, cutting "Name (port)" into its parts.
void CompleteComPorts(ComPortInfoArray& ports, bool skipBusyPorts, PortDiscovery& discovery);

/// True when `portName` is a stable name ("usb:..."), not a port.
inline bool IsStablePortName(const std::string& portName) { return portName.rfind("usb:", 0) == 0; }

/// The stable name of the USB device with the instance id `deviceId`:
/// "USB\VID_0403&PID_6001\A51MAMME" gives "usb:0403:6001:A51MAMME"; the
/// instance Windows makes up from hub and socket for a device without a
/// serial number ("USB\VID_067B&PID_2303\5&2A9F3C4&0&2") gives
/// "usb:067B:2303@5&2A9F3C4&0&2". Empty for any other id (an interface
/// of a composite device, a bus driver's node).
std::string UsbStableName(const std::string& deviceId);

/// The port a stored name opens now: for a stable name the port of the
/// adapter that has it among those `discovery` lists (empty when none
/// does), any other name itself.
std::string CurrentPortName(const std::string& portName, PortDiscovery& discovery);

/// The stable name of the port `portName` among those `discovery` lists;
/// `portName` itself when it has none.
std::string StableNameOf(const std::string& portName, PortDiscovery& discovery);
