#pragma once

// The system calls behind the port discovery on Windows, as one interface
// so that the walks and their failure texts can be run over made-up
// answers: the registry walk of the oldest systems is taken by no current
// Windows, and SetupAPI seldom fails on its own.

#include <windows.h>
#include <cfgmgr32.h>
#include <setupapi.h>

#include <string>

#include "serial/port_enumeration.h"

class Win32PortCalls {
 public:
  virtual ~Win32PortCalls() = default;
  /// GetVersionExA.
  virtual BOOL GetVersionEx(OSVERSIONINFOA* info) = 0;
  /// GetLastError, right after one of the calls here failed.
  virtual DWORD LastError() = 0;

  /// SetupDiGetClassDevsA without enumerator and window.
  virtual HDEVINFO GetClassDevs(const GUID* interfaceClass, DWORD flags) = 0;
  /// SetupDiEnumDeviceInterfaces without a device record.
  virtual BOOL EnumDeviceInterfaces(HDEVINFO list, const GUID* interfaceClass, DWORD index,
                                    SP_DEVICE_INTERFACE_DATA* data) = 0;
  /// SetupDiGetDeviceInterfaceDetailA without the required size.
  virtual BOOL GetDeviceInterfaceDetail(HDEVINFO list, SP_DEVICE_INTERFACE_DATA* data,
                                        SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, DWORD detailSize,
                                        SP_DEVINFO_DATA* device) = 0;
  /// SetupDiGetDeviceRegistryPropertyA without type and required size.
  virtual BOOL GetDeviceRegistryProperty(HDEVINFO list, SP_DEVINFO_DATA* device, DWORD property,
                                         BYTE* buffer, DWORD size) = 0;
  /// CM_Get_Device_IDA (setupapi.dll exports the configuration manager's
  /// calls too, on every Windows): the instance id of device node `node`.
  virtual CONFIGRET GetDeviceId(DEVINST node, char* buffer, ULONG size) = 0;
  /// CM_Get_Parent: the node `node` hangs off.
  virtual CONFIGRET GetParent(DEVINST* parent, DEVINST node) = 0;
  /// SetupDiDestroyDeviceInfoList.
  virtual void DestroyDeviceInfoList(HDEVINFO list) = 0;

  /// RegOpenKeyExA with KEY_READ.
  virtual LONG OpenKey(HKEY parent, const char* name, HKEY* key) = 0;
  /// RegEnumKeyExA: the name of subkey `index`; `size` in: buffer size, out: length.
  virtual LONG EnumKey(HKEY key, DWORD index, char* name, DWORD* size) = 0;
  /// RegQueryValueExA: `size` in: buffer size, out: bytes stored.
  virtual LONG QueryValue(HKEY key, const char* name, BYTE* data, DWORD* size) = 0;
  /// RegEnumValueA: the name and data of value `index`; each size in:
  /// buffer size, out: length of the name, bytes of data stored.
  virtual LONG EnumValue(HKEY key, DWORD index, char* name, DWORD* nameSize, BYTE* data, DWORD* dataSize) = 0;
  /// RegCloseKey.
  virtual void CloseKey(HKEY key) = 0;

  /// CreateFileA with read and write access, no sharing, OPEN_EXISTING,
  /// no flags, and the handle closed at once: true when that opened.
  virtual bool CanOpen(const std::string& devicePath) = 0;
};

/// The calls as the system answers them.
Win32PortCalls& SystemPortCalls();

/// Discovery over `calls`: device interfaces from Windows 2000 on, then
/// the ports of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM they did not list, each
/// USB port with its stable name (see UsbStableName); the
/// fixed list COM1 to COM16 on NT 4, the registry on the Windows 95 family.
std::unique_ptr<PortDiscovery> MakeWin32PortDiscovery(Win32PortCalls& calls);

/// The fixed size of SP_DEVICE_INTERFACE_DETAIL_DATA_A in this build: 5 in
/// 32-bit builds, 8 in 64-bit ones (SetupAPI refuses any other).
constexpr DWORD kInterfaceDetailFixedSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
