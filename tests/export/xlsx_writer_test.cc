#include "export/xlsx_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <random>

#include "export/workbook.h"
#include "tests/export/export_test_support.h"
#include "tests/export/golden_workbooks.h"
#include "tests/export/zip_check.h"

namespace {

/// The parts of the workbook's .xlsx by name, after the archive and every
/// part passed the independent checks.
std::map<std::string, std::string> Parts(const Workbook& wb, std::vector<std::string>* order = nullptr) {
  StringSink sink;
  std::string err;
  EXPECT_TRUE(WriteXlsx(wb, sink, &err)) << err;
  std::vector<ZipMember> members;
  EXPECT_EQ(ReadZip(sink.bytes, &members), "");
  std::map<std::string, std::string> parts;
  for (const ZipMember& m : members) {
    EXPECT_EQ(XmlProblem(m.data), "") << m.name;
    parts[m.name] = m.data;
    if (order) order->push_back(m.name);
  }
  return parts;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

/// The value of attribute `name` of the first element `tag` in `xml`.
std::string Attribute(const std::string& xml, const std::string& tag, const std::string& name) {
  size_t at = xml.find("<" + tag + " ");
  if (at == std::string::npos) return "<no " + tag + ">";
  size_t value = xml.find(" " + name + "=\"", at);
  if (value == std::string::npos || value > xml.find('>', at)) return "<no " + name + ">";
  value += name.size() + 3;
  return xml.substr(value, xml.find('"', value) - value);
}

TEST(Xlsx, HoldsThePartsExcelNeedsInTheOrderItWants) {
  Workbook wb;
  BuildWorkedExample(wb);
  std::vector<std::string> order;
  auto parts = Parts(wb, &order);
  EXPECT_EQ(order, (std::vector<std::string>{"[Content_Types].xml", "_rels/.rels", "xl/workbook.xml",
                                             "xl/_rels/workbook.xml.rels", "xl/styles.xml", "xl/worksheets/sheet1.xml"}));
  const std::string& sheet = parts["xl/worksheets/sheet1.xml"];
  size_t last = 0;
  for (const char* element : {"<dimension ", "<sheetViews>", "<sheetFormatPr ", "<cols>", "<sheetData>"}) {
    size_t at = sheet.find(element);
    ASSERT_NE(at, std::string::npos) << element;
    EXPECT_GT(at, last) << element;
    last = at;
  }
  const std::string& styles = parts["xl/styles.xml"];
  EXPECT_EQ(Attribute(styles, "fonts", "count"), std::to_string(Count(styles, "<font>")));
  EXPECT_EQ(Attribute(styles, "fonts", "count"), "4");
  EXPECT_EQ(Attribute(styles, "cellXfs", "count"), std::to_string(Count(styles, "<xf ") - 1));  // one is the style's
  EXPECT_NE(styles.find("<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
                        "<fill><patternFill patternType=\"gray125\"/></fill></fills>"),
            std::string::npos);
  // The content types name every part but the relationships.
  for (const char* part : {"/xl/workbook.xml", "/xl/styles.xml", "/xl/worksheets/sheet1.xml"})
    EXPECT_NE(parts["[Content_Types].xml"].find(std::string("PartName=\"") + part + "\""), std::string::npos);

  // No widths, no <cols>; no cells, the range of one cell.
  Workbook empty;
  std::string bare = Parts(empty)["xl/worksheets/sheet1.xml"];
  EXPECT_EQ(bare.find("<cols"), std::string::npos);
  EXPECT_EQ(Attribute(bare, "dimension", "ref"), "A1");
  EXPECT_EQ(Attribute(Parts(empty)["xl/styles.xml"], "fonts", "count"), "1");
}

TEST(Xlsx, CellsGoInRowMajorOrderWithTheirReferencesAndStyles) {
  Workbook wb;
  AddReportFonts(wb);
  wb.CellAt(16383, 255).SetNumber(1);
  wb.CellAt(1, 27).SetText("b");
  Cell& styled = wb.CellAt(1, 1);
  styled.SetText("a");
  styled.SetFontIndex(3);
  styled.SetAlignment(kAlignRight);
  wb.CellAt(5, 0);  // reached, never set: not written
  wb.AddColumnWidth(1, 26.0f);
  wb.AddColumnWidth(4, 3.0f);
  wb.AddColumnWidth(1, 60.0f);  // the later width wins, as in the .xls
  std::string sheet = Parts(wb)["xl/worksheets/sheet1.xml"];
  EXPECT_EQ(Attribute(sheet, "dimension", "ref"), "B2:IV16384");
  EXPECT_NE(sheet.find("<cols><col min=\"2\" max=\"2\" width=\"60\" customWidth=\"1\"/>"
                       "<col min=\"5\" max=\"5\" width=\"3\" customWidth=\"1\"/></cols>"),
            std::string::npos)
      << sheet;
  EXPECT_NE(sheet.find("<sheetData><row r=\"2\"><c r=\"B2\" s=\"18\" t=\"inlineStr\"><is><t>a</t></is></c>"
                       "<c r=\"AB2\" t=\"inlineStr\"><is><t>b</t></is></c></row>"
                       "<row r=\"16384\"><c r=\"IV16384\"><v>1</v></c></row></sheetData>"),
            std::string::npos)
      << sheet;
  // Style 18 is font 3, right-aligned.
  std::string styles = Parts(wb)["xl/styles.xml"];
  size_t xf = styles.find("<cellXfs");
  for (int i = 0; i <= 18; ++i) xf = styles.find("<xf ", xf + 1);
  EXPECT_EQ(styles.substr(xf, styles.find("</xf>", xf) - xf),
            "<xf numFmtId=\"0\" fontId=\"3\" fillId=\"0\" borderId=\"0\" xfId=\"0\" applyFont=\"1\" "
            "applyAlignment=\"1\"><alignment horizontal=\"right\"/>");
  EXPECT_NE(styles.find("<font><strike/><sz val=\"10\"/><name val=\"Arial\"/></font>"), std::string::npos);
}

TEST(Xlsx, ColumnWidthsAreTheBiffWidthsOver256) {
  // 2340 is how Excel stores its default 8.43-character column in an .xls.
  Workbook wb;
  wb.AddColumnWidth(0, 2340 / 256.0f);
  wb.AddColumnWidth(1, 0.0f);
  wb.AddColumnWidth(2, 1000.0f);  // past Excel's 255 characters
  std::string sheet = Parts(wb)["xl/worksheets/sheet1.xml"];
  EXPECT_NE(sheet.find("<col min=\"1\" max=\"1\" width=\"9.140625\""), std::string::npos) << sheet;
  EXPECT_NE(sheet.find("<col min=\"2\" max=\"2\" width=\"0\""), std::string::npos) << sheet;
  EXPECT_NE(sheet.find("<col min=\"3\" max=\"3\" width=\"255\""), std::string::npos) << sheet;
}

TEST(Xlsx, TextsAreEscapedSoTheyReadBackUnchanged) {
  const std::pair<std::string, std::string> cases[] = {
      {"a&b<c>\"d'", "a&amp;b&lt;c&gt;&quot;d'"},
      {std::string("\x01\x1F\x7F\t\n", 5), "_x0001__x001F_\x7F\t\n"},
      {"cr\r", "cr_x000D_"},  // a raw CR would come back as LF
      {"_x0041_ and _X0041_", "_x005F_x0041_ and _X0041_"},
      {"_xBEEF_ _xbeef_ _xBEE_ _x12G4_ _", "_x005F_xBEEF_ _x005F_xbeef_ _xBEE_ _x12G4_ _"},
      {"\x80\x81\x9F\xA0\xE9\xFF", "\xE2\x82\xAC\xC2\x81\xC5\xB8\xC2\xA0\xC3\xA9\xC3\xBF"},
  };
  for (const auto& [in, want] : cases) {
    std::string out = "<";
    AppendXmlText(out, in);
    EXPECT_EQ(out, "<" + want) << in;
  }
  // A NUL ends a cell's text before it gets here; every other byte goes into a well-formed part.
  Workbook wb;
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  wb.CellAt(0, 0).SetText(all);
  wb.CellAt(1, 0).SetText(" padded ");
  wb.CellAt(2, 0).SetText(LongText(300));
  wb.AddFont("A&B \x01", 10, 0);
  auto parts = Parts(wb);
  const std::string& sheet = parts["xl/worksheets/sheet1.xml"];
  EXPECT_NE(sheet.find("<t xml:space=\"preserve\"> padded </t>"), std::string::npos);
  EXPECT_NE(sheet.find("<t>" + LongText(255) + "</t>"), std::string::npos);  // cut as in the .xls
  EXPECT_NE(parts["xl/styles.xml"].find("<name val=\"A&amp;B _x0001_\"/>"), std::string::npos);
}

TEST(Xlsx, NumbersReadBackAsTheSameDouble) {
  std::vector<double> values = {0.0, -0.0, 1.0, -1.0, 0.1, 0.007, 3.007, 123456789.123, -3.5e-5, 1e15, 1e300,
                                5e-324, 2.2250738585072014e-308, 0.30000000000000004, 1e-3, 999999999.999999};
  std::mt19937_64 rng(11);
  while (values.size() < 3000) {
    uint64_t bits = rng();
    double v;
    std::memcpy(&v, &bits, sizeof v);
    if (std::isfinite(v)) values.push_back(v);
    values.push_back(std::round(static_cast<double>(rng() % 2000000) - 1000000) / std::pow(10.0, rng() % 8));
  }
  Workbook wb;
  for (size_t i = 0; i < values.size(); ++i) wb.CellAt(static_cast<uint32_t>(i / 16), i % 16).SetNumber(values[i]);
  wb.CellAt(4000, 0).SetNumber(std::nan(""));
  wb.CellAt(4000, 1).SetNumber(-HUGE_VAL);
  std::string sheet = Parts(wb)["xl/worksheets/sheet1.xml"];
  size_t at = 0;
  for (double want : values) {
    at = sheet.find("<v>", at);
    ASSERT_NE(at, std::string::npos);
    at += 3;
    std::string text = sheet.substr(at, sheet.find('<', at) - at);
    double got = std::strtod(text.c_str(), nullptr);
    EXPECT_EQ(std::memcmp(&got, &want, sizeof got), 0) << text << " for " << want;
    if (want == std::trunc(want) && std::fabs(want) < 1e15) {
      EXPECT_EQ(text.find_first_of(".e"), std::string::npos) << text;
    }
  }
  // A cell cannot hold NaN or infinity; they become Excel's number error.
  EXPECT_NE(sheet.find("<c r=\"A4001\" t=\"e\"><v>#NUM!</v></c><c r=\"B4001\" t=\"e\"><v>#NUM!</v></c>"),
            std::string::npos);
}

TEST(Xlsx, FailedWritesAreReported) {
  Workbook wb;
  for (uint32_t r = 0; r < 16000; ++r) wb.CellAt(r, 3).SetText("row " + std::to_string(r * 7919));
  StringSink whole;
  std::string err;
  ASSERT_TRUE(WriteXlsx(wb, whole, &err));
  for (size_t limit : {size_t{0}, size_t{100}, whole.bytes.size() / 2, whole.bytes.size() - 1}) {
    FailingSink sink(limit);
    EXPECT_FALSE(WriteXlsx(wb, sink, &err)) << limit;
    EXPECT_EQ(err, "No space left on device");
    EXPECT_EQ(sink.failures, 1);
  }
}

// A large sheet is laid out and deflated in pieces side by side; the
// archive must read back exactly as the sheet written in one piece, with
// rows never cut between pieces, whatever the number of pieces.
TEST(Xlsx, SheetsWrittenInPiecesReadBackAsTheWhole) {
  Workbook big;
  for (uint32_t r = 0; r < 14000; ++r) {
    for (uint32_t c = 0; c < 10; ++c) {
      if (c == 4)
        big.CellAt(r, c).SetText("Sample <" + std::to_string(r) + ">");
      else if (r % 97 != 3)  // rows of different lengths move the cuts
        big.CellAt(r, c).SetNumber(r * 0.25 + c);
    }
  }
  ASSERT_GT(XlsxSheetPieces(big.CellCount()), 2u);  // the default cuts it too
  EXPECT_EQ(XlsxSheetPieces(100), 1u);
  EXPECT_EQ(XlsxSheetPieces(4000000), kXlsxMaxPieces);

  Workbook small;
  small.CellAt(0, 0).SetText("one row");
  small.CellAt(2, 1).SetNumber(2);
  for (Workbook* wb : {&big, &small}) {
    auto sheetIn = [&](size_t pieces) {
      StringSink sink;
      std::string err;
      EXPECT_TRUE(WriteXlsx(*wb, sink, &err, pieces)) << err;
      std::vector<ZipMember> members;
      EXPECT_EQ(ReadZip(sink.bytes, &members), "") << pieces << " pieces";
      return members.empty() ? std::string() : members.back().data;
    };
    const std::string whole = sheetIn(1);
    ASSERT_EQ(XmlProblem(whole), "");
    for (size_t pieces : {size_t{0}, size_t{2}, size_t{4}, size_t{9}}) {
      std::string sheet = sheetIn(pieces);
      ASSERT_EQ(sheet.size(), whole.size()) << pieces << " pieces";
      auto diff = std::mismatch(sheet.begin(), sheet.end(), whole.begin());
      EXPECT_TRUE(diff.first == sheet.end())
          << pieces << " pieces: first difference at byte " << (diff.first - sheet.begin());
    }
  }

  // A sink that fails while the pieces are written fails the export.
  StringSink whole;
  std::string err;
  ASSERT_TRUE(WriteXlsx(big, whole, &err));
  for (size_t limit : {size_t{2000}, whole.bytes.size() / 2, whole.bytes.size() - 1}) {
    FailingSink sink(limit);
    EXPECT_FALSE(WriteXlsx(big, sink, &err)) << limit;
    EXPECT_EQ(err, "No space left on device");
  }
}

}  // namespace
