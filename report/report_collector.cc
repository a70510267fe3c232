#include "report/report_collector.h"

#include <new>

#include "report/report_handler.h"

ReportCollector::ReportCollector(Clock& clock, NoticeSink& notices)
    : clock_(clock), notices_(notices) {}

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

bool ReportCollector::WriteTextReport(const ExportName& name) {
  if (!ExportTextReport(textReport_, name, notices_)) return false;
  textReport_.lines.clear();
  return true;
}

bool ReportCollector::FinishReport() {
  // One moment names both files, so the .txt and .xls of a report share
  // their base name.
  ExportName name = ChooseExportName(clock_.LocalNow());
  bool saved = WriteTextReport(name);
  textReport_.lines.clear();
  pendingBytes_ = 0;
  if (handler_) {
    saved &= handler_->ExportWorkbook(name, notices_);
    handler_->Reset();
  }
  if (!saved) ++reportsNotSaved_;
  idle_ = true;
  return true;
}
