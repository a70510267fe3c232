#include "report/report_collector.h"

#include <new>
#include <utility>

#include "report/report_handler.h"

ReportCollector::ReportCollector(Clock& clock, NoticeSink& notices, TargetSource target)
    : clock_(clock), notices_(notices), target_(std::move(target)) {}

ReportCollector::~ReportCollector() = default;

void ReportCollector::RebuildHandler(InstrumentModel model) {
  handler_.reset();
  try {
    handler_ = MakeReportHandler(model);
  } catch (const std::bad_alloc&) {
    // Without a handler the lines are still kept and saved as text.
    handler_.reset();
  }
}

void ReportCollector::FeedLine(const std::string& line) {
  idle_ = false;
  if (handler_ && handler_->IsEndOfReport(line)) {
    FinishReport();
    return;
  }
  textReport_.lines.push_back(line);
  pendingBytes_ += line.size() + 2;
  if (handler_) handler_->FeedLine(line);
  if (pendingBytes_ > pendingLimit_) {
    notices_.Notice("A report grew past " + std::to_string(pendingLimit_ >> 10) +
                    " KiB without an end-of-test line; it is saved as it stands and a new "
                    "report begins.");
    FinishReport();
  }
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
  bool saved = WriteTextReport(name, target);
  textReport_.lines.clear();
  pendingBytes_ = 0;
  if (handler_) {
    saved &= handler_->ExportWorkbook(name, target, notices_);
    handler_->Reset();
  }
  if (!saved) ++reportsNotSaved_;
  if (name.filesLost > 0) ++reportsLost_;
  idle_ = true;
  return true;
}
