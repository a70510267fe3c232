#include "report/strip_report_handler.h"

#include <gtest/gtest.h>

#include "tests/report/handler_test_support.h"

namespace {

TEST(StripReportHandlerTest, WaitsForAStartOrAStrip) {
  StripReportHandler h;
  const Workbook& wb = h.GetWorkbook();
  EXPECT_EQ(Widths(wb), "");
  EXPECT_FALSE(h.FeedLine("Date: 03/05/2024"));
  EXPECT_FALSE(h.FeedLine("1   P01     0.052    0.10    NEG"));
  EXPECT_TRUE(h.FeedLine("Carrier Position: 1"));  // no strip yet: nothing written
  EXPECT_EQ(FilledCells(wb), 0);
  EXPECT_TRUE(h.FeedLine("1) Qualitative"));
  EXPECT_EQ(h.GetState(), ReportHandler::kCollecting);
  EXPECT_TRUE(h.FeedLine("1   P01     0.052    0.10    NEG"));  // no strip: raw text
  EXPECT_EQ(Show(wb, 1, 1), "1) Qualitative");
  EXPECT_EQ(Show(wb, 2, 1), "1   P01     0.052    0.10    NEG");
  EXPECT_TRUE(h.FeedLine("End of Run"));
  EXPECT_EQ(Show(wb, 3, 1), "<none>");
}

TEST(StripReportHandlerTest, NumberedStripGeometry) {
  StripReportHandler h;
  const Workbook& wb = h.GetWorkbook();
  h.FeedLine("1) Qualitative");
  h.FeedLine("W   ID        ABS    S/CO    Interp");
  h.FeedLine("Strip: 1");
  h.FeedLine("Carrier Position: 5");
  h.FeedLine("1   NC     0.052    0.10    NEG   extra");
  h.FeedLine("12  P12    1.052    **");
  h.FeedLine("3            0.061");
  h.FeedLine("4   P04    0.9      abc     EQV");

  EXPECT_EQ(Show(wb, 1, 4), "Strip A");
  EXPECT_EQ(StyleOf(wb, 1, 4), "1/2");
  EXPECT_EQ(Show(wb, 2, 4), "Carrier Position: 5");
  EXPECT_EQ(StyleOf(wb, 2, 4), "0/1");
  EXPECT_EQ(Show(wb, 3, 3), "<none>");
  EXPECT_EQ(StyleOf(wb, 3, 3), "1/2");
  EXPECT_EQ(Show(wb, 3, 4), "[ID]");
  EXPECT_EQ(Show(wb, 3, 5), "[ABS]");
  EXPECT_EQ(Show(wb, 3, 6), "[S/CO]");
  EXPECT_EQ(Show(wb, 3, 7), "[Interp]");
  for (int c = 4; c <= 7; ++c) EXPECT_EQ(StyleOf(wb, 3, c), "2/2");
  for (int w = 1; w <= 12; ++w) {
    EXPECT_EQ(Show(wb, 3 + w, 3), std::to_string(w));
    EXPECT_EQ(StyleOf(wb, 3 + w, 3), "1/2");
  }
  EXPECT_EQ(Show(wb, 16, 3), "<none>");
  EXPECT_EQ(Show(wb, 4, 4), "NC");
  EXPECT_EQ(Show(wb, 4, 5), "0.052");
  EXPECT_EQ(Show(wb, 4, 6), "#0.1");
  EXPECT_EQ(Show(wb, 4, 7), "NEG");
  EXPECT_EQ(Show(wb, 4, 8), "<none>");
  for (int c = 4; c <= 7; ++c) EXPECT_EQ(StyleOf(wb, 4, c), "0/2");
  EXPECT_EQ(Show(wb, 15, 4), "P12");
  EXPECT_EQ(Show(wb, 15, 6), "<none>");  // "**": no concentration
  EXPECT_EQ(StyleOf(wb, 15, 6), "0/2");
  EXPECT_EQ(Show(wb, 15, 7), "");  // missing interpretation: an empty text cell
  EXPECT_EQ(Show(wb, 6, 4), "");   // two tokens: blank identifier
  EXPECT_EQ(Show(wb, 6, 5), "0.061");
  EXPECT_EQ(Show(wb, 6, 6), "<none>");
  EXPECT_EQ(Show(wb, 7, 6), "#0");  // text that does not convert is 0
  EXPECT_EQ(Show(wb, 1, 1), "1) Qualitative");
  EXPECT_EQ(Show(wb, 2, 1), "<none>");  // unit, strip and carrier lines skip column 1

  for (const char* label : {"Strip: 2", "Strip: 2", "Strip: 3", "Strip: 1"}) h.FeedLine(label);
  EXPECT_EQ(h.StripCount(), 4);  // a repeated label is the same strip, an earlier one is not
  EXPECT_EQ(Show(wb, 1, 10), "Strip B");
  EXPECT_EQ(Show(wb, 4, 9), "1");
  EXPECT_EQ(Show(wb, 1, 16), "Strip C");
  EXPECT_EQ(Show(wb, 17, 4), "Strip D");
  EXPECT_EQ(Show(wb, 19, 4), "[ID]");
  EXPECT_EQ(Show(wb, 20, 3), "1");
  EXPECT_EQ(Widths(wb), "3:768 9:768 15:768 3:768");
  h.FeedLine("Carrier Position: 2");
  EXPECT_EQ(Show(wb, 18, 4), "Carrier Position: 2");
}

TEST(StripReportHandlerTest, LetteredStripGeometryAndRlu) {
  StripRluReportHandler h;
  const Workbook& wb = h.GetWorkbook();
  h.FeedLine("Strip Format: 8 Wells");
  h.FeedLine("W   ID        RLU    ng/mL   Interp");
  for (const char* label : {"Tira: 1", "Tira: 2", "Tira: 3", "Tira: 4"}) h.FeedLine(label);
  EXPECT_EQ(h.GetState(), ReportHandler::kInStrip);  // a strip starts also before a title
  h.FeedLine("A   P1     12000    0.8     NEG");
  h.FeedLine("h            900");
  h.FeedLine("1   P1     12000    0.8     NEG");  // a number is no well of a lettered strip

  EXPECT_EQ(Show(wb, 1, 4), "Strip 1");
  EXPECT_EQ(Show(wb, 3, 5), "[RLU]");
  EXPECT_EQ(Show(wb, 3, 6), "[ng/mL]");
  EXPECT_EQ(Show(wb, 14, 4), "Strip 4");
  EXPECT_EQ(Show(wb, 16, 5), "[RLU]");
  const char* letters = "ABCDEFGH";
  for (int w = 0; w < 8; ++w) EXPECT_EQ(Show(wb, 17 + w, 3), std::string(1, letters[w]));
  EXPECT_EQ(StyleOf(wb, 16, 3), "1/2");
  EXPECT_EQ(StyleOf(wb, 24, 3), "1/2");
  EXPECT_EQ(Show(wb, 25, 3), "<none>");
  EXPECT_EQ(Show(wb, 17, 4), "P1");
  EXPECT_EQ(Show(wb, 17, 5), "12000");
  EXPECT_EQ(Show(wb, 17, 6), "#0.8");
  // A lower-case letter counts from "A" by its code, as the instrument's
  // own firmware does: "h" lands 32 rows below "H".
  EXPECT_EQ(Show(wb, 16 + 1 + ('h' - 'A'), 5), "900");
  EXPECT_EQ(Show(wb, 1, 1), "1   P1     12000    0.8     NEG");
}

TEST(StripReportHandlerTest, UnitAndFormatCarryOverAndResetRestartsStrips) {
  StripReportHandler h;
  const Workbook& wb = h.GetWorkbook();
  h.FeedLine("1) First");
  h.FeedLine("Strip: 1");
  EXPECT_EQ(Show(wb, 3, 6), "[]");
  h.FeedLine("W   ID        ABS    S/CO    Interp");
  EXPECT_EQ(Show(wb, 3, 6), "[]");  // headings already written keep their unit
  h.FeedLine("Strip Format: 8 Wells");
  h.Reset();
  EXPECT_EQ(Widths(wb), "3:768 1:6656");
  EXPECT_EQ(h.StripCount(), 0);
  EXPECT_EQ(h.CurrentStrip(), "");
  EXPECT_TRUE(h.LetteredWells());
  EXPECT_FALSE(h.FeedLine("stray"));
  h.FeedLine("2) Second");
  h.FeedLine("Strip: 1");  // the same label as before the reset starts a strip again
  EXPECT_EQ(Show(wb, 1, 4), "Strip 1");
  EXPECT_EQ(Show(wb, 3, 6), "[S/CO]");
  EXPECT_EQ(Show(wb, 11, 3), "H");
  EXPECT_EQ(Show(wb, 12, 3), "<none>");
}

TEST(StripReportHandlerTest, WellsThatNameNoRowAndFarStrips) {
  StripReportHandler h;
  const Workbook& wb = h.GetWorkbook();
  h.FeedLine("1) Run");
  h.FeedLine("Strip: 1");
  h.FeedLine("0   P00     0.052    0.10    NEG");
  h.FeedLine("-5  P05     0.052    0.10    NEG");
  h.FeedLine("13  P13     0.052");  // past the last well: the row below the strip
  EXPECT_EQ(Show(wb, 3, 4), "[ID]");
  EXPECT_EQ(Show(wb, 2, 1), "0   P00     0.052    0.10    NEG");
  EXPECT_EQ(Show(wb, 3, 1), "-5  P05     0.052    0.10    NEG");
  EXPECT_EQ(Show(wb, 16, 4), "P13");

  // Titles count on through the code table in 8 bits.
  for (int n = 2; n <= 27; ++n) h.FeedLine("Strip: " + std::to_string(n));
  EXPECT_EQ(Show(wb, 16 * 8 + 1, 16), "Strip [");
  for (int n = 28; n <= 192; ++n) h.FeedLine("Strip: " + std::to_string(n));
  EXPECT_EQ(Show(wb, 16 * 63 + 1, 16), "Strip ");  // code 256 wraps to NUL: no character

  // The last band that fits begins in row 16371; strip 3073 would begin
  // past row 16383, so its line and rows stay in column 1.
  for (int n = 193; n <= 3072; ++n) h.FeedLine("Strip: " + std::to_string(n));
  EXPECT_EQ(Show(wb, 16371 + 12, 15), "12");
  h.FeedLine("Strip: 3073");
  h.FeedLine("1   P01     0.052    0.10    NEG");
  h.FeedLine("Carrier Position: 9");
  EXPECT_EQ(Show(wb, 4, 1), "Strip: 3073");
  EXPECT_EQ(Show(wb, 5, 1), "1   P01     0.052    0.10    NEG");
  EXPECT_EQ(Show(wb, 6, 1), "Carrier Position: 9");
  EXPECT_EQ(wb.RefusedCells(), 0u);
}

}  // namespace
