#pragma once

#include <functional>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/notice.h"
#include "export/report_export.h"
#include "export/text_report.h"
#include "report/instrument_model.h"

class ReportHandler;

/// What one exported report left on disk, for whoever acts on finished
/// reports once their files are committed (a record of them, a copy for
/// another system, a command of the site's).
struct FinishedReport {
  ExportName name;                       // base name, end time and every file written
  ExportTarget target;                   // where it was exported
  InstrumentModel model;                 // the model whose handler laid it out
  std::tm firstLineTime{};               // local time its first line arrived
  size_t lines = 0;                      // the lines of its .txt
  bool savedWhereItBelongs = true;       // no file went to the unsaved folder or was lost
};

/// Collects the printable lines of the current report, passes them to the
/// report handler of the model it was last given and, when a line ends the
/// test run, exports the report as text and as a workbook under one name.
///
/// Two faults of the serial line leave a report's files short without a
/// word from the files themselves, so the collector tells them at the
/// report's export, naming its files: received lines left out for a byte
/// outside printable ASCII, and a numbered heading that began a new report
/// while an earlier one (whose end line never came, or came garbled) was
/// still pending, which clears the worksheet.
class ReportCollector {
 public:
  /// Yields where and how the report that is finishing is exported. Called
  /// once per report, at its export, on the thread that exports it (the
  /// report thread, when the capture has one).
  using TargetSource = std::function<ExportTarget()>;
  /// Hears each report after its export, on the thread that exported it.
  using FinishedSink = std::function<void(const FinishedReport&)>;

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

  /// From now on `sink` hears every report after its export (empty: none).
  void SetFinishedSink(FinishedSink sink) { finished_ = std::move(sink); }

  /// Takes one printable report line.
  void FeedLine(const std::string& line);
  /// Notes a received line that was not fed for a byte outside printable
  /// ASCII; the user hears of it with the export of the report it came in
  /// (or, between reports, of the next one). The first kToldLeftOutLines
  /// are shown, the rest counted.
  void LineLeftOut(const std::string& line);
  static constexpr size_t kToldLeftOutLines = 3;
  /// The bytes as a notice or event line shows them: printable ASCII as it
  /// is, a backslash doubled, LF as "\n", TAB as "\t" and any other byte as
  /// "\xHH"; past `limit` bytes the rest is left out and "..." ends the text.
  static std::string Shown(std::string_view bytes, size_t limit = 200);
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
  FinishedSink finished_;
  InstrumentModel model_{};
  std::tm firstLineTime_{};
  bool idle_ = true;
  size_t pendingBytes_ = 0;
  unsigned long long reportsNotSaved_ = 0;
  unsigned long long reportsLost_ = 0;
  size_t pendingLimit_ = kMaxPendingBytes;
  // Tells the user what the report about to be saved under `name` lacks.
  void TellWhatIsMissing(const ExportName& name, const ExportTarget& target);

  struct LeftOut {
    std::string shown;  // the line as Shown
    size_t after;       // the stored lines before it
  };

  TextReport textReport_;
  std::unique_ptr<ReportHandler> handler_;
  std::vector<LeftOut> leftOut_;       // the first few left out since the last export
  unsigned long long leftOutCount_ = 0;  // all of them
  std::vector<std::string> headings_;  // the report starts among the stored lines
};
