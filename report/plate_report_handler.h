#pragma once

#include <cstdint>

#include "report/report_handler.h"

/// Model 6120: each plate of 8 x 12 wells becomes a block of 15 rows with
/// the well-row letters as headings; every other line goes to column 1.
class PlateReportHandler : public ReportHandler {
 public:
  PlateReportHandler();
  bool FeedLine(const std::string& line) override;
  /// Column 1 at 26 and then 60 characters, raw text from row 1, no plates.
  void Reset() override;

  /// Writes the heading of plate `plateCount`; false when its rows lie
  /// beyond the worksheet's reach.
  virtual bool WritePlateHeader();
  /// Writes one line of plate values into the block of the plate it names.
  virtual void WritePlateRow(const std::string& line);

  /// Adds the eight wells of a line of plate values to the results, when
  /// it names a plate and a well column of 1 to 12.
  void AddPlateResults(const std::string& line);

  int64_t PlateCount() const { return plateCount_; }

 private:
  PlateLineClassifier modelClassifier_;
  int64_t plateCount_ = 0;
};
