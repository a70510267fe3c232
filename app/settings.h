#pragma once

#include <string>
#include <string_view>

#include "report/instrument_model.h"

// The settings store: free functions over "Kestrel.ini", section "Kestrel".
// Nothing is cached; every call reads the file anew, so a value written by
// the settings dialog is seen by the next read.

/// Full path of "Kestrel.ini".
std::string SettingsFilePath();
/// Full path of "Glimmer.ini", written at closing and never read.
std::string GlimmerFilePath();

/// Value of "ComPort" ("ttyUSB0" when missing or empty).
std::string ReadComPort();
/// Value of "DevType" ("6310" when missing), at most 9 characters.
std::string ReadDevType();
/// The configured model.
InstrumentModel ReadModel();
/// The model label's text: the model number, or the no-model root's text.
std::string ModelLabelText();
/// The built-in root of the model that `modelText` begins with; an empty
/// text stands for the configured model.
std::string DefaultRootFolder(const std::string& modelText);
/// The longest root folder, in characters, that is made and used.
constexpr size_t kRootFolderLength = 259;
/// The root folder stored for a model ("<model>_Root"), whole, or its
/// built-in root; an empty text stands for the configured model.
std::string ReadRootFolder(const std::string& modelText);
/// Root of the configured model followed by the Excel, Text or Log folder.
std::string ExcelFolder();
std::string TextFolder();
std::string LogFolder();
/// Creates the configured model's root with every missing level above it,
/// then its Excel, Text and Log folders. False when the root cannot be made,
/// with `err` (may be null) naming the level that failed and the cause, or
/// is longer than kRootFolderLength (then nothing is made); the folders
/// below it are left to fail at their own use, which tells.
bool CreateDataFolders(std::string* err = nullptr);

/// Any key of section "Kestrel", or `fallback` when missing, cut to
/// `maxLength` characters.
std::string ReadSetting(std::string_view key, const std::string& fallback, size_t maxLength);
/// Writes one key of section "Kestrel", keeping the others; false and
/// `err` filled when the file cannot be written.
bool WriteSetting(std::string_view key, std::string_view value, std::string* err = nullptr);
/// Writes the port as "ComPort" of section "Glimmer" in "Glimmer.ini".
bool WriteGlimmerComPort(std::string_view port, std::string* err = nullptr);

/// Makes a key of section "Kestrel" read as `value` in this process without
/// writing it (the tools' --model, --root and --port options).
void OverrideSetting(std::string_view key, std::string_view value);
/// Drops every override.
void ClearSettingOverrides();
