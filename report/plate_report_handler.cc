#include "report/plate_report_handler.h"

#include <string>

#include "report/c_number.h"
#include "report/token_list.h"

namespace {

// Plate p's letters sit in row 15p - 12, its title one row above and its
// twelve value rows below; the 15th row of each block stays empty.
int64_t HeadingRow(int64_t plate) { return 15 * plate - 12; }

}  // namespace

PlateReportHandler::PlateReportHandler() { Reset(); }

void PlateReportHandler::Reset() {
  ReportHandler::Reset();
  workbook_.AddColumnWidth(1, 60.0f);
  textRow_ = 1;
  plateCount_ = 0;
}

bool PlateReportHandler::FeedLine(const std::string& line) {
  if (modelClassifier_.IsReportStart(line)) {
    StartReport(line);
  }
  NoteDate(line);
  if (modelClassifier_.IsPlateHeader(line)) {
    ++plateCount_;
    if (!WritePlateHeader()) AppendTextRow(line);
  } else if (modelClassifier_.IsPlateRow(line)) {
    WritePlateRow(line);
    AddPlateResults(line);
  } else {
    AppendTextRow(line);
  }
  return true;
}

bool PlateReportHandler::WritePlateHeader() {
  int64_t h = HeadingRow(plateCount_);
  if (!InReach(h - 1, 10) || !InReach(h, 10)) return false;
  for (int i = 0; i < 8; ++i) {
    Put(h, 3 + i, std::string(1, static_cast<char>('H' - i)), kBold, kCentred);
  }
  Put(h - 1, 6, "Plate " + std::to_string(plateCount_), kBold, -1);
  return true;
}

void PlateReportHandler::AddPlateResults(const std::string& line) {
  TokenList values;
  values.Split(line.substr(6), " ");
  const int plate = CAtoi(line.substr(0, 2));
  const int column = CAtoi(line.substr(3, 2));
  if (plate <= 0 || column <= 0 || column > 12 || values.Count() < 8) return;
  const std::string number = (column < 10 ? "0" : "") + std::to_string(column);
  // The values stand under the well-row letters H to A of the heading.
  for (int i = 0; i < 8; ++i) {
    ResultRow row;
    row.plate = std::to_string(plate);
    row.position = static_cast<char>('H' - i) + number;
    row.kind = "sample";
    // A plate report names no reading; the plate reader measures absorbance.
    row.measure = "ABS";
    row.value = values.At(i);
    AddResult(std::move(row));
  }
}

void PlateReportHandler::WritePlateRow(const std::string& line) {
  if (line.find('-') != 2) return;
  TokenList values;
  values.Split(line.substr(6), " ");
  if (values.Count() < 8) return;
  // The line names its plate and well column ("PP-RR"); a plate number of 0
  // or below names no block, so the line is kept as raw text instead.
  int plate = CAtoi(line.substr(0, 2));
  int column = CAtoi(line.substr(3, 2));
  int64_t row = column + HeadingRow(plate);
  if (plate <= 0 || !InReach(row, 10)) {
    AppendTextRow(line);
    return;
  }
  for (int i = 0; i < 8; ++i) Put(row, 3 + i, values.At(i), -1, kRight);
}
