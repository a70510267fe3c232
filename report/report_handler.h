#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/notice.h"
#include "export/report_export.h"
#include "export/results_file.h"
#include "export/workbook.h"
#include "report/instrument_model.h"
#include "report/line_classifier.h"

/// Lays the lines of one report at a time out in a worksheet; one subclass
/// per instrument model. Rows and columns are 0-based: raw lines go to
/// column 1 from row 1 on, result tables start at column 3.
class ReportHandler {
 public:
  /// Progress through the current report.
  enum State { kWaiting = 0, kCollecting = 1, kInStrip = 2 };
  /// Font indexes of the four fonts every report workbook has.
  enum Font { kRegular = 0, kBold = 1, kItalic = 2, kStruckOut = 3 };
  /// BIFF2 horizontal alignment codes.
  enum Align { kLeft = 1, kCentred = 2, kRight = 3 };

  ReportHandler();
  virtual ~ReportHandler();
  ReportHandler(const ReportHandler&) = delete;
  ReportHandler& operator=(const ReportHandler&) = delete;

  /// True for the line that ends a test run (the same for every model).
  virtual bool IsEndOfReport(const std::string& line) const;
  /// Writes the line into column 1 at the next raw-text row; returns the
  /// row the next line will take. A row beyond the worksheet's reach is not
  /// written (the line is still in the text file).
  virtual int AppendTextRow(const std::string& line);
  /// Writes the worksheet as the report's spreadsheet files where and in
  /// the formats `target` names; true when all were written. Failures are
  /// told through `notices`.
  virtual bool ExportWorkbook(ExportName& name, const ExportTarget& target, NoticeSink& notices);
  /// Takes one report line; false when the line was ignored.
  virtual bool FeedLine(const std::string& line) = 0;
  /// Gets ready for the next report: column 1 at 26 characters, `Waiting`.
  /// The cells stay until the next report start clears them.
  virtual void Reset();

  /// What the current report printed for a laboratory system, as far as
  /// it came: its test title, its date and one row per measured well,
  /// sample, calibrator or control in printed order. Emptied at each
  /// report start and by Reset.
  virtual const ReportResults& Results() const { return results_; }

  /// Report starts (numbered headings) taken since the handler was made;
  /// each cleared the worksheet.
  uint64_t ReportStarts() const { return reportStarts_; }

  Workbook& GetWorkbook() { return workbook_; }
  int GetState() const { return state_; }
  const std::string& Unit() const { return unit_; }

 protected:
  /// The start of a report headed `heading`: the model's Reset, then the
  /// worksheet cleared of the previous report's cells and column widths,
  /// and the heading's test title kept for the results.
  void StartReport(const std::string& heading);
  /// Keeps the report's first printed date, when `line` prints one.
  void NoteDate(const std::string& line);
  /// Adds a row to the results; a reading or result printed as "**" is
  /// left empty and the row flagged "no_result".
  void AddResult(ResultRow row);
  /// True when (row, column) lies in the worksheet's reach; negative or
  /// too large indexes never address a cell.
  static bool InReach(int64_t row, int64_t column);
  /// The cell at (row, column), which the caller has checked with InReach.
  Cell& At(int64_t row, int64_t column);
  /// Sets the text, font and alignment of one cell; font or alignment < 0
  /// leaves that attribute alone.
  void Put(int64_t row, int64_t column, const std::string& text, int font, int align);
  void Style(int64_t row, int64_t column, int font, int align);

  ReportLineClassifier classifier_;
  Workbook workbook_;
  int state_ = kWaiting;
  int textRow_ = 1;
  std::string unit_;
  // The reading's name in the last column headings ("ABS", "RLU").
  std::string measure_;
  ReportResults results_;
  uint64_t reportStarts_ = 0;
};

/// Builds the handler of `model`, or none.
std::unique_ptr<ReportHandler> MakeReportHandler(InstrumentModel model);
