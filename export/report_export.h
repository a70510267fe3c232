#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "platform/notice.h"

class TextReport;
class Workbook;
struct ReportResults;

/// The file formats a report is exported in besides its .txt: the
/// worksheet's, and the results file for a laboratory system.
struct ExportFormats {
  bool xls = true;
  bool xlsx = false;
  bool csv = false;
  bool results = false;
};

/// Where and in which formats the reports are exported. The capture reads
/// it from the settings when a report is exported and hands it down, so a
/// folder or format changed in the settings holds from the next report on.
struct ExportTarget {
  std::string textFolder;   // the .txt files
  std::string excelFolder;  // the .xls, .xlsx and .csv files
  ExportFormats formats;
  std::string root = {};    // the model's root folder, above the two
  std::string resultsFolder = {};  // the results files: <root>/Results
};

/// The name under which the files of one finished report are written.
struct ExportName {
  std::tm time;      // the local date and time the report finished
  std::string base;  // "%y_%m_%d_%H_%M_%S", or that followed by "_2", "_3", ...
  // Files of the report saved nowhere, not even in the folder for unsaved
  // reports (each told as lost); counted by the exports.
  int filesLost = 0;
  // Every file of the report written so far, with its folder: in its own
  // folder or in the folder for unsaved reports; added by the exports.
  std::vector<std::string> files = {};
};

/// The base name for a report that finished at `time`: its
/// "%y_%m_%d_%H_%M_%S" name, or that name followed by "_2", "_3", ..., the
/// first for which none of the report's files (.txt in the text folder,
/// .xls, .xlsx, .csv in the Excel folder of `target`, and the .csv in its
/// results folder when the results file is asked for) exists yet.
ExportName ChooseExportName(const std::tm& time, const ExportTarget& target);

/// Saves the report's lines as <text folder>/<base>.txt. True when the file
/// was written completely. A name another writer took after it was chosen
/// moves `name` on to the next free "_N" name (for the report's other files
/// too). On failure the user is told ("Cannot open file for writing: " +
/// path + the reason) and the file is saved in the folder for unsaved
/// reports instead, which the same notice names.
bool ExportTextReport(const TextReport& report, ExportName& name, const ExportTarget& target,
                      NoticeSink& notices);

/// Saves the worksheet in <Excel folder>/ as <base>.xls, .xlsx and .csv,
/// those of them that the target's formats ask for. True when every file
/// was written completely; taken names and failures are handled as for the
/// text file, and the user is told when the worksheet's name thereby
/// differs from the text report's.
bool ExportWorkbookFiles(Workbook& workbook, ExportName& name, const ExportTarget& target,
                         NoticeSink& notices);

/// Saves what the report printed as <results folder>/<base>.csv (see
/// WriteResults), the report of `model` exported at `name`'s time. True
/// when written completely; taken names and failures are handled as for
/// the text file.
bool ExportResultsFile(const ReportResults& results, const std::string& model, ExportName& name,
                       const ExportTarget& target, NoticeSink& notices);

/// The names of a comma list of formats, lower-cased, blanks dropped and
/// empty ones skipped: the one reading of every setting that lists formats.
std::vector<std::string> FormatNames(const std::string& list);

/// Parses a comma list of "xls", "xlsx", "csv", "results" (blanks and case
/// ignored, unknown names skipped and added to `unknown`, which may be
/// null). A list that names no known format means xls alone, so a report
/// is always written in some form; "results" alone writes no worksheet.
ExportFormats ParseExportFormats(const std::string& list, std::vector<std::string>* unknown = nullptr);
