#include "report/strip_report_handler.h"

#include "report/c_number.h"
#include "report/token_list.h"

StripReportHandler::StripReportHandler() { textRow_ = 1; }

void StripReportHandler::Reset() {
  ReportHandler::Reset();
  stripCount_ = 0;
  currentStrip_.clear();
  textRow_ = 1;
}

bool StripReportHandler::FeedLine(const std::string& line) {
  if (modelClassifier_.IsUnitHeader(line)) {
    unit_ = modelClassifier_.UnitOfUnitHeader(line);
    const TokenList& tokens = modelClassifier_.TokensOf(line);
    if (tokens.Count() >= 5) measure_ = tokens.At(2);
    return true;
  }
  if (modelClassifier_.IsStripFormatLine(line)) return true;
  if (modelClassifier_.IsCarrierLine(line)) {
    if (stripCount_ > 0 && !WriteCarrierPosition(line)) AppendTextRow(line);
    return true;
  }
  if (modelClassifier_.IsStripLine(line)) {
    std::string label = modelClassifier_.StripLabelOf(line);
    if (label != currentStrip_) {
      currentStrip_ = label;
      state_ = kInStrip;
      ++stripCount_;
      if (!WriteStripHeader()) AppendTextRow(line);
    }
    return true;
  }
  if (modelClassifier_.IsEndOfRun(line)) return true;
  if (modelClassifier_.IsReportStart(line)) {
    StartReport(line);
    state_ = kCollecting;
  }
  NoteDate(line);
  switch (state_) {
    case kWaiting:
      return false;
    case kInStrip:
      if (modelClassifier_.IsStripRow(line)) {
        WriteStripRow(line);
        AddStripResult(line);
        return true;
      }
      break;
    default:
      break;
  }
  AppendTextRow(line);
  return true;
}

StripReportHandler::Block StripReportHandler::CurrentBlock() const {
  bool lettered = modelClassifier_.LetteredWells();
  int64_t band = (stripCount_ - 1) / 3;
  int64_t place = (stripCount_ - 1) % 3;
  Block b;
  b.headingRow = (lettered ? 13 : 16) * band + 3;
  b.labelColumn = 6 * place + 3;
  b.firstColumn = b.labelColumn + 1;
  b.wells = lettered ? 8 : 12;
  return b;
}

bool StripReportHandler::WriteStripHeader() {
  Block b = CurrentBlock();
  const int64_t r = b.headingRow;
  const int64_t c1 = b.firstColumn;
  if (!InReach(r - 2, c1 + 3) || !InReach(r + b.wells, c1 + 3)) return false;
  bool lettered = modelClassifier_.LetteredWells();

  // The instrument's firmware names strips by one character counted on from
  // "@" (Strip A, B, ...) or "0" (Strip 1, 2, ...), in 8 bits; a character
  // that comes out as NUL ends the title there.
  char mark = static_cast<char>((lettered ? 48 : 64) + stripCount_);
  std::string title = "Strip ";
  if (mark != '\0') title += mark;
  Put(r - 2, c1, title, kBold, kCentred);
  Style(r - 1, c1, kBold, kCentred);

  Put(r, c1, "[ID]", -1, -1);
  Put(r, c1 + 1, ReadingHeading(), -1, -1);
  Put(r, c1 + 2, "[" + unit_ + "]", -1, -1);
  Put(r, c1 + 3, "[Interp]", -1, -1);
  for (int i = 0; i < 4; ++i) Style(r, c1 + i, kItalic, kCentred);

  for (int w = 1; w <= b.wells; ++w) {
    Put(r + w, b.labelColumn, lettered ? std::string(1, static_cast<char>('A' + w - 1))
                                       : std::to_string(w),
        -1, -1);
  }
  workbook_.AddColumnWidth(static_cast<int>(b.labelColumn), 3.0f);
  for (int w = 0; w <= b.wells; ++w) Style(r + w, b.labelColumn, kBold, kCentred);
  return true;
}

void StripReportHandler::WriteStripRow(const std::string& line) {
  const TokenList& tokens = modelClassifier_.TokensOf(line);
  if (tokens.Count() < 2) return;
  std::string id, reading;
  if (tokens.Count() == 2) {
    reading = tokens.At(1);
  } else {
    id = tokens.At(1);
    reading = tokens.At(2);
  }
  std::string concentration = tokens.At(3);
  std::string interpretation = tokens.At(4);

  Block b = CurrentBlock();
  // Numbered wells give their row by number, lettered wells by letter ("A"
  // under the headings). A well that names no row of the block (0, a
  // negative number, a non-letter) or a row past the worksheet's end keeps
  // the line in column 1 rather than writing over the headings.
  int64_t row = -1;
  if (modelClassifier_.LetteredWells()) {
    unsigned char first = static_cast<unsigned char>(tokens.At(0)[0]);
    if (stripCount_ > 0 && first >= 65) row = b.headingRow + 1 + (first - 65);
  } else {
    int well = tokens.IntAt(0);
    if (well > 0) row = b.headingRow + well;
  }
  const int64_t c1 = b.firstColumn;
  if (row < 0 || !InReach(row, c1 + 3)) {
    AppendTextRow(line);
    return;
  }
  At(row, c1).SetText(id);
  At(row, c1 + 1).SetText(reading);
  if (!concentration.empty() && concentration != "**") {
    At(row, c1 + 2).SetNumber(CAtof(concentration));
  }
  At(row, c1 + 3).SetText(interpretation);
  for (int i = 0; i < 4; ++i) Style(row, c1 + i, -1, kCentred);
}

void StripReportHandler::AddStripResult(const std::string& line) {
  const TokenList& tokens = modelClassifier_.TokensOf(line);
  const bool hasId = tokens.Count() > 2;
  ResultRow row;
  size_t label = currentStrip_.find_first_not_of(' ');
  row.strip = label == std::string::npos ? std::string() : currentStrip_.substr(label);
  row.position = tokens.At(0);
  row.sampleId = hasId ? tokens.At(1) : std::string();
  // The reader names its negative and positive controls NC and PC; every
  // other well holds a sample.
  const bool control = row.sampleId.rfind("NC", 0) == 0 || row.sampleId.rfind("PC", 0) == 0;
  row.kind = control ? "control" : "sample";
  if (measure_.empty()) {
    const std::string heading = ReadingHeading();
    row.measure = heading.substr(1, heading.size() - 2);
  } else {
    row.measure = measure_;
  }
  row.value = tokens.At(hasId ? 2 : 1);
  row.result = tokens.At(3);
  row.resultUnit = unit_;
  row.interpretation = tokens.JoinedFrom(4);
  AddResult(std::move(row));
}

bool StripReportHandler::WriteCarrierPosition(const std::string& line) {
  if (stripCount_ == 0) return false;
  Block b = CurrentBlock();
  if (!InReach(b.headingRow - 1, b.firstColumn)) return false;
  Put(b.headingRow - 1, b.firstColumn, line, kRegular, kLeft);
  return true;
}
