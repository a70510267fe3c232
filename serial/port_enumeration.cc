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
    if (port.portName.empty()) {
      port.portName = port.friendlyName;
      size_t at = TrailingParenthesis(port.portName, "(");
      if (at != std::string::npos) port.portName = port.portName.substr(at + 1, port.portName.size() - at - 2);
    }
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
