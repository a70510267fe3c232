#include "report/sample_report_handler.h"

#include <gtest/gtest.h>

#include "tests/report/handler_test_support.h"

namespace {

TEST(SampleReportHandlerTest, ReportStartWritesBothTablesAndEveryLineGoesToColumnOne) {
  SampleReportHandler h;
  const Workbook& wb = h.GetWorkbook();
  EXPECT_EQ(Widths(wb), "");
  EXPECT_EQ(wb.Fonts().size(), 4u);
  h.FeedLine("1) Quantitative");
  EXPECT_EQ(h.GetState(), ReportHandler::kCollecting);
  EXPECT_EQ(Show(wb, 1, 1), "1) Quantitative");
  EXPECT_EQ(Show(wb, 1, 3), "Calibration");
  EXPECT_EQ(StyleOf(wb, 1, 3), "0/0");
  EXPECT_EQ(Show(wb, 2, 3), "S#");
  EXPECT_EQ(Show(wb, 2, 4), "[ABS]");
  EXPECT_EQ(Show(wb, 2, 5), "[]");
  EXPECT_EQ(Show(wb, 2, 6), "<none>");
  EXPECT_EQ(StyleOf(wb, 2, 6), "1/2");  // styled, never written
  EXPECT_EQ(Show(wb, 1, 8), "Samples");
  EXPECT_EQ(Show(wb, 2, 8), "S#");
  EXPECT_EQ(Show(wb, 2, 10), "[]");
  EXPECT_EQ(Show(wb, 2, 11), "[Interp]");
  for (int c : {3, 4, 5, 8, 9, 10, 11}) EXPECT_EQ(StyleOf(wb, 2, c), "1/2") << c;

  h.FeedLine("S#      ABS     ng/mL   Fit");
  EXPECT_EQ(h.Unit(), "ng/mL");
  EXPECT_EQ(Show(wb, 2, 5), "[ng/mL]");
  EXPECT_EQ(Show(wb, 2, 10), "[ng/mL]");
  EXPECT_EQ(Show(wb, 2, 1), "S#      ABS     ng/mL   Fit");
  h.FeedLine("S#      ABS     ng/mL");  // three tokens: no unit
  EXPECT_EQ(Show(wb, 2, 5), "[]");
  EXPECT_EQ(Show(wb, 3, 1), "S#      ABS     ng/mL");
}

TEST(SampleReportHandlerTest, BlankStandardsSamplesAndControls) {
  SampleReportHandler h;
  const Workbook& wb = h.GetWorkbook();
  h.FeedLine("1) Quantitative");
  h.FeedLine("B      0.000");
  h.FeedLine("S3     0.300    5.00");  // standards in any order
  h.FeedLine("S12    1.200   50.00");
  h.FeedLine("S0     0.100    0.00");  // a standard, but numbered 0: not laid out
  h.FeedLine("SS     0.100    1.00");
  h.FeedLine("7      0.410    3.20   HIGH");
  h.FeedLine("NC     0.050    0.10   OK");
  h.FeedLine("S3     0.333    5.50");  // a repeated standard overwrites its row
  h.FeedLine("B      -----");

  EXPECT_EQ(Show(wb, 3, 3), "B");
  EXPECT_EQ(StyleOf(wb, 3, 3), "0/2");
  EXPECT_EQ(Show(wb, 3, 4), "0.000");
  EXPECT_EQ(StyleOf(wb, 3, 4), "0/3");
  EXPECT_EQ(Show(wb, 6, 3), "S3");
  EXPECT_EQ(Show(wb, 6, 4), "0.333");
  EXPECT_EQ(Show(wb, 6, 5), "5.50");
  EXPECT_EQ(StyleOf(wb, 6, 5), "0/3");
  EXPECT_EQ(Show(wb, 4, 3), "<none>");
  EXPECT_EQ(Show(wb, 15, 3), "S12");
  // S0 is both a standard and (holding "0") integer-like: as a standard it
  // is not tried as a sample, so the samples start with 7.
  EXPECT_EQ(Show(wb, 3, 8), "7");
  EXPECT_EQ(StyleOf(wb, 3, 8), "0/2");
  EXPECT_EQ(Show(wb, 3, 9), "0.410");
  EXPECT_EQ(Show(wb, 3, 10), "3.20");
  EXPECT_EQ(Show(wb, 3, 11), "<none>");
  EXPECT_EQ(Show(wb, 4, 8), "NC");  // controls share the samples' counter
  EXPECT_EQ(Show(wb, 5, 8), "<none>");
  for (int r = 1; r <= 10; ++r) EXPECT_NE(Show(wb, r, 1), "<none>") << r;
  EXPECT_EQ(Show(wb, 10, 1), "B      -----");
  EXPECT_EQ(Show(wb, 11, 1), "<none>");
}

TEST(SampleReportHandlerTest, LinesWithoutAStartContinueAndUnitCarriesOver) {
  SampleReportHandler h;
  const Workbook& wb = h.GetWorkbook();
  h.FeedLine("1) First");
  h.FeedLine("S#      ABS     IU/L   Interp");
  h.FeedLine("1      0.410    3.20");
  h.Reset();
  EXPECT_EQ(Widths(wb), "1:6656");
  EXPECT_EQ(h.GetState(), ReportHandler::kWaiting);
  h.FeedLine("2      0.500    4.00");  // no start: over the old cells, counters restarted
  EXPECT_EQ(Show(wb, 3, 8), "2");
  EXPECT_EQ(Show(wb, 1, 1), "2      0.500    4.00");
  EXPECT_EQ(Show(wb, 2, 1), "S#      ABS     IU/L   Interp");
  h.FeedLine("2) Second");
  EXPECT_EQ(Widths(wb), "");
  EXPECT_EQ(Show(wb, 2, 5), "[IU/L]");  // the previous report's unit until a header comes
  EXPECT_EQ(Show(wb, 3, 8), "<none>");
}

TEST(SampleReportHandlerTest, RowsPastTheLastRowAreLeftToColumnOne) {
  SampleReportHandler h;
  const Workbook& wb = h.GetWorkbook();
  h.FeedLine("S16380   0.1   0.2");
  h.FeedLine("S16381   0.1   0.2");
  EXPECT_EQ(Show(wb, 16383, 3), "S16380");
  EXPECT_EQ(Show(wb, 2, 1), "S16381   0.1   0.2");
  h.FeedLine("S99999999999   0.1   0.2");
  EXPECT_EQ(Show(wb, 3, 1), "S99999999999   0.1   0.2");
  EXPECT_EQ(wb.RefusedCells(), 0u);
}

}  // namespace
