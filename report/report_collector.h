#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/notice.h"
#include "export/report_export.h"
#include "export/text_report.h"
#include "report/instrument_model.h"

class ReportHandler;

/// Collects the printable lines of the current report, passes them to the
/// report handler of the model it was last given and, when a line ends the
/// test run, exports the report as text and as a workbook under one name.
class ReportCollector {
 public:
  /// Yields where and how the report that is finishing is exported. Called
  /// once per report, at its export, on the thread that exports it (the
  /// report thread, when the capture has one).
  using TargetSource = std::function<ExportTarget()>;

  ReportCollector(Clock& clock, NoticeSink& notices, TargetSource target);
  virtual ~ReportCollector();
  ReportCollector(const ReportCollector&) = delete;
  ReportCollector& operator=(const ReportCollector&) = delete;

  /// Replaces the handler by the one of `model`; keeps the stored lines
  /// and the idle flag.
  void RebuildHandler(InstrumentModel model);
  /// A report's stored lines may take this many bytes: past it the report
  /// is exported as it stands and collecting starts anew, so a stream that
  /// never ends a test (no model, a wrong model, line noise) cannot fill the
  /// memory of a capture left running for weeks.
  static constexpr size_t kMaxPendingBytes = 16u << 20;

  /// Takes one printable report line.
  void FeedLine(const std::string& line);
  /// Exports the pending report and resets; always true.
  bool FinishReport();
  /// True when a line was fed since construction or the last FinishReport.
  bool HasPendingLines() const { return !idle_; }
  /// Reports since construction of which some file could not be written in
  /// its own folder (it went to the folder for unsaved reports, or nowhere).
  unsigned long long ReportsNotSaved() const { return reportsNotSaved_; }
  /// Of those, the reports of which some file was saved nowhere.
  unsigned long long ReportsLost() const { return reportsLost_; }

  /// Saves the stored lines as the report's .txt file in the target's text
  /// folder; true when written. The lines are dropped once written.
  bool WriteTextReport(ExportName& name, const ExportTarget& target);

  /// The current handler, or null when the model has none.
  ReportHandler* Handler() { return handler_.get(); }
  const std::vector<std::string>& StoredLines() const { return textReport_.lines; }
  /// Lowers the limit of kMaxPendingBytes (tests).
  void SetPendingLimit(size_t bytes) { pendingLimit_ = bytes; }

 private:
  Clock& clock_;
  NoticeSink& notices_;
  TargetSource target_;
  bool idle_ = true;
  size_t pendingBytes_ = 0;
  unsigned long long reportsNotSaved_ = 0;
  unsigned long long reportsLost_ = 0;
  size_t pendingLimit_ = kMaxPendingBytes;
  TextReport textReport_;
  std::unique_ptr<ReportHandler> handler_;
};
