#include <gtest/gtest.h>

#include "export/csv_writer.h"
#include "export/workbook.h"
#include "tests/export/export_test_support.h"
#include "tests/export/golden_workbooks.h"

namespace {

std::string Csv(const Workbook& wb) {
  StringSink sink;
  std::string err;
  if (!WriteCsv(wb, sink, &err)) return "<failed: " + err + ">";
  return sink.bytes;
}

TEST(Csv, QuotedAndRectangular) {
  Workbook wb;
  EXPECT_EQ(Csv(wb), "");
  wb.CellAt(2, 9);  // reached, never set: does not widen the table
  wb.CellAt(1, 2).SetText("a,b");
  wb.CellAt(1, 0).SetNumber(1.5);
  wb.CellAt(3, 1).SetText("say \"hi\"");
  wb.CellAt(3, 3).SetText("x\ry");
  wb.CellAt(4, 0).SetText("line\nbreak");
  wb.CellAt(4, 1).SetNumber(-1e-7);
  wb.CellAt(4, 2).SetNumber(0.1);
  wb.CellAt(4, 3).SetText("");
  EXPECT_EQ(Csv(wb),
            ",,,\r\n"
            "1.5,,\"a,b\",\r\n"
            ",,,\r\n"
            ",\"say \"\"hi\"\"\",,\"x\ry\"\r\n"
            "\"line\nbreak\",-1e-07,0.1,\r\n");

  Workbook one;
  one.CellAt(0, 0).SetText(LongText(300));
  EXPECT_EQ(Csv(one), LongText(255) + "\r\n");
}

TEST(Csv, FailedWritesAreReported) {
  Workbook wb;
  for (uint32_t r = 0; r < 16000; ++r) wb.CellAt(r, 3).SetNumber(r * 0.5);
  std::string whole = Csv(wb);
  for (size_t limit : {size_t{0}, whole.size() / 2, whole.size() - 1}) {
    FailingSink sink(limit);
    std::string err;
    EXPECT_FALSE(WriteCsv(wb, sink, &err)) << limit;
    EXPECT_EQ(sink.failures, 1);
  }
}

}  // namespace
