// The discovery walks on Windows over made-up system answers: which way
// each system generation takes, what each way lists, its failure texts,
// and that every list and key it opened is given back.

#include "serial/port_discovery-win32.h"

#include <cstring>
#include <map>
#include <set>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct FakeDevice {
  std::string path;
  const char* friendlyName = nullptr;  // null: the property is missing
  const char* description = nullptr;
  const char* location = nullptr;
  // The instance ids of the port's device node and the nodes above it, as
  // the configuration manager gives them; none: it does not answer.
  std::vector<std::string> nodes = {};
};

struct FakeKey {
  std::vector<std::string> subkeys;
  std::map<std::string, std::string> values;
  bool refuses = false;  // opening it fails
};

// An answer of RegEnumValueA: the value's name and data, or a failure.
struct FakeValue {
  std::string name, data;
  LONG result = ERROR_SUCCESS;
};

HDEVINFO const kList = reinterpret_cast<HDEVINFO>(0x5150);

class FakeCalls : public Win32PortCalls {
 public:
  // The answers.
  DWORD major = 6, platform = VER_PLATFORM_WIN32_NT;
  DWORD versionError = 0;  // non-zero: GetVersionEx fails with it
  DWORD classDevsError = 0;
  std::vector<FakeDevice> devices;
  DWORD enumErrorAt = ~0u, enumError = 0;
  DWORD detailError = 0;
  std::map<std::string, FakeKey> registry;  // full path below HKLM
  std::map<std::string, std::vector<FakeValue>> valueLists;  // by path, in enumeration order
  std::set<std::string> busy;

  // What was asked.
  DWORD versionSize = 0, classFlags = 0;
  GUID classAsked{};
  std::vector<DWORD> detailSizes, deviceSizes;
  std::vector<std::pair<size_t, DWORD>> propertiesAsked;
  int destroyed = 0, opened = 0, closed = 0;

  BOOL GetVersionEx(OSVERSIONINFOA* info) override {
    versionSize = info->dwOSVersionInfoSize;
    if (versionError) return Failed(versionError);
    info->dwMajorVersion = major;
    info->dwPlatformId = platform;
    return TRUE;
  }
  DWORD LastError() override { return error_; }

  HDEVINFO GetClassDevs(const GUID* interfaceClass, DWORD flags) override {
    classAsked = *interfaceClass;
    classFlags = flags;
    if (classDevsError) {
      Failed(classDevsError);
      return INVALID_HANDLE_VALUE;
    }
    return kList;
  }
  BOOL EnumDeviceInterfaces(HDEVINFO list, const GUID*, DWORD index, SP_DEVICE_INTERFACE_DATA* data) override {
    EXPECT_EQ(list, kList);
    EXPECT_EQ(data->cbSize, sizeof(SP_DEVICE_INTERFACE_DATA));
    if (index == enumErrorAt) return Failed(enumError);
    if (index >= devices.size()) return Failed(ERROR_NO_MORE_ITEMS);
    data->Reserved = index;
    return TRUE;
  }
  BOOL GetDeviceInterfaceDetail(HDEVINFO, SP_DEVICE_INTERFACE_DATA* data, SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail,
                                DWORD detailSize, SP_DEVINFO_DATA* device) override {
    detailSizes.push_back(detail->cbSize);
    deviceSizes.push_back(device->cbSize);
    // As SetupAPI does: only the fixed size of this build is taken.
    if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) || device->cbSize != sizeof(SP_DEVINFO_DATA))
      return Failed(ERROR_INVALID_USER_BUFFER);
    if (detailError) return Failed(detailError);
    const std::string& path = devices[data->Reserved].path;
    if (path.size() + 1 > detailSize - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath))
      return Failed(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
    device->Reserved = data->Reserved;
    device->DevInst = NodeOf(data->Reserved, 0);
    return TRUE;
  }
  BOOL GetDeviceRegistryProperty(HDEVINFO, SP_DEVINFO_DATA* device, DWORD property, BYTE* buffer,
                                 DWORD size) override {
    propertiesAsked.emplace_back(device->Reserved, property);
    const FakeDevice& d = devices[device->Reserved];
    const char* text = property == SPDRP_FRIENDLYNAME ? d.friendlyName
                       : property == SPDRP_DEVICEDESC ? d.description
                       : property == SPDRP_LOCATION_INFORMATION ? d.location
                                                                  : nullptr;
    if (!text) return Failed(ERROR_INVALID_DATA);
    EXPECT_EQ(size, 256u);
    std::memcpy(buffer, text, std::strlen(text) + 1);
    return TRUE;
  }
  CONFIGRET GetDeviceId(DEVINST node, char* buffer, ULONG size) override {
    const std::vector<std::string>& ids = devices.at(node / 16 - 1).nodes;
    if (node % 16 >= ids.size()) return CR_NO_SUCH_DEVNODE;
    EXPECT_GE(size, static_cast<ULONG>(MAX_DEVICE_ID_LEN));
    std::strcpy(buffer, ids[node % 16].c_str());
    return CR_SUCCESS;
  }
  CONFIGRET GetParent(DEVINST* parent, DEVINST node) override {
    if (node % 16 + 1 >= devices.at(node / 16 - 1).nodes.size()) return CR_NO_SUCH_DEVNODE;
    *parent = node + 1;
    return CR_SUCCESS;
  }
  void DestroyDeviceInfoList(HDEVINFO list) override {
    EXPECT_EQ(list, kList);
    ++destroyed;
  }

  LONG OpenKey(HKEY parent, const char* name, HKEY* key) override {
    std::string path = parent == HKEY_LOCAL_MACHINE ? name : PathOf(parent) + "\\" + name;
    auto found = registry.find(path);
    if (found == registry.end() || found->second.refuses) return ERROR_FILE_NOT_FOUND;
    handles_.push_back(path);
    *key = reinterpret_cast<HKEY>(handles_.size());
    ++opened;
    return ERROR_SUCCESS;
  }
  LONG EnumKey(HKEY key, DWORD index, char* name, DWORD* size) override {
    EXPECT_EQ(*size, 128u);
    const FakeKey& k = registry[PathOf(key)];
    if (index >= k.subkeys.size()) return ERROR_NO_MORE_ITEMS;
    std::strcpy(name, k.subkeys[index].c_str());
    *size = static_cast<DWORD>(k.subkeys[index].size());
    return ERROR_SUCCESS;
  }
  LONG QueryValue(HKEY key, const char* name, BYTE* data, DWORD* size) override {
    const FakeKey& k = registry[PathOf(key)];
    auto found = k.values.find(name);
    if (found == k.values.end()) return ERROR_FILE_NOT_FOUND;
    // Stored without its NUL, as a registry value may be.
    std::memcpy(data, found->second.data(), found->second.size());
    *size = static_cast<DWORD>(found->second.size());
    return ERROR_SUCCESS;
  }
  LONG EnumValue(HKEY key, DWORD index, char* name, DWORD* nameSize, BYTE* data, DWORD* dataSize) override {
    const std::vector<FakeValue>& values = valueLists[PathOf(key)];
    if (index >= values.size()) return ERROR_NO_MORE_ITEMS;
    const FakeValue& v = values[index];
    if (v.result != ERROR_SUCCESS) return v.result;
    std::strcpy(name, v.name.c_str());
    *nameSize = static_cast<DWORD>(v.name.size());
    // With its NUL, as REG_SZ values are stored.
    std::memcpy(data, v.data.c_str(), v.data.size() + 1);
    *dataSize = static_cast<DWORD>(v.data.size() + 1);
    return ERROR_SUCCESS;
  }
  void CloseKey(HKEY) override { ++closed; }

  bool CanOpen(const std::string& devicePath) override { return busy.count(devicePath) == 0; }

 private:
  BOOL Failed(DWORD code) {
    error_ = code;
    return FALSE;
  }
  static DEVINST NodeOf(size_t device, size_t level) { return static_cast<DEVINST>((device + 1) * 16 + level); }
  std::string PathOf(HKEY key) { return handles_.at(reinterpret_cast<uintptr_t>(key) - 1); }
  DWORD error_ = 0;
  std::vector<std::string> handles_;
};

ComPortInfoArray Enumerate(FakeCalls& calls, bool skipBusy = false) {
  ComPortInfoArray ports;
  EnumerateComPorts(ports, skipBusy, *MakeWin32PortDiscovery(calls));
  return ports;
}

// The message of the failure of an enumeration, with what was found so far.
std::string FailureOf(FakeCalls& calls, ComPortInfoArray* found = nullptr) {
  ComPortInfoArray ports;
  try {
    EnumerateComPorts(ports, false, *MakeWin32PortDiscovery(calls));
  } catch (const ComPortEnumerationError& e) {
    if (found) *found = ports;
    return e.what();
  }
  return "no failure";
}

std::vector<std::string> NamesOf(const ComPortInfoArray& ports) {
  std::vector<std::string> names;
  for (const ComPortInfo& p : ports) names.push_back(p.portName);
  return names;
}

TEST(Win32PortDiscovery, SystemGenerationPicksTheWay) {
  FakeCalls nt4;
  nt4.major = 4;
  ComPortInfoArray fixed = Enumerate(nt4);
  EXPECT_EQ(nt4.versionSize, 148u);
  ASSERT_EQ(fixed.size(), 16u);
  EXPECT_EQ(fixed[0].portName, "COM1");
  EXPECT_EQ(fixed[0].devicePath, "\\\\.\\COM1");
  EXPECT_EQ(fixed[0].friendlyName, "COM1");
  EXPECT_EQ(fixed[0].description, "COM1");
  EXPECT_EQ(fixed[15].portName, "COM16");
  EXPECT_EQ(nt4.classFlags, 0u) << "NT 4 has no device interfaces";

  nt4.busy = {"\\\\.\\COM2", "\\\\.\\COM3"};
  EXPECT_EQ(Enumerate(nt4, true).size(), 14u);
  EXPECT_EQ(NamesOf(Enumerate(nt4, true))[1], "COM4");

  FakeCalls win98;
  win98.major = 4;
  win98.platform = VER_PLATFORM_WIN32_WINDOWS;
  EXPECT_EQ(FailureOf(win98), "Could not read from HKLM\\Enum");

  FakeCalls current;  // wine says 6.1, Windows 10 and 11 say 6.2 to callers without a manifest
  current.devices = {};
  EXPECT_TRUE(Enumerate(current).empty());
  EXPECT_EQ(current.classFlags, 0x12u);
  EXPECT_EQ(current.classAsked.Data1, 0x86E0D1E0u);
  EXPECT_EQ(current.classAsked.Data4[7], 0x73);
  EXPECT_EQ(current.destroyed, 1);

  FakeCalls broken;
  broken.versionError = 0x57;
  EXPECT_EQ(FailureOf(broken), "Could not get OS version. (err=57)");
}

TEST(Win32PortDiscovery, InterfacesWithBothNamesAreListed) {
  FakeCalls calls;
  calls.devices = {
      {"\\\\?\\usb#vid_0403&pid_6001#a", "USB Serial Port (COM3)", "USB Serial Port", "USB-Port 2"},
      {"\\\\?\\acpi#pnp0501#1", nullptr, "Communications Port", nullptr},
      {"\\\\?\\acpi#pnp0501#2", "Communications Port (COM2)", nullptr, nullptr},
      {"\\\\?\\pci#9", "PCI Serial (COM9)", "PCI Serial", "usb-like but lower case"},
  };
  ComPortInfoArray ports = Enumerate(calls);
  ASSERT_EQ(NamesOf(ports), (std::vector<std::string>{"COM3", "COM9"}));
  EXPECT_EQ(ports[0].devicePath, "\\\\?\\usb#vid_0403&pid_6001#a");
  EXPECT_EQ(ports[0].friendlyName, "USB Serial Port (COM3)");
  EXPECT_EQ(ports[0].description, "USB Serial Port");
  EXPECT_TRUE(ports[0].isUsb);
  EXPECT_FALSE(ports[1].isUsb);

  // The detail record carries this build's fixed size (8 on x64, where 5
  // is refused with 1784), the device record its own.
  for (DWORD size : calls.detailSizes) EXPECT_EQ(size, sizeof(void*) == 8 ? 8u : 5u);
  for (DWORD size : calls.deviceSizes) EXPECT_EQ(size, sizeof(void*) == 8 ? 32u : 28u);
  // Without a friendly name the description is not asked; the location always.
  std::vector<std::pair<size_t, DWORD>> second;
  for (auto asked : calls.propertiesAsked)
    if (asked.first == 1) second.push_back(asked);
  EXPECT_EQ(second, (std::vector<std::pair<size_t, DWORD>>{{1, SPDRP_FRIENDLYNAME}, {1, SPDRP_LOCATION_INFORMATION}}));
  EXPECT_EQ(calls.destroyed, 1);

  calls.busy = {"\\\\?\\usb#vid_0403&pid_6001#a"};
  EXPECT_EQ(NamesOf(Enumerate(calls, true)), std::vector<std::string>{"COM9"});
}

TEST(Win32PortDiscovery, DeviceMapAddsThePortsTheInterfacesMissed) {
  const std::string map = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
  FakeCalls calls;
  calls.devices = {{"\\\\?\\usb#vid_0403&pid_6001#a", "USB Serial Port (COM3)", "USB Serial Port", "USB-Port 2"}};
  calls.registry[map] = {};
  calls.valueLists[map] = {
      {"\\Device\\VCP0", "COM3"},
      {"\\Device\\BthModem0", "COM12"},
      {"\\Device\\Overlong", "", ERROR_MORE_DATA},
      {"\\Device\\Serial0", "COM1"},
      {"\\Device\\Empty", ""},
      {"\\Device\\Serial0Again", "COM1"},
  };
  ComPortInfoArray ports = Enumerate(calls);
  // The interfaces' record of COM3 stays the only one, and first.
  ASSERT_EQ(NamesOf(ports), (std::vector<std::string>{"COM3", "COM12", "COM1"}));
  EXPECT_TRUE(ports[0].isUsb);
  EXPECT_EQ(ports[1].devicePath, "\\\\.\\COM12");
  EXPECT_EQ(ports[1].friendlyName, "COM12");
  EXPECT_EQ(ports[1].description, "COM12");
  EXPECT_FALSE(ports[1].isUsb);
  EXPECT_EQ(calls.opened, 1);
  EXPECT_EQ(calls.closed, 1);

  calls.busy = {"\\\\.\\COM12"};
  EXPECT_EQ(NamesOf(Enumerate(calls, true)), (std::vector<std::string>{"COM3", "COM1"}));

  // Without serial ports the key is missing: no failure, nothing added.
  FakeCalls none;
  EXPECT_TRUE(Enumerate(none).empty());
  EXPECT_EQ(none.opened, 0);

  // A failed interface walk fails as before, without the map's ports.
  FakeCalls noList;
  noList.classDevsError = 0xd;
  noList.registry[map] = {};
  noList.valueLists[map] = {{"\\Device\\Serial0", "COM1"}};
  ComPortInfoArray found;
  EXPECT_EQ(FailureOf(noList, &found), "SetupDiGetClassDevs failed. (err=d)");
  EXPECT_TRUE(found.empty());
}

TEST(Win32PortDiscovery, InterfaceFailuresNameTheCallAndFreeTheList) {
  FakeCalls noList;
  noList.classDevsError = 0xd;
  EXPECT_EQ(FailureOf(noList), "SetupDiGetClassDevs failed. (err=d)");
  EXPECT_EQ(noList.destroyed, 0);

  FakeCalls enumFails;
  enumFails.devices = {{"\\\\?\\a", "A (COM1)", "A", nullptr}, {"\\\\?\\b", "B (COM2)", "B", nullptr}};
  enumFails.enumErrorAt = 1;
  enumFails.enumError = 0x1f;
  ComPortInfoArray found;
  EXPECT_EQ(FailureOf(enumFails, &found), "SetupDiEnumDeviceInterfaces failed. (err=1f)");
  ASSERT_EQ(found.size(), 1u) << "what was found stays";
  EXPECT_EQ(found[0].devicePath, "\\\\?\\a");
  EXPECT_EQ(enumFails.destroyed, 1);

  FakeCalls detailFails;
  detailFails.devices = {{"\\\\?\\a", "A (COM1)", "A", nullptr}};
  detailFails.detailError = ERROR_INVALID_USER_BUFFER;
  EXPECT_EQ(FailureOf(detailFails), "SetupDiGetDeviceInterfaceDetail failed. (err=6f8)");
  EXPECT_EQ(detailFails.destroyed, 1);
}

// A device tree of the Windows 95 family.
FakeCalls Win98(std::map<std::string, FakeKey> registry) {
  FakeCalls calls;
  calls.major = 4;
  calls.platform = VER_PLATFORM_WIN32_WINDOWS;
  calls.registry = std::move(registry);
  return calls;
}

std::map<std::string, FakeKey> Tree() {
  return {
      {"Enum", {{"ROOT", "USBPORTS", "BIOS"}, {}}},
      {"Enum\\ROOT", {{"*PNP0500", "*PNP0400"}, {}}},
      {"Enum\\ROOT\\*PNP0500", {{"0000"}, {}}},
      {"Enum\\ROOT\\*PNP0500\\0000", {{}, {{"PORTNAME", "COM1"}, {"FRIENDLYNAME", "Communications Port (COM1)"}}}},
      {"Enum\\ROOT\\*PNP0400", {{"0000"}, {}}},
      {"Enum\\ROOT\\*PNP0400\\0000", {{}, {{"PORTNAME", "LPT1"}}}},
      {"Enum\\USBPORTS", {{"VID_067B"}, {}}},
      {"Enum\\USBPORTS\\VID_067B", {{"1"}, {}}},
      {"Enum\\USBPORTS\\VID_067B\\1", {{}, {{"PORTNAME", "COM5"}}}},
      {"Enum\\BIOS", {{"*PNP0501"}, {}}},
      {"Enum\\BIOS\\*PNP0501", {{"a", "b", "c"}, {}}},
      {"Enum\\BIOS\\*PNP0501\\a", {{}, {{"PORTNAME", "COM2"}}}},
      {"Enum\\BIOS\\*PNP0501\\b", {{}, {{"FRIENDLYNAME", "No port name"}}}},
      {"Enum\\BIOS\\*PNP0501\\c", {{}, {{"PORTNAME", "COM1"}, {"FRIENDLYNAME", "Later Port (COM1)"}}}},
  };
}

TEST(Win32PortDiscovery, RegistryWalkTakesSerialIdsAndEveryUsbPort) {
  FakeCalls calls = Win98(Tree());
  ComPortInfoArray ports = Enumerate(calls);
  // The later COM1 takes the place of the first; LPT1 is no serial id.
  ASSERT_EQ(NamesOf(ports), (std::vector<std::string>{"COM1", "COM5", "COM2"}));
  EXPECT_EQ(ports[0].friendlyName, "Later Port (COM1)");
  EXPECT_EQ(ports[0].description, "Later Port");
  EXPECT_FALSE(ports[0].isUsb);
  EXPECT_EQ(ports[1].devicePath, "\\\\.\\COM5");
  EXPECT_TRUE(ports[1].isUsb);
  EXPECT_EQ(ports[1].friendlyName, "COM5");
  EXPECT_EQ(ports[2].description, "COM2");
  EXPECT_GT(calls.opened, 0);
  EXPECT_EQ(calls.opened, calls.closed);
}

TEST(Win32PortDiscovery, RegistryFailuresNameTheKeyAndCloseWhatWasOpen) {
  struct Case {
    std::string refused, message;
    size_t found;
  } cases[] = {
      {"Enum\\ROOT", "Could not read from HKLM\\Enum\\ROOT", 0},
      {"Enum\\ROOT\\*PNP0500", "Could not read from HKLM\\Enum\\ROOT\\*PNP0500", 0},
      {"Enum\\BIOS\\*PNP0501\\b", "Could not read from HKLM\\Enum\\...\\b", 3},
  };
  for (const Case& c : cases) {
    auto tree = Tree();
    tree[c.refused].refuses = true;
    FakeCalls calls = Win98(tree);
    ComPortInfoArray found;
    EXPECT_EQ(FailureOf(calls, &found), c.message);
    EXPECT_EQ(found.size(), c.found) << c.refused;
    EXPECT_EQ(calls.opened, calls.closed) << c.refused;
  }
}

// The device nodes from a port up to its USB device.
const std::vector<std::string> kFtdiA = {"FTDIBUS\\VID_0403+PID_6001+A51MAMMEA\\0000", "USB\\VID_0403&PID_6001\\A51MAMME"};
const std::vector<std::string> kFtdiB = {"FTDIBUS\\VID_0403+PID_6001+A51MBBBBA\\0000", "USB\\VID_0403&PID_6001\\A51MBBBB"};
const std::vector<std::string> kSocket2 = {"USB\\VID_067B&PID_2303\\5&2A9F3C4&0&2", "USB\\ROOT_HUB30\\4&1&0"};
const std::vector<std::string> kSocket3 = {"USB\\VID_067B&PID_2303\\5&2A9F3C4&0&3", "USB\\ROOT_HUB30\\4&1&0"};
const std::vector<std::string> kComposite = {"USB\\VID_2341&PID_8036&MI_00\\7&1D2E3F&0&0000",
                                             "USB\\VID_2341&PID_8036\\85736323"};
const std::vector<std::string> kBoard = {"ACPI\\PNP0501\\1", "ACPI_HAL\\PNP0C08\\0", "ROOT\\ACPI_HAL\\0000",
                                         "USB\\VID_1111&PID_2222\\TOO_FAR_UP"};

FakeDevice Port(const char* friendlyName, const std::vector<std::string>& nodes) {
  return {"\\\\?\\" + nodes[0], friendlyName, "Serial", nullptr, nodes};
}

TEST(Win32PortDiscovery, StableNamesFindTheAdapterUnderTheNumberItHasNow) {
  const std::string a = "usb:0403:6001:A51MAMME", b = "usb:0403:6001:A51MBBBB";
  const std::string socket2 = "usb:067B:2303@5&2A9F3C4&0&2";
  struct Case {
    const char* what;
    std::vector<FakeDevice> devices;
    std::string stable, port;  // port: what `stable` opens now, empty for nothing
  } cases[] = {
      {"taken at COM3", {Port("USB Serial Port (COM3)", kFtdiA)}, a, "COM3"},
      {"moved to COM7", {Port("USB Serial Port (COM7)", kFtdiA)}, a, "COM7"},
      {"same model, by serial", {Port("USB Serial Port (COM3)", kFtdiB), Port("USB Serial Port (COM4)", kFtdiA)}, a, "COM4"},
      {"same model, the other", {Port("USB Serial Port (COM3)", kFtdiB), Port("USB Serial Port (COM4)", kFtdiA)}, b, "COM3"},
      {"no serial, by socket", {Port("Prolific (COM5)", kSocket3), Port("Prolific (COM6)", kSocket2)}, socket2, "COM6"},
      {"no serial, other socket", {Port("Prolific (COM5)", kSocket3)}, socket2, ""},
      {"composite", {Port("Communications Port (COM1)", kBoard), Port("Arduino (COM9)", kComposite)},
       "usb:2341:8036:85736323", "COM9"},
      {"nothing matches", {Port("Communications Port (COM1)", kBoard), Port("USB Serial Port (COM3)", kFtdiB)}, a, ""},
      {"adapter pulled", {}, a, ""},
  };
  for (const Case& c : cases) {
    FakeCalls calls;
    calls.devices = c.devices;
    auto discovery = MakeWin32PortDiscovery(calls);
    EXPECT_EQ(CurrentPortName(c.stable, *discovery), c.port) << c.what;
    if (!c.port.empty()) {
      EXPECT_EQ(StableNameOf(c.port, *discovery), c.stable) << c.what;
    }
    for (const ComPortInfo& port : Enumerate(calls)) {
      // The board's port has no USB device within three levels up.
      EXPECT_EQ(port.stableName.empty(), port.portName == "COM1") << c.what << " " << port.portName;
      EXPECT_EQ(port.isUsb, port.portName != "COM1") << c.what << " " << port.portName;
    }
  }

  FakeCalls calls;
  calls.devices = {Port("Communications Port (COM1)", kBoard), Port("USB Serial Port (COM3)", kFtdiB)};
  auto discovery = MakeWin32PortDiscovery(calls);
  EXPECT_EQ(CurrentPortName("usb:0403:6001:a51mbbbb", *discovery), "COM3") << "letter case is no identity";
  EXPECT_EQ(CurrentPortName("COM12", *discovery), "COM12") << "a COM name is opened as it is";
  EXPECT_EQ(StableNameOf("com3", *discovery), b);
  EXPECT_EQ(StableNameOf("COM1", *discovery), "COM1");
  // A device tree that does not answer leaves the port listed, without.
  calls.devices[1].nodes.resize(1);
  EXPECT_EQ(StableNameOf("COM3", *discovery), "COM3");
  // Ids of other shapes name no USB device.
  EXPECT_EQ(UsbStableName("usb\\vid_0403&pid_6001\\a51mamme"), "usb:0403:6001:a51mamme");
  for (const char* id : {"USB\\VID_0403&PID_6001\\", "USB\\VID_04X3&PID_6001\\A", "USB\\VID_0403&PID_6001"})
    EXPECT_EQ(UsbStableName(id), "") << id;
}

TEST(Win32PortDiscovery, SetupApiTakesTheDetailSizeOfThisBuild) {
  // Any interface class will do to ask SetupAPI which size it takes; HID
  // devices are there on most machines (wine makes two of its own).
  const GUID hid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
  Win32PortCalls& calls = SystemPortCalls();
  HDEVINFO list = calls.GetClassDevs(&hid, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  ASSERT_NE(list, INVALID_HANDLE_VALUE);
  SP_DEVICE_INTERFACE_DATA entry{};
  entry.cbSize = sizeof entry;
  if (!calls.EnumDeviceInterfaces(list, &hid, 0, &entry)) {
    calls.DestroyDeviceInfoList(list);
    GTEST_SKIP() << "no HID device interface on this machine";
  }
  alignas(DWORD) char buffer[261];
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer);
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  detail->cbSize = kInterfaceDetailFixedSize;
  EXPECT_TRUE(calls.GetDeviceInterfaceDetail(list, &entry, detail, sizeof buffer, &device)) << calls.LastError();
  if (sizeof(void*) == 8) {
    // The size of the 32-bit record, refused in a 64-bit process.
    detail->cbSize = 5;
    EXPECT_FALSE(calls.GetDeviceInterfaceDetail(list, &entry, detail, sizeof buffer, &device));
    EXPECT_EQ(calls.LastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));
  }
  calls.DestroyDeviceInfoList(list);
}

TEST(Win32PortDiscovery, ThisSystemAnswers) {
  // Under wine no COM port shows up as a device interface (its registry
  // holds none), only in SERIALCOMM, and a fresh prefix may map none; the
  // walk must not fail. tests/wine/capture_console_run.sh maps some.
  ComPortInfoArray ports;
  EXPECT_NO_THROW(EnumerateComPorts(ports, false));
  for (const ComPortInfo& p : ports) EXPECT_FALSE(p.portName.empty());
}

}  // namespace
