// Port discovery on Windows. Three ways, by the generation of the system:
// the device interfaces of SetupAPI (Windows 2000 and later, with the
// ports only the SERIALCOMM device map names added), a fixed list
// COM1 to COM16 (NT 4, which keeps no list of its ports), and the device
// tree under HKLM\Enum (the Windows 95 family).

#include "serial/port_discovery-win32.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "serial/port_name.h"
#include "serial/serial_device.h"

namespace {

// {86E0D1E0-8089-11D0-9CE4-08003E301F73}: the serial-port interface class.
constexpr GUID kComPortInterface = {0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};

constexpr DWORD kDetailBufferSize = 261;
constexpr DWORD kPropertySize = 256;
constexpr DWORD kKeyNameSize = 128;
constexpr DWORD kValueSize = 128;

[[noreturn]] void Fail(const char* what, DWORD code) {
  char text[96];
  std::snprintf(text, sizeof text, "%s (err=%lx)", what, static_cast<unsigned long>(code));
  throw ComPortEnumerationError(text);
}

// The text in a buffer the system filled: up to the first NUL, never past
// the `size` bytes it said it stored (a registry value need not end in one).
std::string TextOf(const void* buffer, DWORD size) {
  const char* text = static_cast<const char*>(buffer);
  DWORD n = 0;
  while (n < size && text[n]) ++n;
  return std::string(text, n);
}

// Destroys the device-information list however the walk ends.
class DeviceList {
 public:
  DeviceList(Win32PortCalls& calls, HDEVINFO list) : calls_(calls), list_(list) {}
  ~DeviceList() { calls_.DestroyDeviceInfoList(list_); }
  DeviceList(const DeviceList&) = delete;
  DeviceList& operator=(const DeviceList&) = delete;
  HDEVINFO get() const { return list_; }

 private:
  Win32PortCalls& calls_;
  HDEVINFO list_;
};

// One open registry key, closed however the walk ends.
class Key {
 public:
  explicit Key(Win32PortCalls& calls) : calls_(calls) {}
  ~Key() {
    if (open_) calls_.CloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  bool Open(HKEY parent, const std::string& name) {
    open_ = calls_.OpenKey(parent, name.c_str(), &key_) == ERROR_SUCCESS;
    return open_;
  }
  HKEY get() const { return key_; }
  /// The name of subkey `index`, or false when there is none.
  bool Subkey(DWORD index, std::string* name) {
    char buffer[kKeyNameSize] = {};
    DWORD size = kKeyNameSize;
    if (calls_.EnumKey(key_, index, buffer, &size) != ERROR_SUCCESS) return false;
    *name = TextOf(buffer, size < kKeyNameSize ? size : kKeyNameSize);
    return true;
  }
  /// The text value `name`, or false when it cannot be read.
  bool Value(const char* name, std::string* text) {
    BYTE buffer[kValueSize] = {};
    DWORD size = kValueSize;
    if (calls_.QueryValue(key_, name, buffer, &size) != ERROR_SUCCESS) return false;
    *text = TextOf(buffer, size < kValueSize ? size : kValueSize);
    return true;
  }

 private:
  Win32PortCalls& calls_;
  HKEY key_ = nullptr;
  bool open_ = false;
};

// The stable name of the USB device a port belongs to, read up the device
// tree: the port node itself (an adapter without a driver bus of its own),
// its parent (the FTDI bus's port, the interface of a composite device
// under the device), or the one above that. Empty for ports of no USB
// device, or when the configuration manager does not answer.
std::string StableNameOfNode(Win32PortCalls& calls, DEVINST node) {
  constexpr int kLevels = 3;
  for (int level = 0; level < kLevels; ++level) {
    char id[MAX_DEVICE_ID_LEN + 1] = {};
    if (calls.GetDeviceId(node, id, sizeof id) != CR_SUCCESS) return "";
    std::string name = UsbStableName(TextOf(id, sizeof id));
    if (!name.empty()) return name;
    DEVINST parent = 0;
    if (calls.GetParent(&parent, node) != CR_SUCCESS) return "";
    node = parent;
  }
  return "";
}

void DiscoverInterfaces(ComPortInfoArray& ports, Win32PortCalls& calls) {
  HDEVINFO handle = calls.GetClassDevs(&kComPortInterface, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (handle == INVALID_HANDLE_VALUE) Fail("SetupDiGetClassDevs failed.", calls.LastError());
  DeviceList list(calls, handle);
  // The record's size field is the size of its fixed part in this build
  // (5 in 32-bit builds, 8 in 64-bit ones: SetupAPI refuses anything else).
  std::vector<DWORD> storage((kDetailBufferSize + sizeof(DWORD) - 1) / sizeof(DWORD));
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.data());
  for (DWORD index = 0;; ++index) {
    SP_DEVICE_INTERFACE_DATA entry{};
    entry.cbSize = sizeof entry;
    if (!calls.EnumDeviceInterfaces(list.get(), &kComPortInterface, index, &entry)) {
      DWORD code = calls.LastError();
      if (code == ERROR_NO_MORE_ITEMS) break;
      Fail("SetupDiEnumDeviceInterfaces failed.", code);
    }
    detail->cbSize = kInterfaceDetailFixedSize;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!calls.GetDeviceInterfaceDetail(list.get(), &entry, detail, kDetailBufferSize, &device))
      Fail("SetupDiGetDeviceInterfaceDetail failed.", calls.LastError());
    std::string devicePath =
        TextOf(detail->DevicePath, kDetailBufferSize - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath));

    BYTE friendly[kPropertySize] = {}, description[kPropertySize] = {}, location[kPropertySize] = {};
    bool haveFriendly =
        calls.GetDeviceRegistryProperty(list.get(), &device, SPDRP_FRIENDLYNAME, friendly, kPropertySize);
    bool haveDescription =
        haveFriendly &&
        calls.GetDeviceRegistryProperty(list.get(), &device, SPDRP_DEVICEDESC, description, kPropertySize);
    bool haveLocation = calls.GetDeviceRegistryProperty(list.get(), &device, SPDRP_LOCATION_INFORMATION,
                                                        location, kPropertySize);
    if (!haveFriendly || !haveDescription) continue;
    ComPortInfo port;
    port.devicePath = devicePath;
    port.friendlyName = TextOf(friendly, kPropertySize);
    port.isUsb = haveLocation && TextOf(location, kPropertySize).starts_with("USB");
    port.description = TextOf(description, kPropertySize);
    // The location of an FTDI bus's port names no USB socket: the device
    // tree tells it apart as well.
    port.stableName = StableNameOfNode(calls, device.DevInst);
    port.isUsb = port.isUsb || !port.stableName.empty();
    ports.push_back(port);
  }
}

void AddFixedList(ComPortInfoArray& ports) {
  for (int n = 1; n <= 16; ++n) {
    ComPortInfo port;
    port.portName = "COM" + std::to_string(n);
    port.devicePath = "\\\\.\\" + port.portName;
    ports.push_back(port);
  }
}

// A later instance with the same port name replaces the first record of it.
void AddOrReplace(ComPortInfoArray& ports, const ComPortInfo& port) {
  for (ComPortInfo& p : ports) {
    if (p.portName == port.portName) {
      p = port;
      return;
    }
  }
  ports.push_back(port);
}

void DiscoverRegistry(ComPortInfoArray& ports, Win32PortCalls& calls) {
  const std::string root = "Could not read from HKLM\\Enum";
  Key enumKey(calls);
  if (!enumKey.Open(HKEY_LOCAL_MACHINE, "Enum")) throw ComPortEnumerationError(root);
  std::string enumerator;
  for (DWORD e = 0; enumKey.Subkey(e, &enumerator); ++e) {
    Key enumeratorKey(calls);
    if (!enumeratorKey.Open(enumKey.get(), enumerator)) throw ComPortEnumerationError(root + "\\" + enumerator);
    bool isUsb = enumerator == "USBPORTS";
    std::string deviceId;
    for (DWORD d = 0; enumeratorKey.Subkey(d, &deviceId); ++d) {
      if (!isUsb && deviceId != "*PNP0500" && deviceId != "*PNP0501") continue;
      Key deviceKey(calls);
      if (!deviceKey.Open(enumeratorKey.get(), deviceId))
        throw ComPortEnumerationError(root + "\\" + enumerator + "\\" + deviceId);
      std::string instance;
      for (DWORD i = 0; deviceKey.Subkey(i, &instance); ++i) {
        Key instanceKey(calls);
        if (!instanceKey.Open(deviceKey.get(), instance)) throw ComPortEnumerationError(root + "\\...\\" + instance);
        ComPortInfo port;
        if (!instanceKey.Value("PORTNAME", &port.portName)) continue;
        instanceKey.Value("FRIENDLYNAME", &port.friendlyName);
        port.devicePath = "\\\\.\\" + port.portName;
        port.isUsb = isUsb;
        AddOrReplace(ports, port);
      }
    }
  }
}

// Ports without a device interface of the serial class are still listed
// by their drivers in SERIALCOMM: virtual and Bluetooth ports often, and
// every port under wine. Only the names are there; nothing says USB.
void AddDeviceMapPorts(ComPortInfoArray& ports, Win32PortCalls& calls) {
  Key map(calls);
  // A machine without serial ports has no such key at all.
  if (!map.Open(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM")) return;
  std::vector<std::string> listed;
  for (const ComPortInfo& port : ports) listed.push_back(PortNameOf(port));
  for (DWORD index = 0;; ++index) {
    char device[kKeyNameSize] = {};
    BYTE name[kValueSize] = {};
    DWORD deviceSize = kKeyNameSize, nameSize = kValueSize;
    LONG result = calls.EnumValue(map.get(), index, device, &deviceSize, name, &nameSize);
    if (result == ERROR_NO_MORE_ITEMS) break;
    // A value whose name or data overflows its buffer names no COM port
    // (none is that long); the values after it are still read.
    if (result != ERROR_SUCCESS) continue;
    ComPortInfo port;
    port.portName = TextOf(name, nameSize < kValueSize ? nameSize : kValueSize);
    if (port.portName.empty()) continue;
    if (std::find(listed.begin(), listed.end(), port.portName) != listed.end()) continue;
    port.devicePath = PortDevicePath(port.portName);
    listed.push_back(port.portName);
    ports.push_back(port);
  }
}

class Win32PortDiscovery : public PortDiscovery {
 public:
  explicit Win32PortDiscovery(Win32PortCalls& calls) : calls_(calls) {}

  void Discover(ComPortInfoArray& ports) override {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;  // 148
    if (!calls_.GetVersionEx(&version)) Fail("Could not get OS version.", calls_.LastError());
    if (version.dwMajorVersion >= 5) {
      DiscoverInterfaces(ports, calls_);
      AddDeviceMapPorts(ports, calls_);
    } else if (version.dwPlatformId == VER_PLATFORM_WIN32_NT)
      AddFixedList(ports);
    else
      DiscoverRegistry(ports, calls_);
  }

  bool IsBusy(const std::string& devicePath) override { return !calls_.CanOpen(devicePath); }

 private:
  Win32PortCalls& calls_;
};

class SystemCalls final : public Win32PortCalls {
 public:
  BOOL GetVersionEx(OSVERSIONINFOA* info) override {
    return ::GetVersionExA(info);
  }
  DWORD LastError() override { return ::GetLastError(); }
  HDEVINFO GetClassDevs(const GUID* interfaceClass, DWORD flags) override {
    return ::SetupDiGetClassDevsA(interfaceClass, nullptr, nullptr, flags);
  }
  BOOL EnumDeviceInterfaces(HDEVINFO list, const GUID* interfaceClass, DWORD index,
                            SP_DEVICE_INTERFACE_DATA* data) override {
    return ::SetupDiEnumDeviceInterfaces(list, nullptr, interfaceClass, index, data);
  }
  BOOL GetDeviceInterfaceDetail(HDEVINFO list, SP_DEVICE_INTERFACE_DATA* data,
                                SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, DWORD detailSize,
                                SP_DEVINFO_DATA* device) override {
    return ::SetupDiGetDeviceInterfaceDetailA(list, data, detail, detailSize, nullptr, device);
  }
  BOOL GetDeviceRegistryProperty(HDEVINFO list, SP_DEVINFO_DATA* device, DWORD property, BYTE* buffer,
                                 DWORD size) override {
    return ::SetupDiGetDeviceRegistryPropertyA(list, device, property, nullptr, buffer, size, nullptr);
  }
  CONFIGRET GetDeviceId(DEVINST node, char* buffer, ULONG size) override {
    return ::CM_Get_Device_IDA(node, buffer, size, 0);
  }
  CONFIGRET GetParent(DEVINST* parent, DEVINST node) override { return ::CM_Get_Parent(parent, node, 0); }
  void DestroyDeviceInfoList(HDEVINFO list) override { ::SetupDiDestroyDeviceInfoList(list); }
  LONG OpenKey(HKEY parent, const char* name, HKEY* key) override {
    return ::RegOpenKeyExA(parent, name, 0, KEY_READ, key);
  }
  LONG EnumKey(HKEY key, DWORD index, char* name, DWORD* size) override {
    return ::RegEnumKeyExA(key, index, name, size, nullptr, nullptr, nullptr, nullptr);
  }
  LONG QueryValue(HKEY key, const char* name, BYTE* data, DWORD* size) override {
    return ::RegQueryValueExA(key, name, nullptr, nullptr, data, size);
  }
  LONG EnumValue(HKEY key, DWORD index, char* name, DWORD* nameSize, BYTE* data, DWORD* dataSize) override {
    return ::RegEnumValueA(key, index, name, nameSize, nullptr, nullptr, data, dataSize);
  }
  void CloseKey(HKEY key) override { ::RegCloseKey(key); }
  bool CanOpen(const std::string& devicePath) override { return CanOpenExclusively(devicePath); }
};

}  // namespace

Win32PortCalls& SystemPortCalls() {
  static SystemCalls calls;
  return calls;
}

std::unique_ptr<PortDiscovery> MakeWin32PortDiscovery(Win32PortCalls& calls) {
  return std::make_unique<Win32PortDiscovery>(calls);
}

std::unique_ptr<PortDiscovery> MakePortDiscovery() { return MakeWin32PortDiscovery(SystemPortCalls()); }
