#include "serial/port_enumeration.h"

namespace {

// "Text (x)" with " (" after the start and the first ")" last: the index
// of the "(", or npos when the text has another shape.
size_t TrailingParenthesis(const std::string& text, const char* open) {
  size_t at = text.find(open);
  if (at == std::string::npos || at == 0) return std::string::npos;
  size_t close = text.find(')');
  if (close != text.size() - 1) return std::string::npos;
  return at;
}

}  // namespace

std::string PortNameOf(const ComPortInfo& port) {
  if (!port.portName.empty()) return port.portName;
  const std::string& friendly = port.friendlyName;
  size_t at = TrailingParenthesis(friendly, "(");
  if (at == std::string::npos) return friendly;
  return friendly.substr(at + 1, friendly.size() - at - 2);
}

void CompleteComPorts(ComPortInfoArray& ports, bool skipBusyPorts, PortDiscovery& discovery) {
  for (size_t i = 0; i < ports.size();) {
    ComPortInfo& port = ports[i];
    if (skipBusyPorts && discovery.IsBusy(port.devicePath)) {
      // The next record moves into this place and is looked at next.
      ports.erase(ports.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    if (port.friendlyName.empty()) port.friendlyName = port.portName;
    if (port.description.empty()) {
      port.description = port.friendlyName;
      size_t at = TrailingParenthesis(port.description, " (");
      if (at != std::string::npos) port.description.erase(at);
    }
    port.portName = PortNameOf(port);
    ++i;
  }
}

void EnumerateComPorts(ComPortInfoArray& ports, bool skipBusyPorts, PortDiscovery& discovery) {
  ports.clear();
  discovery.Discover(ports);
  CompleteComPorts(ports, skipBusyPorts, discovery);
}

void EnumerateComPorts(ComPortInfoArray& ports, bool skipBusyPorts) {
  auto discovery = MakePortDiscovery();
  EnumerateComPorts(ports, skipBusyPorts, *discovery);
}
