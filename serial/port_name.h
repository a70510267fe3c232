#pragma once

#include <string>

// What a stored port name stands for on this system. One implementation per
// platform: port_name-posix.cc (device files and links below /dev) and
// port_name-win32.cc (COM names).

/// The path that opens the port `portName` (POSIX: "/dev/" + name unless it
/// is a path already; Windows: "\\.\" + name).
std::string PortDevicePath(const std::string& portName);

/// The device `portName` opens with every link followed, below
/// `deviceFolder` when the name is not a path; the empty text when no such
/// device exists. On Windows the name itself, or for a stable name
/// ("usb:...") the COM name its adapter has now (PortToOpen).
std::string ResolvedPortDevice(const std::string& portName, const std::string& deviceFolder = "");

/// True when `portName` is a path or link of its own rather than a name the
/// port list gives (POSIX: it holds a "/"; Windows: it holds a "\").
bool IsPortPath(const std::string& portName);

/// The name to open for the stored port `portName` now: on Windows the COM
/// name a stable name ("usb:0403:6001:A51MAMME") stands for at this moment,
/// empty when no adapter has it; every other name as it is.
std::string PortToOpen(const std::string& portName);

/// The name the settings keep when the user picks the port `portName`: on
/// Windows a USB adapter's stable name (StablePortName), as its COM number
/// changes with the socket; elsewhere the name as picked (a stable link is
/// an entry of its own there).
std::string StoredPortName(const std::string& portName);
