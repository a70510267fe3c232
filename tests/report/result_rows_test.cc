// What each model's handler keeps for the results file while it lays the
// report out: title, printed date and one row per measured item, texts as
// printed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/report_handler.h"

namespace {

// plate|strip|position|sample_id|kind|measure|value|result|unit|interpretation|flag
std::vector<std::string> Rows(const ReportResults& results) {
  std::vector<std::string> rows;
  for (const ResultRow& r : results.rows) {
    rows.push_back(r.plate + "|" + r.strip + "|" + r.position + "|" + r.sampleId + "|" + r.kind + "|" + r.measure +
                   "|" + r.value + "|" + r.result + "|" + r.resultUnit + "|" + r.interpretation + "|" + r.flag);
  }
  return rows;
}

TEST(ResultRows, EachModelKeepsWhatItPrintedInPrintedOrder) {
  const struct {
    InstrumentModel model;
    std::vector<std::string> lines;
    const char* test;
    const char* date;
    std::vector<std::string> rows;
  } cases[] = {
      {InstrumentModel::M6120,
       {"1) Endpoint  HBsAg  ELISA ", "Date: 03/05/2024   Time: 10:42:17", "Date: 09/09/2099   Time: 00:00:00",
        "Plate 1", "       H      G      F      E      D      C      B      A",
        "01-01  0.049  1.761  0.065  0.032  0.044  0.080  0.068  -0.002",
        "00-02  2.761  1.776  0.064  2.081  0.036  1.639  1.543  0.052",   // names no plate
        "02-12  0.071  0.055  0.105  OVER   2.895  0.301  1.926  **    "},
       "Endpoint  HBsAg  ELISA",
       "03/05/2024 10:42:17",
       {"1||H01||sample|ABS|0.049||||", "1||G01||sample|ABS|1.761||||", "1||F01||sample|ABS|0.065||||",
        "1||E01||sample|ABS|0.032||||", "1||D01||sample|ABS|0.044||||", "1||C01||sample|ABS|0.080||||",
        "1||B01||sample|ABS|0.068||||", "1||A01||sample|ABS|-0.002||||", "2||H12||sample|ABS|0.071||||",
        "2||G12||sample|ABS|0.055||||", "2||F12||sample|ABS|0.105||||", "2||E12||sample|ABS|OVER||||",
        "2||D12||sample|ABS|2.895||||", "2||C12||sample|ABS|0.301||||", "2||B12||sample|ABS|1.926||||",
        "2||A12||sample|ABS|||||no_result"}},
      {InstrumentModel::M6310,
       {"1) Cuantitativo  TSH", "Fecha: 05/03/2024   Hora: 11:05:40", "S#      ABS     mUI/L    Fit",
        "B       0.048", "S2      0.095      0.50", "S#      ABS     uIU/mL    Interp", "1       1.950     21.11   HIGH",
        "C1      0.512      5.13   NOT DETECTED", "2       0.098      0.53", "Curve Fit: Point to Point"},
       "Cuantitativo  TSH",
       "05/03/2024 11:05:40",
       {"||B||blank|ABS|0.048||||", "||S2||calibrator|ABS|0.095|0.50|mUI/L||", "||1||sample|ABS|1.950|21.11|uIU/mL|HIGH|",
        "||C1||control|ABS|0.512|5.13|uIU/mL|NOT DETECTED|", "||2||sample|ABS|0.098|0.53|uIU/mL||"}},
      {InstrumentModel::M6350,
       {"1) Qualitative  Anti-HAV IgM", "Date: 03/05/2024", "Strip Format: 12 Wells",
        "W   ID        ABS    S/CO    Interp", "Strip:   1", "Carrier Position: 1",
        "1   NC         1.605      4.59    POS", "3              0.053", "4   P0104     1.995    **        ",
        "Strip: 2", "12  P0212      0.700    2.00    WEAK POS"},
       "Qualitative  Anti-HAV IgM",
       "03/05/2024",
       {"|1|1|NC|control|ABS|1.605|4.59|S/CO|POS|", "|1|3||sample|ABS|0.053||||",
        "|1|4|P0104|sample|ABS|1.995||||no_result", "|2|12|P0212|sample|ABS|0.700|2.00|S/CO|WEAK POS|"}},
      {InstrumentModel::M6480,
       {"2) Quimioluminiscencia", "Franja de Formato: 8 pocillos", "Tira: A", "B   PC       800      0.08    NEG"},
       "Quimioluminiscencia",
       "",
       {"|A|B|PC|control|RLU|800|0.08||NEG|"}},
  };
  for (const auto& c : cases) {
    std::unique_ptr<ReportHandler> h = MakeReportHandler(c.model);
    for (const std::string& line : c.lines) h->FeedLine(line);
    const ReportResults& got = h->Results();
    const std::string model = std::to_string(static_cast<int>(c.model));
    EXPECT_EQ(got.test, c.test) << model;
    EXPECT_EQ(got.printedDate, c.date) << model;
    EXPECT_EQ(Rows(got), c.rows) << model;
    // The next report starts with nothing of this one.
    h->FeedLine("3) Next");
    EXPECT_EQ(h->Results().test, "Next") << model;
    EXPECT_TRUE(h->Results().rows.empty() && h->Results().printedDate.empty()) << model;
    h->FeedLine("Date: 01/01/2025   Time: 00:00:01");
    h->Reset();
    EXPECT_TRUE(h->Results().test.empty() && h->Results().printedDate.empty()) << model;
  }
}

}  // namespace
