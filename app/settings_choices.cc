#include "app/settings_choices.h"

#include <cctype>
#include <exception>
#include <filesystem>
#include <system_error>

#include "app/settings.h"
#include "serial/port_enumeration.h"
#include "serial/port_name.h"
#include "serial/serial_device.h"

namespace {

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool Matches(const std::string& entry, const std::string& text, bool prefix) {
  if (prefix ? entry.size() < text.size() : entry.size() != text.size()) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (Lower(entry[i]) != Lower(text[i])) return false;
  return true;
}

const std::vector<std::string>& ModelEntries() {
  static const std::vector<std::string> models{"6310", "6350", "6120", "6480"};
  return models;
}

// The port preselection, with `c.ports` filled.
void PreselectPort(SettingsChoices& c, const PortResolver& resolve) {
  const std::string& stored = c.storedPort;
  c.port = FindComboEntry(c.ports, stored, false);
  if (c.port >= 0) return;
  // A stable link (/dev/serial/by-id/...) names a listed device by another
  // name: that entry is meant, and the link is what should stay stored.
  std::string device = resolve(stored);
  if (!device.empty()) {
    for (size_t i = 0; i < c.ports.size(); ++i) {
      if (resolve(c.ports[i]) == device) {
        c.port = c.storedPortEntry = static_cast<int>(i);
        return;
      }
    }
  }
  // A port that is not there now (an unplugged adapter, or its link) is
  // offered as it is: OK with another port silently in its place would
  // move the capture to a device the user never chose.
  if (stored.empty()) {
    c.port = c.ports.empty() ? -1 : 0;
    return;
  }
  c.ports.insert(c.ports.begin(), stored);
  c.port = 0;
}

}  // namespace

int FindComboEntry(const std::vector<std::string>& entries, const std::string& text, bool prefix) {
  const size_t n = entries.size();
  for (size_t k = 1; k <= n; ++k)
    if (Matches(entries[k % n], text, prefix)) return static_cast<int>(k % n);
  return -1;
}

std::vector<std::string> SystemPortNames(std::string* err) {
  ComPortInfoArray ports;
  try {
    EnumerateComPorts(ports, false);
  } catch (const std::exception& e) {
    if (err) *err = e.what();
  }
  std::vector<std::string> names;
  for (const ComPortInfo& p : ports) names.push_back(p.portName);
  return WithStableNames(names, [](const std::string& name) { return StablePortName(name); });
}

std::vector<std::string> WithStableNames(const std::vector<std::string>& names,
                                         const std::function<std::string(const std::string&)>& stable) {
  std::vector<std::string> all;
  for (const std::string& name : names) {
    all.push_back(name);
    // The name that finds the same adapter after it was plugged into
    // another socket, which is the one a lab should keep.
    std::string other = stable(name);
    if (other != name) all.push_back(std::move(other));
  }
  return all;
}

int ChoosePortEntry(SettingsChoices& choices, const std::string& typed, int selected) {
  const int count = static_cast<int>(choices.ports.size());
  if (typed.empty() || (selected >= 0 && selected < count && choices.ports[selected] == typed)) return selected;
  for (int i = 0; i < count; ++i)
    if (choices.ports[i] == typed) return i;
  choices.ports.push_back(typed);
  return count;
}

std::string SystemPortResolver(const std::string& portName) { return ResolvedPortDevice(portName); }

SettingsChoices OpenSettingsChoices(const std::vector<std::string>& ports, const PortResolver& resolve) {
  SettingsChoices c;
  c.ports = ports;
  c.storedPort = ReadComPort();
  PreselectPort(c, resolve);
  c.models = ModelEntries();
  int m = FindComboEntry(c.models, ReadDevType(), true);
  c.model = m >= 0 ? m : 0;
  // A stored text that names no model has the no-model root (the bare drive
  // on Windows); shown beside the first entry, OK would store it as that
  // model's root. The first entry's own root is shown instead.
  c.root = m < 0 && ReadModel() == InstrumentModel::None ? RootForModel(c.models[0]) : ReadRootFolder("");
  return c;
}

bool CheckRootChoice(const std::string& root, std::string* why) {
  // Stored, such a root would fail every report until the user found out
  // why; the dialog is the one place where the user is there to hear it.
  namespace fs = std::filesystem;
  std::error_code ec;
  for (fs::path at(root); !at.empty(); at = at.parent_path()) {
    const fs::file_status status = fs::status(at, ec);
    if (fs::exists(status)) {
      if (fs::is_directory(status)) return true;
      if (why)
        *why = "The root folder " + root + " cannot be used: " + at.string() +
               " is a file, not a folder. Choose a folder for the reports.";
      return false;
    }
    if (at == at.parent_path()) break;
  }
  return true;
}

std::string RootForModel(const std::string& modelEntry) { return ReadRootFolder(modelEntry); }

std::string SystemStoredPortName(const std::string& portName) { return StoredPortName(portName); }

bool StoreSettingsChoices(const SettingsChoices& choices, int port, const std::string& model,
                          const std::string& root, std::string* err, const PortResolver& storedName) {
  bool ok = true;
  // With no port listed the stored port is kept rather than blanked; so it
  // is with a nameless entry (a device that reports an empty name), which
  // would leave the next start with no port to open.
  if (port >= 0 && port < static_cast<int>(choices.ports.size())) {
    // A USB adapter picked by its COM number is kept by its identity on
    // Windows, so that another socket or number still finds it.
    const std::string name =
        port == choices.storedPortEntry ? choices.storedPort : storedName(choices.ports[port]);
    if (!name.empty()) ok = WriteSetting("ComPort", name, err) && ok;
  }
  // A model typed into the edit field is stored as typed.
  if (!model.empty()) {
    ok = WriteSetting("DevType", model, err) && ok;
    if (!root.empty()) ok = WriteSetting(model + "_Root", root, err) && ok;
  }
  return ok;
}
