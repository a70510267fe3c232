#include "report/report_collector.h"

#include <cstdio>
#include <new>
#include <utility>

#include "platform/platform.h"
#include "report/report_handler.h"

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The worksheet files and results file that `target` asks for, as paths
// joined by "and".
std::string SheetFiles(const ExportName& name, const ExportTarget& target) {
  const struct {
    bool wanted;
    const char* extension;
  } kinds[] = {{target.formats.xls, ".xls"}, {target.formats.xlsx, ".xlsx"}, {target.formats.csv, ".csv"}};
  std::string files;
  for (const auto& kind : kinds) {
    if (!kind.wanted) continue;
    files += (files.empty() ? "" : " and ") + target.excelFolder + kPathSeparator + name.base + kind.extension;
  }
  // The results file is built from the same recognised lines, so it lacks
  // what the worksheet lacks.
  if (target.formats.results)
    files += (files.empty() ? "" : " and ") + target.resultsFolder + kPathSeparator + name.base + ".csv";
  return files;
}

}  // namespace

ReportCollector::ReportCollector(Clock& clock, NoticeSink& notices, TargetSource target)
    : clock_(clock), notices_(notices), target_(std::move(target)) {}

ReportCollector::~ReportCollector() = default;

void ReportCollector::RebuildHandler(InstrumentModel model) {
  model_ = model;
  handler_.reset();
  try {
    handler_ = MakeReportHandler(model);
  } catch (const std::bad_alloc&) {
    // Without a handler the lines are still kept and saved as text.
    handler_.reset();
  }
}

void ReportCollector::FeedLine(const std::string& line) {
  if (idle_) firstLineTime_ = clock_.LocalNow();
  idle_ = false;
  if (handler_ && handler_->IsEndOfReport(line)) {
    FinishReport();
    return;
  }
  textReport_.lines.push_back(line);
  pendingBytes_ += line.size() + 2;
  if (handler_) {
    const uint64_t starts = handler_->ReportStarts();
    handler_->FeedLine(line);
    if (handler_->ReportStarts() != starts) headings_.push_back(line);
  }
  if (pendingBytes_ > pendingLimit_) {
    notices_.Notice("A report grew past " + std::to_string(pendingLimit_ >> 10) +
                    " KiB without an end-of-test line; it is saved as it stands and a new "
                    "report begins.");
    FinishReport();
  }
}

void ReportCollector::LineLeftOut(const std::string& line) {
  ++leftOutCount_;
  if (leftOut_.size() < kToldLeftOutLines) leftOut_.push_back({Shown(line), textReport_.lines.size()});
}

std::string ReportCollector::Shown(std::string_view bytes, size_t limit) {
  std::string shown;
  for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c == '\\') {
      shown += "\\\\";
    } else if (c == '\n') {
      shown += "\\n";
    } else if (c == '\t') {
      shown += "\\t";
    } else if (c < 0x20 || c > 0x7E) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      shown += hex;
    } else {
      shown += static_cast<char>(c);
    }
  }
  if (bytes.size() > limit) shown += "...";
  return shown;
}

void ReportCollector::TellWhatIsMissing(const ExportName& name, const ExportTarget& target) {
  const std::string text = target.textFolder + kPathSeparator + name.base + ".txt";
  const std::string sheets = handler_ ? SheetFiles(name, target) : std::string();
  if (headings_.size() > 1) {
    std::string earlier;
    for (size_t i = 0; i + 1 < headings_.size(); ++i) earlier += (i == 0 ? "" : ", ") + Quoted(headings_[i]);
    notices_.Notice("The report " + text + " holds " + std::to_string(headings_.size()) +
                    " reports: " + Quoted(headings_.back()) + " began before " + earlier +
                    " had ended (its end-of-test line never came, or came garbled). The worksheet " +
                    sheets + " holds only the later report; the earlier results are in the .txt only.");
  }
  if (leftOutCount_ > 0) {
    const bool one = leftOutCount_ == 1;
    std::string where;
    for (const LeftOut& line : leftOut_) {
      where += (where.empty() ? "" : "; ") + Quoted(line.shown) +
               (line.after == 0 ? " before its first line"
                                : " after line " + std::to_string(line.after) + " of the .txt");
    }
    if (leftOutCount_ > leftOut_.size()) where += "; and " + std::to_string(leftOutCount_ - leftOut_.size()) + " more";
    notices_.Notice(std::to_string(leftOutCount_) + (one ? " received line was" : " received lines were") +
                    " left out of the report " + text + (sheets.empty() ? "" : " and " + sheets) +
                    " for holding bytes other than printable ASCII (line noise, or a wrong baud rate); " +
                    (one ? "it is" : "they are") + " in the traffic log only: " + where + ".");
  }
  headings_.clear();
  leftOut_.clear();
  leftOutCount_ = 0;
}

bool ReportCollector::WriteTextReport(ExportName& name, const ExportTarget& target) {
  if (!ExportTextReport(textReport_, name, target, notices_)) return false;
  textReport_.lines.clear();
  return true;
}

bool ReportCollector::FinishReport() {
  // One moment names both files, so the .txt and .xls of a report share
  // their base name.
  const std::tm now = clock_.LocalNow();
  // Asked for now, not when the handler was built: a folder or format
  // changed in the settings holds from the next report on. One answer
  // serves the whole report, so its files never land under two roots.
  const ExportTarget target = target_();
  ExportName name = ChooseExportName(now, target);
  const size_t lines = textReport_.lines.size();
  bool saved = WriteTextReport(name, target);
  textReport_.lines.clear();
  pendingBytes_ = 0;
  if (handler_) {
    saved &= handler_->ExportWorkbook(name, target, notices_);
    if (target.formats.results) {
      saved &= ExportResultsFile(handler_->Results(), std::to_string(static_cast<int>(model_)), name, target,
                                 notices_);
    }
    handler_->Reset();
  }
  if (!saved) ++reportsNotSaved_;
  if (name.filesLost > 0) ++reportsLost_;
  TellWhatIsMissing(name, target);
  if (finished_) finished_(FinishedReport{name, target, model_, firstLineTime_, lines, saved});
  idle_ = true;
  return true;
}
