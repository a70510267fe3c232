#include "report/report_handler.h"

#include "report/plate_report_handler.h"
#include "report/sample_report_handler.h"
#include "report/strip_report_handler.h"

ReportHandler::ReportHandler() {
  workbook_.AddFont("Arial", 10, 0);
  workbook_.AddFont("Arial", 10, 1);
  workbook_.AddFont("Arial", 10, 2);
  workbook_.AddFont("Arial", 10, 8);
}

ReportHandler::~ReportHandler() = default;

bool ReportHandler::IsEndOfReport(const std::string& line) const {
  return classifier_.IsEndOfTest(line);
}

int ReportHandler::AppendTextRow(const std::string& line) {
  if (!InReach(textRow_, 1)) return textRow_;
  At(textRow_, 1).SetText(line);
  return ++textRow_;
}

bool ReportHandler::ExportWorkbook(ExportName& name, const ExportTarget& target, NoticeSink& notices) {
  return ExportWorkbookFiles(workbook_, name, target, notices);
}

void ReportHandler::Reset() {
  workbook_.AddColumnWidth(1, 26.0f);
  state_ = kWaiting;
  results_ = ReportResults();
}

void ReportHandler::StartReport(const std::string& heading) {
  Reset();
  workbook_.Clear();
  ++reportStarts_;
  results_.test = ReportLineClassifier::TestTitleOf(heading);
}

void ReportHandler::NoteDate(const std::string& line) {
  if (results_.printedDate.empty()) results_.printedDate = ReportLineClassifier::PrintedDateOf(line);
}

void ReportHandler::AddResult(ResultRow row) {
  for (std::string* printed : {&row.value, &row.result}) {
    if (*printed != "**") continue;
    printed->clear();
    row.flag = "no_result";
  }
  if (row.result.empty()) row.resultUnit.clear();
  results_.rows.push_back(std::move(row));
}

bool ReportHandler::InReach(int64_t row, int64_t column) {
  return row >= 0 && column >= 0 && row <= UINT32_MAX && column <= UINT32_MAX &&
         Workbook::Addressable(static_cast<uint32_t>(row), static_cast<uint32_t>(column));
}

Cell& ReportHandler::At(int64_t row, int64_t column) {
  return workbook_.CellAt(static_cast<uint32_t>(row), static_cast<uint32_t>(column));
}

void ReportHandler::Put(int64_t row, int64_t column, const std::string& text, int font,
                        int align) {
  Cell& cell = At(row, column);
  if (font >= 0) cell.SetFontIndex(font);
  if (align >= 0) cell.SetAlignment(align);
  cell.SetText(text);
}

void ReportHandler::Style(int64_t row, int64_t column, int font, int align) {
  Cell& cell = At(row, column);
  if (font >= 0) cell.SetFontIndex(font);
  if (align >= 0) cell.SetAlignment(align);
}

std::unique_ptr<ReportHandler> MakeReportHandler(InstrumentModel model) {
  switch (model) {
    case InstrumentModel::M6310:
      return std::make_unique<SampleReportHandler>();
    case InstrumentModel::M6120:
      return std::make_unique<PlateReportHandler>();
    case InstrumentModel::M6350:
      return std::make_unique<StripReportHandler>();
    case InstrumentModel::M6480:
      return std::make_unique<StripRluReportHandler>();
    case InstrumentModel::None:
      break;
  }
  return nullptr;
}
