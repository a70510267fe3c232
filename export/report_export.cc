#include "export/report_export.h"

#include <cctype>
#include <cstdlib>
#include <functional>

#include "platform/atomic_file.h"
#include "platform/platform.h"
#include "export/byte_sink.h"
#include "export/csv_writer.h"
#include "export/results_file.h"
#include "export/text_report.h"
#include "export/workbook.h"
#include "export/xlsx_writer.h"

namespace {

// How many numbered names are tried before giving up on a free one.
constexpr int kMaxNameTries = 1000;

/// Produces the bytes of one file.
using Producer = std::function<bool(ByteSink& sink, std::string* err)>;

std::string NumberedName(const std::string& base, int n) {
  return n <= 1 ? base : base + "_" + std::to_string(n);
}

/// Writes a new file at `path`, under a temporary name until it is complete;
/// an existing file is never replaced. `taken` (may be null) tells a failure
/// because the name appeared meanwhile.
bool WriteNewFile(const std::string& path, const Producer& produce, std::string* err, bool* taken = nullptr) {
  AtomicFile file;
  if (!file.Open(path, err)) return false;
  AtomicFileSink sink(file);
  if (!produce(sink, err)) return false;
  return file.Commit(false, err, taken);
}

std::string StampOf(const std::tm& time) {
  char stamp[64];
  if (std::strftime(stamp, sizeof stamp, "%y_%m_%d_%H_%M_%S", &time) == 0) stamp[0] = '\0';
  return stamp;
}

// True when none of the report's files exists under `base`.
bool NameIsFree(const ExportTarget& target, const std::string& base) {
  const std::string text = target.textFolder + kPathSeparator + base;
  const std::string excel = target.excelFolder + kPathSeparator + base;
  if (PathExists(text + ".txt") || PathExists(excel + ".xls") || PathExists(excel + ".xlsx") ||
      PathExists(excel + ".csv"))
    return false;
  return !target.formats.results || !PathExists(target.resultsFolder + kPathSeparator + base + ".csv");
}

// The number of a base name made by ChooseExportName: 1 for the bare stamp.
int NumberOf(const ExportName& name) {
  const std::string stamp = StampOf(name.time);
  if (name.base.size() <= stamp.size() + 1 || name.base.compare(0, stamp.size() + 1, stamp + "_") != 0) return 1;
  return std::atoi(name.base.c_str() + stamp.size() + 1);
}

// Moves `name` on to the next number under which none of the report's files
// exists; false when none is free within the tries.
bool MoveToNextFreeName(ExportName* name, const ExportTarget& target) {
  const std::string stamp = StampOf(name->time);
  int n = NumberOf(*name);
  for (int tries = 0; tries < kMaxNameTries; ++tries) {
    std::string base = NumberedName(stamp, ++n);
    if (NameIsFree(target, base)) {
      name->base = base;
      return true;
    }
  }
  return false;
}

/// Writes <folder>/<base><ext>; when another writer (a second capture
/// exporting into the same folder, on another PC of a shared drive) took
/// the name meanwhile, moves `name` on to the next free one for the rest of
/// the report, as ChooseExportName would have. When writing fails, tells
/// the user and saves the file in the folder for unsaved reports instead.
bool ExportFile(const std::string& folder, ExportName& name, const ExportTarget& target, const char* ext,
                const Producer& produce, NoticeSink& notices) {
  std::string path = folder + kPathSeparator + name.base + ext;
  std::string err;
  for (;;) {
    bool taken = false;
    if (WriteNewFile(path, produce, &err, &taken)) {
      name.files.push_back(path);
      return true;
    }
    if (!taken || !MoveToNextFreeName(&name, target)) break;
    path = folder + kPathSeparator + name.base + ext;
  }

  std::string notice = "Cannot open file for writing: " + path + "\n" + err;
  std::string unsaved, unsavedErr;
  if (UnsavedReportsFolder(&unsaved, &unsavedErr)) {
    for (int n = 1; n <= kMaxNameTries; ++n) {
      std::string fallback = unsaved + kPathSeparator + NumberedName(name.base, n) + ext;
      if (PathExists(fallback)) continue;
      bool taken = false;
      if (WriteNewFile(fallback, produce, &unsavedErr, &taken)) {
        name.files.push_back(fallback);
        notices.Notice(notice + "\nThe report was saved instead as " + fallback);
        return false;
      }
      if (taken) continue;
      unsavedErr = fallback + ": " + unsavedErr;
      break;
    }
  }
  notices.Notice(notice + "\nIt could not be saved anywhere else either (" + unsavedErr +
                 "); this report is lost.");
  ++name.filesLost;
  return false;
}

}  // namespace

ExportName ChooseExportName(const std::tm& time, const ExportTarget& target) {
  const std::string stamp = StampOf(time);
  ExportName name{time, stamp};
  const std::string text = target.textFolder + kPathSeparator;
  const std::string excel = target.excelFolder + kPathSeparator;
  // Reports that end in the same second (a replayed traffic log ends
  // hundreds) would otherwise probe every name already taken, once per
  // report; go on from the last number this process gave that second.
  static std::string lastKey;
  static int lastNumber = 0;
  const std::string key = text + '\n' + excel + '\n' + (target.formats.results ? target.resultsFolder : "") +
                          '\n' + stamp;
  int n = lastKey == key ? lastNumber + 1 : 1;
  const int lastTry = n + kMaxNameTries - 1;
  for (;; ++n) {
    name.base = NumberedName(stamp, n);
    if (n == lastTry || NameIsFree(target, name.base)) break;
  }
  lastKey = key;
  lastNumber = n;
  return name;
}

bool ExportTextReport(const TextReport& report, ExportName& name, const ExportTarget& target,
                      NoticeSink& notices) {
  const std::string& folder = target.textFolder;
  // One level only: a missing root folder makes the save fail, and that is reported.
  MakeDirectory(folder);
  return ExportFile(folder, name, target, ".txt",
                    [&](ByteSink& sink, std::string* err) { return report.Write(sink, err); },
                    notices);
}

bool ExportResultsFile(const ReportResults& results, const std::string& model, ExportName& name,
                       const ExportTarget& target, NoticeSink& notices) {
  const std::string& folder = target.resultsFolder;
  MakeDirectory(folder);
  const std::string exportedAt = IsoLocalTime(name.time);
  // The file carries its own base name; a name taken meanwhile moves it on,
  // so the text is made for each attempt.
  return ExportFile(folder, name, target, ".csv",
                    [&](ByteSink& sink, std::string* err) {
                      return WriteResults(results, name.base, model, exportedAt, sink, err);
                    },
                    notices);
}

std::vector<std::string> FormatNames(const std::string& list) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(',', start);
    if (end == std::string::npos) end = list.size();
    std::string word;
    for (size_t i = start; i < end; ++i) {
      if (!std::isspace(static_cast<unsigned char>(list[i])))
        word += static_cast<char>(std::tolower(static_cast<unsigned char>(list[i])));
    }
    if (!word.empty()) names.push_back(word);
    start = end + 1;
  }
  return names;
}

ExportFormats ParseExportFormats(const std::string& list, std::vector<std::string>* unknown) {
  ExportFormats formats{false, false, false, false};
  for (const std::string& word : FormatNames(list)) {
    if (word == "xls") {
      formats.xls = true;
    } else if (word == "xlsx") {
      formats.xlsx = true;
    } else if (word == "csv") {
      formats.csv = true;
    } else if (word == "results") {
      formats.results = true;
    } else if (unknown) {
      unknown->push_back(word);
    }
  }
  if (!formats.xls && !formats.xlsx && !formats.csv && !formats.results) formats.xls = true;
  return formats;
}

bool ExportWorkbookFiles(Workbook& workbook, ExportName& name, const ExportTarget& target,
                         NoticeSink& notices) {
  const ExportFormats& formats = target.formats;
  const std::string& folder = target.excelFolder;
  MakeDirectory(folder);
  const std::string textBase = name.base;
  bool ok = true;
  if (formats.xls) {
    ok &= ExportFile(folder, name, target, ".xls",
                     [&](ByteSink& sink, std::string* err) { return workbook.Write(sink, err); },
                     notices);
  }
  if (formats.xlsx) {
    ok &= ExportFile(folder, name, target, ".xlsx",
                     [&](ByteSink& sink, std::string* err) { return WriteXlsx(workbook, sink, err); },
                     notices);
  }
  if (formats.csv) {
    ok &= ExportFile(folder, name, target, ".csv",
                     [&](ByteSink& sink, std::string* err) { return WriteCsv(workbook, sink, err); },
                     notices);
  }
  if (name.base != textBase) {
    // The text report was saved under the first name before the other
    // writer's worksheet appeared: the pair no longer shares its name.
    notices.Notice("Another program saved a worksheet named " + textBase + " in " + folder +
                   " meanwhile; this report's worksheet is saved as " + name.base + " and its text report as " +
                   textBase + ".txt.");
  }
  return ok;
}
