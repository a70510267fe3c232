#include "tests/export/golden_workbooks.h"

#include "tests/export/export_test_support.h"

void BuildWorkedExample(Workbook& wb) {
  AddReportFonts(wb);
  wb.AddColumnWidth(1, 26.0f);
  Cell& abc = wb.CellAt(0, 0);
  abc.SetText("abc");
  abc.SetFontIndex(1);
  abc.SetAlignment(2);
  wb.CellAt(1, 1).SetNumber(2.5);
}

std::string LongText(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += static_cast<char>('a' + i % 26);
  return s;
}

void BuildEdgeCells(Workbook& wb) {
  wb.AddColumnWidth(1, 26.0f);
  wb.AddColumnWidth(4, 3.0f);
  wb.AddColumnWidth(2, 0.5f);
  wb.AddColumnWidth(3, 1.0f / 512);
  wb.AddColumnWidth(255, 1e6f);  // wider than the field: kept to its largest value
  AddReportFonts(wb);
  // Filled out of order on purpose: the file is row-major whatever the order of the calls.
  Cell& last = wb.CellAt(16383, 255);
  last.SetNumber(0.001);
  last.SetFontIndex(1);
  wb.CellAt(16383, 0).SetText("last row");
  wb.CellAt(0, 0).SetText("");
  Cell& cut = wb.CellAt(0, 1);
  cut.SetText(LongText(300));
  cut.SetFontIndex(2);
  cut.SetAlignment(3);
  wb.CellAt(1, 0).SetNumber(1.0);
  Cell& high = wb.CellAt(1, 2);
  high.SetText("Caf\xe9 \xb5g 50% %s");
  high.SetAlignment(1);
  Cell& negative = wb.CellAt(1, 3);
  negative.SetText("replaced by a number");
  negative.SetNumber(-0.125);
  negative.SetFontIndex(1);
  negative.SetAlignment(2);
  Cell& huge = wb.CellAt(2, 255);
  huge.SetNumber(1e300);
  huge.SetFontIndex(3);
  huge.SetAlignment(4);
  wb.CellAt(3, 0).SetNumber(123456789.0);
  wb.CellAt(7, 7);  // reached but never set: not written
}

void BuildPlateReport(Workbook& wb) {
  AddReportFonts(wb);
  wb.AddColumnWidth(1, 26.0f);
  for (int c = 4; c < 16; ++c) wb.AddColumnWidth(c, 3.0f);
  const char* lines[] = {"Plate 1", "Test: ELISA 405nm", "Operator: A"};
  for (int i = 0; i < 3; ++i) wb.CellAt(i + 1, 1).SetText(lines[i]);
  Cell& heading = wb.CellAt(1, 3);
  heading.SetText("Absorbance");
  heading.SetFontIndex(1);
  for (int c = 0; c < 12; ++c) {
    Cell& cell = wb.CellAt(2, 4 + c);
    cell.SetNumber(c + 1);
    cell.SetFontIndex(2);
    cell.SetAlignment(2);
  }
  for (int r = 0; r < 8; ++r) {
    Cell& letter = wb.CellAt(3 + r, 3);
    letter.SetText(std::string(1, static_cast<char>('A' + r)));
    letter.SetFontIndex(1);
    letter.SetAlignment(2);
    for (int c = 0; c < 12; ++c) {
      Cell& cell = wb.CellAt(3 + r, 4 + c);
      cell.SetNumber((r * 100 + c * 7) / 1000.0);
      cell.SetAlignment(3);
    }
  }
}
