#include "report/sample_report_handler.h"

#include <string>

#include "report/c_number.h"
#include "report/token_list.h"

namespace {

constexpr int kCalibrationColumn = 3;
constexpr int kSamplesColumn = 8;
constexpr int64_t kFirstResultRow = 3;

}  // namespace

SampleReportHandler::SampleReportHandler() { textRow_ = 1; }

void SampleReportHandler::Reset() {
  ReportHandler::Reset();
  textRow_ = 1;
  sampleCount_ = 0;
}

bool SampleReportHandler::FeedLine(const std::string& line) {
  if (modelClassifier_.IsReportStart(line)) {
    StartReport(line);
    state_ = kCollecting;
    WriteTableHeaders();
  }
  NoteDate(line);
  AppendTextRow(line);
  if (modelClassifier_.IsTableHeader(line)) {
    unit_ = modelClassifier_.UnitOfTableHeader(line);
    const TokenList& tokens = modelClassifier_.TokensOf(line);
    if (tokens.Count() >= 4) measure_ = tokens.At(1);
    WriteTableHeaders();
  }
  if (modelClassifier_.IsBlankLine(line)) {
    WriteBlankRow(line);
    AddSampleResult(line, "blank");
  } else if (modelClassifier_.IsStandardLine(line)) {
    WriteStandardRow(line);
    AddSampleResult(line, "calibrator");
  } else if (modelClassifier_.IsSampleLine(line)) {
    WriteSampleRow(line);
    AddSampleResult(line, "sample");
  } else if (modelClassifier_.IsControlLine(line)) {
    WriteSampleRow(line);
    AddSampleResult(line, "control");
  }
  return true;
}

void SampleReportHandler::AddSampleResult(const std::string& line, const char* kind) {
  const TokenList& tokens = modelClassifier_.TokensOf(line);
  ResultRow row;
  row.position = tokens.At(0);
  row.kind = kind;
  row.measure = measure_;
  row.value = tokens.At(1);
  row.result = tokens.At(2);
  row.resultUnit = unit_;
  // An interpretation of several words ("NOT DETECTED") keeps them, one
  // blank apart.
  row.interpretation = tokens.JoinedFrom(3);
  AddResult(std::move(row));
}

void SampleReportHandler::WriteTableHeaders() {
  for (int c : {kCalibrationColumn, kSamplesColumn}) {
    Put(1, c, c == kCalibrationColumn ? "Calibration" : "Samples", -1, -1);
    for (int i = 0; i < 4; ++i) Style(2, c + i, kBold, kCentred);
    Put(2, c, "S#", -1, -1);
    Put(2, c + 1, "[ABS]", -1, -1);
    Put(2, c + 2, "[" + unit_ + "]", -1, -1);
    if (c == kSamplesColumn) Put(2, c + 3, "[Interp]", -1, -1);
  }
}

void SampleReportHandler::WriteBlankRow(const std::string& line) {
  const TokenList& tokens = modelClassifier_.TokensOf(line);
  if (tokens.Count() != 2) return;
  Put(kFirstResultRow, kCalibrationColumn, tokens.At(0), -1, kCentred);
  Put(kFirstResultRow, kCalibrationColumn + 1, tokens.At(1), -1, kRight);
}

void SampleReportHandler::WriteStandardRow(const std::string& line) {
  const TokenList& tokens = modelClassifier_.TokensOf(line);
  if (tokens.Count() != 3) return;
  std::string digits;
  for (char c : tokens.At(0)) {
    if (c != 'S') digits += c;
  }
  // Standards may print in any order; each has the row of its number. The
  // whole line is in column 1 already, so a standard without a usable number
  // (or one past the worksheet's end) loses nothing by being left out here.
  int64_t row = int64_t{CAtoi(digits)} + kFirstResultRow;
  if (row <= kFirstResultRow || !InReach(row, kCalibrationColumn + 2)) return;
  Put(row, kCalibrationColumn, tokens.At(0), -1, kCentred);
  Put(row, kCalibrationColumn + 1, tokens.At(1), -1, kRight);
  Put(row, kCalibrationColumn + 2, tokens.At(2), -1, kRight);
}

void SampleReportHandler::WriteSampleRow(const std::string& line) {
  const TokenList& tokens = modelClassifier_.TokensOf(line);
  if (tokens.Count() < 3) return;
  int64_t row = sampleCount_ + kFirstResultRow;
  ++sampleCount_;
  if (!InReach(row, kSamplesColumn + 2)) return;
  Put(row, kSamplesColumn, tokens.At(0), -1, kCentred);
  Put(row, kSamplesColumn + 1, tokens.At(1), -1, kRight);
  Put(row, kSamplesColumn + 2, tokens.At(2), -1, kRight);
}
