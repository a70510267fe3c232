#pragma once

#include <cstdint>
#include <string>

#include "report/report_handler.h"

/// Model 6350: each strip becomes a small table in a grid of blocks, three
/// strips side by side; the remaining report lines go to column 1. Strips
/// have 12 numbered wells (blocks of 16 rows) or 8 lettered wells (blocks of
/// 13 rows), as the last strip format line said.
class StripReportHandler : public ReportHandler {
 public:
  StripReportHandler();
  /// False only when the line is ignored because no report has started.
  bool FeedLine(const std::string& line) override;
  /// No strip yet, raw text from row 1; the strip format is kept.
  void Reset() override;

  /// Writes the result line into the current strip's block.
  virtual void WriteStripRow(const std::string& line);
  /// Writes the current strip's title, headings and well labels; false when
  /// the block lies beyond the worksheet's reach.
  virtual bool WriteStripHeader();
  /// Adds the well of a result line of the current strip to the results.
  void AddStripResult(const std::string& line);
  /// Writes the carrier position under the current strip's title; false
  /// when there is no strip or the cell is beyond reach.
  virtual bool WriteCarrierPosition(const std::string& line);

  int64_t StripCount() const { return stripCount_; }
  const std::string& CurrentStrip() const { return currentStrip_; }
  bool LetteredWells() const { return modelClassifier_.LetteredWells(); }

 protected:
  /// Heading of the reading column.
  virtual const char* ReadingHeading() const { return "[ABS]"; }

 private:
  /// Where the block of the current strip lies.
  struct Block {
    int64_t headingRow;   // R: the row of the column headings
    int64_t labelColumn;  // C0: the well labels
    int64_t firstColumn;  // C1: identifier, reading, concentration, interpretation
    int wells;
  };
  Block CurrentBlock() const;

  StripLineClassifier modelClassifier_;
  std::string currentStrip_;
  int64_t stripCount_ = 0;
};

/// Model 6480, a luminometer: the same layout, readings in relative light
/// units.
class StripRluReportHandler : public StripReportHandler {
 protected:
  const char* ReadingHeading() const override { return "[RLU]"; }
};
