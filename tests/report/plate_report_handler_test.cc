#include "report/plate_report_handler.h"

#include <gtest/gtest.h>

#include "tests/report/handler_test_support.h"

namespace {

const char kHeader[] = "       H      G      F      E      D      C      B      A";

std::string ValueLine(const std::string& plateAndRow, const std::string& first = "0.101") {
  return plateAndRow + "  " + first + "  0.102  0.103  0.104  0.105  0.106  0.107  0.108";
}

TEST(PlateReportHandlerTest, NewHandlerHasFontsAndBothWidthsOfColumnOne) {
  PlateReportHandler h;
  EXPECT_EQ(h.GetWorkbook().Fonts().size(), 4u);
  EXPECT_EQ(Widths(h.GetWorkbook()), "1:6656 1:15360");
  EXPECT_EQ(FilledCells(h.GetWorkbook()), 0);
  EXPECT_EQ(h.GetState(), ReportHandler::kWaiting);
}

TEST(PlateReportHandlerTest, LaysPlatesOutByThePrintedPlateAndRow) {
  PlateReportHandler h;
  const Workbook& wb = h.GetWorkbook();
  h.FeedLine("1) Endpoint");
  EXPECT_EQ(Widths(wb), "");  // the start clears the widths its own Reset added
  EXPECT_EQ(Show(wb, 1, 1), "1) Endpoint");
  h.FeedLine(kHeader);
  EXPECT_EQ(Show(wb, 2, 6), "Plate 1");
  EXPECT_EQ(StyleOf(wb, 2, 6), "1/0");
  const char* letters[] = {"H", "G", "F", "E", "D", "C", "B", "A"};
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(Show(wb, 3, 3 + i), letters[i]);
    EXPECT_EQ(StyleOf(wb, 3, 3 + i), "1/2");
  }
  h.FeedLine(ValueLine("01-01"));
  h.FeedLine(ValueLine("01-12", "1.5"));
  h.FeedLine(ValueLine("02-01", "OVER"));  // plate 2 before its header
  EXPECT_EQ(Show(wb, 4, 3), "0.101");
  EXPECT_EQ(Show(wb, 4, 10), "0.108");
  EXPECT_EQ(StyleOf(wb, 4, 10), "0/3");
  EXPECT_EQ(Show(wb, 4, 11), "<none>");
  EXPECT_EQ(Show(wb, 15, 3), "1.5");
  EXPECT_EQ(Show(wb, 19, 3), "OVER");
  EXPECT_EQ(Show(wb, 2, 1), "<none>");  // headers and values never reach column 1

  // A second header for the same plate moves the heading one block down;
  // the values still follow their printed plate number.
  h.FeedLine(kHeader);
  EXPECT_EQ(Show(wb, 17, 6), "Plate 2");
  EXPECT_EQ(Show(wb, 18, 3), "H");
  h.FeedLine(ValueLine("01-02", "7"));
  EXPECT_EQ(Show(wb, 5, 3), "7");

  // Seven values, plate 00, a plate that is not a number, and a negative
  // row are kept as raw text instead of addressing rows above the block.
  h.FeedLine("01-03  0.1  0.2  0.3  0.4  0.5  0.6  0.7          ");
  h.FeedLine(ValueLine("00-01"));
  h.FeedLine(ValueLine("xx-01"));
  h.FeedLine(ValueLine("01--9"));
  EXPECT_EQ(Show(wb, 2, 1), "01-03  0.1  0.2  0.3  0.4  0.5  0.6  0.7          ");
  EXPECT_EQ(Show(wb, 3, 1), ValueLine("00-01"));
  EXPECT_EQ(Show(wb, 4, 1), ValueLine("xx-01"));
  EXPECT_EQ(Show(wb, 5, 1), ValueLine("01--9"));
  EXPECT_EQ(Show(wb, 0, 3), "<none>");
  EXPECT_EQ(Show(wb, 6, 3), "<none>");
}

TEST(PlateReportHandlerTest, ResetKeepsCellsUntilTheNextReportStart) {
  PlateReportHandler h;
  const Workbook& wb = h.GetWorkbook();
  h.FeedLine("1) First");
  h.FeedLine(kHeader);
  h.FeedLine(ValueLine("01-01"));
  h.Reset();  // what the collector does after an export
  EXPECT_EQ(Widths(wb), "1:6656 1:15360");
  EXPECT_EQ(Show(wb, 4, 3), "0.101");
  EXPECT_EQ(h.PlateCount(), 0);

  // No start line: written over the old cells, raw text from row 1 again.
  h.FeedLine("Second, no title");
  h.FeedLine(ValueLine("01-01", "9.9"));
  EXPECT_EQ(Show(wb, 1, 1), "Second, no title");
  EXPECT_EQ(Show(wb, 4, 3), "9.9");
  EXPECT_EQ(Show(wb, 3, 3), "H");

  h.FeedLine("2) Third");
  EXPECT_EQ(FilledCells(wb), 1);
  EXPECT_EQ(Show(wb, 1, 1), "2) Third");
}

TEST(PlateReportHandlerTest, HeadersBeyondTheLastRowGoToColumnOne) {
  PlateReportHandler h;
  const Workbook& wb = h.GetWorkbook();
  for (int i = 0; i < 1093; ++i) h.FeedLine(kHeader);
  EXPECT_EQ(Show(wb, 16382, 6), "Plate 1093");  // heading row 16383, the last one
  EXPECT_EQ(Show(wb, 1, 1), "<none>");
  h.FeedLine(kHeader);
  EXPECT_EQ(Show(wb, 1, 1), kHeader);
  EXPECT_EQ(wb.RefusedCells(), 0u);
}

}  // namespace
