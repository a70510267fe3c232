#include "app/settings_check.h"

#include "app/after_export.h"
#include "app/export_settings.h"
#include "app/ini_file.h"
#include "app/outbox.h"
#include "app/settings.h"
#include "export/report_export.h"
#include "platform/platform.h"
#include "serial/port_enumeration.h"

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

/// ".xls", ".xls and .csv", ".xls, .xlsx and .csv"; "nothing ..." when
/// only the results file is asked for.
std::string FormatList(const ExportFormats& formats) {
  std::vector<std::string> names;
  if (formats.xls) names.push_back(".xls");
  if (formats.xlsx) names.push_back(".xlsx");
  if (formats.csv) names.push_back(".csv");
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) {
    text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
  }
  if (text.empty()) return "nothing (only the results file is asked for)";
  return text;
}

}  // namespace

std::vector<std::string> SettingsProblems() {
  std::vector<std::string> problems;
  // Told first: it explains any problem below.
  const std::string file = IniFileProblem(SettingsFilePath(), "Kestrel");
  if (!file.empty()) {
    problems.push_back(file + ". Harrow uses the model " + Quoted(ReadDevType()) + ", the root folder " +
                       ReadRootFolder("") + " and the port " + Quoted(ReadComPort()) + ".");
  }
  if (ReadModel() == InstrumentModel::None) {
    problems.push_back("The model " + Quoted(ReadDevType()) +
                       " (DevType) is not one Harrow knows (6120, 6310, 6350 or 6480): reports are "
                       "neither laid out in a worksheet nor ended at their end line, and their lines "
                       "are saved as one text file in " + TextFolder() +
                       " when the capture ends. Choose the model in Settings.");
  }
  std::vector<std::string> unknown;
  ExportFormats formats = ReadExportFormats(&unknown);
  for (const std::string& name : unknown) {
    problems.push_back("ExportFormats names " + Quoted(name) +
                       ", a format Harrow does not write (it writes xls, xlsx, csv and results): worksheets "
                       "are saved as " + FormatList(formats) + ".");
  }
  // Read uncut: a name the platform's limit would cut is told whole.
  const std::string port = ReadSetting("ComPort", kDefaultComPort, std::string::npos);
  if (port.empty()) {
    problems.push_back("No port is set (ComPort is empty): Harrow opens " + Quoted(ReadComPort()) +
                       ". Choose the reader's port in Settings.");
  } else if (port.size() > kComPortLength && !IsStablePortName(port)) {
    problems.push_back("The port " + Quoted(port) + " (ComPort) is longer than a port name can be (" +
                       std::to_string(kComPortLength) + " characters): Harrow tries " +
                       Quoted(ReadComPort()) + ". Choose the reader's port in Settings.");
  }
  const std::string outbox = ReadSetting("OutboxFolder", "", std::string::npos);
  // Only a file can be read whole; a folder refuses on both systems.
  std::string ignored, readErr;
  if (!outbox.empty() && PathExists(outbox) && ReadWholeFile(outbox, &ignored, &readErr)) {
    problems.push_back("The outbox " + outbox + " (OutboxFolder) is a file, not a folder: reports wait in the "
                       "delivery queue until it names a folder. Choose another outbox folder.");
  }
  unknown.clear();
  FilesToDeliver({}, ReadSetting("OutboxFormats", "results", std::string::npos), &unknown);
  for (const std::string& name : unknown) {
    problems.push_back("OutboxFormats names " + Quoted(name) +
                       ", a format Harrow does not deliver (it delivers results, csv, xls, xlsx and txt): "
                       "it is skipped.");
  }
  std::vector<std::string> argv;
  std::string err;
  if (!SplitCommand(ReadSetting("AfterExport", "", std::string::npos), &argv, &err)) {
    problems.push_back("The command after export " + Quoted(ReadSetting("AfterExport", "", std::string::npos)) +
                       " (AfterExport) cannot be read: " + err + ". It is not run until it is mended.");
  }
  return problems;
}
