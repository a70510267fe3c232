#include "app/settings.h"

#include <map>
#include <mutex>

#include "app/ini_file.h"
#include "app/machine_settings.h"
#include "platform/platform.h"
#include "serial/port_enumeration.h"

namespace {

const char kSection[] = "Kestrel";

// Longest model text read, as the settings file has always been read. The
// port name's limit and default belong to the platform.
constexpr size_t kDevTypeLength = 9;

std::mutex& OverrideMutex() {
  static std::mutex m;
  return m;
}

std::map<std::string, std::string>& Overrides() {
  static std::map<std::string, std::string> overrides;
  return overrides;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

// Characters of a UTF-8 text: the bytes that begin one.
size_t CharacterCount(std::string_view text) {
  size_t n = 0;
  for (char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  return n;
}

}  // namespace

std::string SettingsFilePath() {
  // The folder first: an earlier installation's own file, which it adopts,
  // is the user's and wins over the site's.
  std::string path = SettingsFolder() + kPathSeparator + "Kestrel.ini";
  AdoptMachineSettings(path);
  return path;
}
std::string GlimmerFilePath() { return SettingsFolder() + kPathSeparator + "Glimmer.ini"; }

std::string ReadSetting(std::string_view key, const std::string& fallback, size_t maxLength) {
  std::string value;
  bool found = false;
  {
    std::lock_guard<std::mutex> lock(OverrideMutex());
    auto it = Overrides().find(Lower(key));
    if (it != Overrides().end()) {
      value = it->second;
      found = true;
    }
  }
  if (!found) found = IniRead(SettingsFilePath(), kSection, key, &value);
  if (!found) value = fallback;
  if (value.size() > maxLength) value.resize(maxLength);
  return value;
}

std::string ReadComPort() {
  // An empty value names no port at all; the settings check tells the user.
  std::string port = ReadSetting("ComPort", kDefaultComPort, std::string::npos);
  if (port.empty()) return kDefaultComPort;
  // The old limit of COM names does not cut a USB adapter's stable name,
  // which no earlier installation stored.
  if (!IsStablePortName(port) && port.size() > kComPortLength) port.resize(kComPortLength);
  return port;
}

std::string ReadDevType() { return ReadSetting("DevType", "6310", kDevTypeLength); }

InstrumentModel ReadModel() { return ModelFromText(ReadDevType()); }

std::string ModelLabelText() {
  InstrumentModel m = ReadModel();
  if (m == InstrumentModel::None) return "c:";
  return std::to_string(static_cast<int>(m));
}

std::string DefaultRootFolder(const std::string& modelText) {
  InstrumentModel m = ModelFromText(modelText.empty() ? ReadDevType() : modelText);
  return BuiltInRootFolder(static_cast<int>(m));
}

std::string ReadRootFolder(const std::string& modelText) {
  std::string key = (modelText.empty() ? ReadDevType() : modelText) + "_Root";
  // Read whole: a root cut short would name a folder nobody chose.
  return ReadSetting(key, DefaultRootFolder(key), std::string::npos);
}

std::string ExcelFolder() { return ReadRootFolder("") + kPathSeparator + "Excel"; }
std::string TextFolder() { return ReadRootFolder("") + kPathSeparator + "Text"; }
std::string LogFolder() { return ReadRootFolder("") + kPathSeparator + "Log"; }

bool CreateDataFolders(std::string* err) {
  std::string root = ReadRootFolder("");
  // Such a root has always been read cut short, and a Windows path that
  // long is refused by most programs: it is made nowhere, so the reports go
  // to the folder for unsaved reports and the user is told.
  if (CharacterCount(root) > kRootFolderLength) {
    if (err)
      *err = "the name is " + std::to_string(CharacterCount(root)) + " characters long; a root folder may have at most " +
             std::to_string(kRootFolderLength);
    return false;
  }
  // A root such as D:\lab\6310 on a new PC, or below a folder the user has
  // not made yet: made one level at a time, every report would go to the
  // folder for unsaved reports and no line to the traffic log.
  bool made = MakeDirectories(root, err);
  MakeDirectory(ExcelFolder());
  MakeDirectory(TextFolder());
  MakeDirectory(LogFolder());
  return made;
}

bool WriteSetting(std::string_view key, std::string_view value, std::string* err) {
  MakeDirectories(SettingsFolder());
  return IniWrite(SettingsFilePath(), kSection, key, value, err);
}

bool WriteGlimmerComPort(std::string_view port, std::string* err) {
  MakeDirectories(SettingsFolder());
  return IniWrite(GlimmerFilePath(), "Glimmer", "ComPort", port, err);
}

void OverrideSetting(std::string_view key, std::string_view value) {
  std::lock_guard<std::mutex> lock(OverrideMutex());
  Overrides()[Lower(key)] = std::string(value);
}

void ClearSettingOverrides() {
  std::lock_guard<std::mutex> lock(OverrideMutex());
  Overrides().clear();
}
