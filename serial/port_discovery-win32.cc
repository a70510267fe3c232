// Port discovery on Windows: for now the fixed list COM1 to COM16.

#include "serial/port_enumeration.h"
#include "serial/serial_device.h"

namespace {

class FixedListDiscovery : public PortDiscovery {
 public:
  void Discover(ComPortInfoArray& ports) override {
    for (int n = 1; n <= 16; ++n) {
      ComPortInfo port;
      port.portName = "COM" + std::to_string(n);
      port.devicePath = "\\\\.\\" + port.portName;
      ports.push_back(port);
    }
  }
  bool IsBusy(const std::string& devicePath) override { return !CanOpenExclusively(devicePath); }
};

}  // namespace

std::unique_ptr<PortDiscovery> MakePortDiscovery() { return std::make_unique<FixedListDiscovery>(); }
