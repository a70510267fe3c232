#include "serial/port_enumeration.h"

#include <cctype>

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

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

bool HexId(const std::string& text) {
  if (text.size() != 4) return false;
  for (char c : text)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// The ports a discovery lists now; a failed walk still gives what it found
// before, which is all a name can be looked up in.
ComPortInfoArray PortsNow(PortDiscovery& discovery) {
  ComPortInfoArray ports;
  try {
    EnumerateComPorts(ports, false, discovery);
  } catch (const ComPortEnumerationError&) {
  }
  return ports;
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

std::string UsbStableName(const std::string& deviceId) {
  // "USB\VID_xxxx&PID_xxxx\instance"; the interfaces of a composite device
  // carry "&MI_xx" after the product id and are no device of their own.
  const std::string prefix = "USB\\VID_";
  if (deviceId.size() < prefix.size() + 15 || !SameText(deviceId.substr(0, prefix.size()), prefix)) return "";
  std::string vid = deviceId.substr(prefix.size(), 4);
  if (!SameText(deviceId.substr(prefix.size() + 4, 5), "&PID_")) return "";
  std::string pid = deviceId.substr(prefix.size() + 9, 4);
  if (!HexId(vid) || !HexId(pid) || deviceId[prefix.size() + 13] != '\\') return "";
  std::string instance = deviceId.substr(prefix.size() + 14);
  if (instance.empty()) return "";
  for (std::string* id : {&vid, &pid})
    for (char& c : *id) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  // Without a serial number Windows makes the instance up from the hub's
  // id and the socket ("5&2A9F3C4&0&2"), and no serial number holds an "&":
  // such a device is known again only in the same socket.
  const char separator = instance.find('&') == std::string::npos ? ':' : '@';
  return "usb:" + vid + ":" + pid + separator + instance;
}

std::string CurrentPortName(const std::string& portName, PortDiscovery& discovery) {
  if (!IsStablePortName(portName)) return portName;
  for (const ComPortInfo& port : PortsNow(discovery))
    if (SameText(port.stableName, portName)) return port.portName;
  return "";
}

std::string StableNameOf(const std::string& portName, PortDiscovery& discovery) {
  if (IsStablePortName(portName)) return portName;
  for (const ComPortInfo& port : PortsNow(discovery))
    if (SameText(port.portName, portName) && !port.stableName.empty()) return port.stableName;
  return portName;
}
