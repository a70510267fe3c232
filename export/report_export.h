#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "platform/notice.h"

class TextReport;
class Workbook;

/// The name under which the files of one finished report are written.
struct ExportName {
  std::tm time;      // the local date and time the report finished
  std::string base;  // "%y_%m_%d_%H_%M_%S", or that followed by "_2", "_3", ...
};

/// The base name for a report that finished at `time`: its
/// "%y_%m_%d_%H_%M_%S" name, or that name followed by "_2", "_3", ..., the
/// first for which none of the report's files (.txt in the Text folder,
/// .xls, .xlsx, .csv in the Excel folder) exists yet.
ExportName ChooseExportName(const std::tm& time);

/// Saves the report's lines as <Text folder>/<base>.txt. True when the file
/// was written completely. On failure the user is told ("Cannot open file
/// for writing: " + path + the reason) and the file is saved in the folder
/// for unsaved reports instead, which the same notice names.
bool ExportTextReport(const TextReport& report, const ExportName& name, NoticeSink& notices);

/// Saves the worksheet as <Excel folder>/<base>.xls, plus .xlsx and .csv
/// when the "ExportFormats" setting asks for them. True when every file was
/// written completely; failures are told and saved as for the text file.
bool ExportWorkbookFiles(Workbook& workbook, const ExportName& name, NoticeSink& notices);

/// The file formats a worksheet is exported in.
struct ExportFormats {
  bool xls = true;
  bool xlsx = false;
  bool csv = false;
};

/// Parses a comma list of "xls", "xlsx", "csv" (blanks and case ignored,
/// unknown names skipped and added to `unknown`, which may be null). A list
/// that names no known format means xls alone, so a report is always
/// written in some form.
ExportFormats ParseExportFormats(const std::string& list, std::vector<std::string>* unknown = nullptr);

/// The formats asked for by the "ExportFormats" setting; the names it does
/// not know go to `unknown` (may be null).
ExportFormats ReadExportFormats(std::vector<std::string>* unknown = nullptr);
