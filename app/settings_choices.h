#pragma once

#include <functional>
#include <string>
#include <vector>

// The settings dialog's rules, for every front end: what its combo boxes
// list and preselect when it opens, the root shown for a model, and what OK
// stores. The dialogs only move these texts into and out of their controls.

/// Where a combo-box search lands: the first entry, in the order second,
/// third, ..., last, first, that equals `text` (or, with `prefix`, begins
/// with it), ignoring letter case; -1 when none does.
int FindComboEntry(const std::vector<std::string>& entries, const std::string& text, bool prefix);

/// Lists the machine's serial ports by name, in the order found.
using PortLister = std::function<std::vector<std::string>()>;
/// The device a port name opens, links followed; empty when there is none.
using PortResolver = std::function<std::string(const std::string&)>;

/// The port names EnumerateComPorts finds, busy ports included, each
/// followed by its stable name where it has one (WithStableNames). A failed
/// enumeration leaves its message in `err` and the ports found before it
/// in the list.
std::vector<std::string> SystemPortNames(std::string* err);

/// `names`, each followed by `stable(name)` when that differs from it (a
/// /dev/serial/by-id link beside ttyUSB0).
std::vector<std::string> WithStableNames(const std::vector<std::string>& names,
                                         const std::function<std::string(const std::string&)>& stable);

/// The resolution of this system (ResolvedPortDevice in /dev, or the COM
/// name itself).
std::string SystemPortResolver(const std::string& portName);

/// What the settings dialog shows when it opens.
struct SettingsChoices {
  std::vector<std::string> ports;   // the port combo box's entries
  int port = -1;                    // the preselected entry
  std::vector<std::string> models;  // the model combo box's entries
  int model = 0;                    // the preselected model entry
  std::string root;                 // the root edit's text
  std::string storedPort;           // "ComPort" when the dialog opened
  // The entry that stands for storedPort under another name (a stable link
  // to a listed device): OK with it selected keeps storedPort. -1 for none.
  int storedPortEntry = -1;
};

/// Fills and preselects from the stored settings and the port list
/// `ports`: the stored port (or the default one) by name (case-insensitive),
/// else the listed entry it resolves to, else the stored name as a new
/// first entry, never another port; the model entry the stored model
/// begins with, else the first; the configured model's root, or the first
/// entry's when the stored text names no model at all.
SettingsChoices OpenSettingsChoices(const std::vector<std::string>& ports,
                                    const PortResolver& resolve = SystemPortResolver);

/// The entry OK takes when the port box reads `typed` (the user may type a
/// path) with the entry `selected` picked: `selected` when `typed` is empty
/// or its text, else the entry that is `typed`, else `typed` added as a new
/// last entry.
int ChoosePortEntry(SettingsChoices& choices, const std::string& typed, int selected);

/// The root edit's text after the model selection changed to the entry
/// `modelEntry`: its stored root, else its built-in one.
std::string RootForModel(const std::string& modelEntry);

/// OK's check of the root edit's text: true when it is empty (the stored
/// root stays), names a folder, or names a place where one can be made;
/// otherwise false with `why`, naming the file that stands at the root or
/// at a level above it.
bool CheckRootChoice(const std::string& root, std::string* why);

/// The name the settings keep for a picked port (StoredPortName: a USB
/// adapter's stable name on Windows).
std::string SystemStoredPortName(const std::string& portName);

/// OK: stores the port entry `port` (none when -1 or the entry is empty:
/// the stored port stays) as "ComPort", under the name `storedName` gives
/// for it unless it is the entry that stood for the stored port, `model`
/// (when not empty) as "DevType" and `root` (when both are not empty) as
/// the model's root key. False with `err` when the settings file refused a
/// write.
bool StoreSettingsChoices(const SettingsChoices& choices, int port, const std::string& model,
                          const std::string& root, std::string* err = nullptr,
                          const PortResolver& storedName = SystemStoredPortName);
