#include "report/line_classifier.h"

#include <gtest/gtest.h>

namespace {

TEST(LineClassifierTest, ReportStartEndOfTestAndEndOfRun) {
  ReportLineClassifier c;
  for (const char* s : {"1) Endpoint", "12) Title", ")", "123) x", "1)(", "ab) c (d)"}) {
    EXPECT_TRUE(c.IsReportStart(s)) << s;
  }
  for (const char* s : {"(1) Endpoint", "1234) x", "Title (x)", "", "(", "a(b) c", "abcd)"}) {
    EXPECT_FALSE(c.IsReportStart(s)) << s;
  }
  for (const char* s : {"End of Test", "  ** Test Ended **", "xFinal de Pruebax", "Prueba Finalizo"}) {
    EXPECT_TRUE(c.IsEndOfTest(s)) << s;
  }
  for (const char* s : {"end of test", "End of  Test", "Test ended", "End of Run"}) {
    EXPECT_FALSE(c.IsEndOfTest(s)) << s;
  }
  EXPECT_TRUE(c.IsEndOfRun("-- End of Run --"));
  EXPECT_TRUE(c.IsEndOfRun("Final de Ejecucion"));
  EXPECT_FALSE(c.IsEndOfRun("End of Test"));
}

TEST(LineClassifierTest, PlateHeaderAndRows) {
  PlateLineClassifier c;
  EXPECT_TRUE(c.IsPlateHeader("       H      G      F      E      D      C      B      A"));
  EXPECT_FALSE(c.IsPlateHeader("H     G      F      E      D      C      B      A"));
  const std::string row = "01-01  0.045  0.051  0.048  0.050  0.047  0.052  0.049  0.046";
  EXPECT_TRUE(c.IsPlateRow(row));
  EXPECT_FALSE(c.IsPlateRow("01-01  0.045  0.051  0.048  0.050  0.047  0.052  0.049"));  // 7 values
  EXPECT_FALSE(c.IsPlateRow("1-01   0.045  0.051  0.048  0.050  0.047  0.052  0.049  0.046"));
  EXPECT_FALSE(c.IsPlateRow("01-01 0.1 0.1 0.1 0.1 0.1 0.1 0.1 0.1"));  // shorter than 50
  // Tokens are counted from index 6: a value glued to the row number is lost.
  EXPECT_FALSE(c.IsPlateRow("01-01 0.0450.051  0.048  0.050  0.047  0.052  0.049  0.046xx"));
}

TEST(LineClassifierTest, SampleLinesAndTheirPrecedenceInputs) {
  SampleLineClassifier c;
  EXPECT_TRUE(c.IsTableHeader("S#      ABS     ng/mL   Fit"));
  EXPECT_FALSE(c.IsTableHeader("S#     ABS     ng/mL   Fit"));
  EXPECT_EQ(c.UnitOfTableHeader("S#      ABS     ng/mL   Fit"), "ng/mL");
  EXPECT_EQ(c.UnitOfTableHeader("S#      ABS     ng/mL"), "");

  EXPECT_TRUE(c.IsBlankLine("B      0.000"));
  EXPECT_FALSE(c.IsBlankLine("B      -----"));
  EXPECT_FALSE(c.IsBlankLine("B      0.1   2"));
  EXPECT_FALSE(c.IsBlankLine("b      0.1"));

  EXPECT_TRUE(c.IsStandardLine("S1   0.105   1.00"));
  EXPECT_TRUE(c.IsStandardLine("xSx   0.105   0"));
  EXPECT_FALSE(c.IsStandardLine("S1   0.105   1.00   OK"));  // four tokens
  EXPECT_FALSE(c.IsStandardLine("S1   0.105   **"));

  EXPECT_TRUE(c.IsSampleLine("12   0.312   7.45   POS"));
  EXPECT_TRUE(c.IsSampleLine("0    0.312   7.45"));
  EXPECT_FALSE(c.IsSampleLine("S1   0.312   7.45"));
  EXPECT_FALSE(c.IsSampleLine("12   0.312"));
  EXPECT_TRUE(c.IsControlLine("PC   0.512   5.13   OK"));
  EXPECT_TRUE(c.IsControlLine("SC1  0.512   5.13   OK"));  // a standard name with four tokens
  EXPECT_FALSE(c.IsControlLine("PC   0.512   HIGH"));
}

TEST(LineClassifierTest, StripLinesAndFormat) {
  StripLineClassifier c;
  EXPECT_TRUE(c.IsUnitHeader("W   ID        ABS    S/CO    Interp"));
  EXPECT_EQ(c.UnitOfUnitHeader("W   ID        ABS    S/CO    Interp"), "S/CO");
  EXPECT_EQ(c.UnitOfUnitHeader("W   ID        ABS    S/CO"), "");
  EXPECT_TRUE(c.IsCarrierLine("Portador de Posicion: 3"));
  EXPECT_TRUE(c.IsStripLine("Tira: 2"));
  EXPECT_FALSE(c.IsStripLine("Strip Format: 12 Wells"));
  EXPECT_EQ(c.StripLabelOf("Strip:  A1 Strip: 2"), "  A1 Strip: 2");
  EXPECT_EQ(c.StripLabelOf("Tira: 7"), " 7");
  EXPECT_EQ(c.StripLabelOf("nothing"), "");

  EXPECT_FALSE(c.LetteredWells());
  EXPECT_FALSE(c.IsStripFormatLine("Format: 8 Wells"));
  EXPECT_TRUE(c.IsStripFormatLine("Strip Format: 8 Wells"));
  EXPECT_TRUE(c.LetteredWells());
  EXPECT_TRUE(c.IsStripFormatLine("Franja de Formato: 112 pocillos"));  // "12" inside a number
  EXPECT_FALSE(c.LetteredWells());
  EXPECT_FALSE(c.IsCarrierLine("Strip Format: 8 Wells"));
  EXPECT_FALSE(c.LetteredWells());  // only a format line changes the format
}

TEST(LineClassifierTest, StripRowsByFormat) {
  StripLineClassifier c;
  EXPECT_TRUE(c.IsStripRow("1   P01     0.052    0.10    NEG"));
  EXPECT_FALSE(c.IsStripRow("A   P01     0.052    0.10    NEG"));
  EXPECT_TRUE(c.IsStripRow("3            0.061"));    // identifier blank: six spaces
  EXPECT_FALSE(c.IsStripRow("3     0.061"));          // two tokens, no gap
  EXPECT_FALSE(c.IsStripRow("3   P03     **"));
  EXPECT_FALSE(c.IsStripRow("3"));
  c.IsStripFormatLine("Strip Format: 8 Wells");
  EXPECT_TRUE(c.IsStripRow("A   P01     0.052    0.10    NEG"));
  EXPECT_FALSE(c.IsStripRow("1   P01     0.052    0.10    NEG"));
  EXPECT_FALSE(c.IsStripRow("A1  P01     0.052"));
  EXPECT_TRUE(c.IsStripRow("h            0.061"));
}

}  // namespace
