#pragma once

#include <cstdint>

#include "report/report_handler.h"

/// Model 6310: every line goes to column 1; the blank and the standards
/// fill the Calibration table (column 3), samples and controls the Samples
/// table (column 8).
class SampleReportHandler : public ReportHandler {
 public:
  SampleReportHandler();
  bool FeedLine(const std::string& line) override;
  /// Raw text from row 1, sample rows from row 3 again.
  void Reset() override;

  /// Titles and column headings of both tables, with the current unit.
  virtual void WriteTableHeaders();
  /// "B" and its absorbance in row 3.
  virtual void WriteBlankRow(const std::string& line);
  /// Standard Sn in row n + 3.
  virtual void WriteStandardRow(const std::string& line);
  /// The next sample or control in the next Samples row.
  virtual void WriteSampleRow(const std::string& line);
  /// Adds the blank, standard, sample or control of `line` to the results
  /// as `kind`; its first word is its position.
  void AddSampleResult(const std::string& line, const char* kind);

 private:
  SampleLineClassifier modelClassifier_;
  int64_t sampleCount_ = 0;
};
