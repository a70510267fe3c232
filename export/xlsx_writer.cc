#include "export/xlsx_writer.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "export/workbook.h"
#include "export/zip_writer.h"

// The package is the smallest one Excel opens without repairing it: the
// content types, the package relationship to the workbook, the workbook with
// one sheet and its relationships to that sheet and to the styles, the
// styles, and the sheet. Element order follows the schema's sequences,
// which Excel enforces and other readers do not.

namespace {

// Windows-1252 at 0x80-0x9F; the five unassigned bytes keep their C1 code points.
const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

/// Stores `text` at `at`; returns the next position.
template <size_t N>
char* Store(char* at, const char (&text)[N]) {
  std::memcpy(at, text, N - 1);
  return at + N - 1;
}

char* Store(char* at, std::string_view text) {
  std::memcpy(at, text.data(), text.size());
  return at + text.size();
}

char* StoreNumber(char* at, uint32_t value) { return std::to_chars(at, at + 10, value).ptr; }

/// A text that reads back as the same double, as short as its plain
/// decimal form allows. Report numbers are integers or have a few
/// decimals; for those the decimal m / 10^k with the fewest decimals k is
/// found directly: m and 10^k are exact doubles, so the quotient m / 10^k is
/// the correctly rounded value of the decimal, which is exactly what a
/// reader makes of its text. Other numbers take std::to_chars' shortest
/// form, which is slower.
char* StoreNumber(char* at, double value) {
  static constexpr double kPowers[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6};
  const double magnitude = std::fabs(value);
  if (magnitude < 1e15 && value == std::trunc(value) && !(value == 0 && std::signbit(value)))
    return std::to_chars(at, at + 24, static_cast<int64_t>(value)).ptr;
  if (magnitude >= 1e-3 && magnitude < 1e9) {
    for (int k = 1; k < 7; ++k) {
      const double product = magnitude * kPowers[k];  // below 1e15: an int64_t holds it
      // Truncating product + 0.5 rounds to the nearest integer, except for
      // a fraction of about one half, where no decimal of k places fits anyway.
      const double scaled = static_cast<double>(static_cast<int64_t>(product + 0.5));
      // If the decimal fits, the product differs from the integer by two
      // roundings at most, well within 2^-50 of it; only then is the exact
      // (and slow) division asked.
      if (std::fabs(product - scaled) > product * 0x1p-50 || scaled / kPowers[k] != magnitude) continue;
      char digits[24];
      char* end = std::to_chars(digits, digits + sizeof digits, static_cast<uint64_t>(scaled)).ptr;
      int n = static_cast<int>(end - digits);
      if (value < 0) *at++ = '-';
      if (n > k) {
        at = Store(at, std::string_view(digits, n - k));
      } else {
        *at++ = '0';
      }
      *at++ = '.';
      for (int zeros = k - n; zeros > 0; --zeros) *at++ = '0';
      return Store(at, std::string_view(end - std::min(n, k), std::min(n, k)));
    }
  }
  return std::to_chars(at, at + 32, value).ptr;
}

/// Columns A to IV, as in "A1"-style references.
char* StoreColumn(char* at, uint32_t column) {
  if (column >= 26) *at++ = static_cast<char>('A' + column / 26 - 1);
  *at++ = static_cast<char>('A' + column % 26);
  return at;
}

/// Stores the character as UTF-8 (at most 3 bytes); returns the next position.
char* StoreUtf8(char* at, unsigned char c) {
  char32_t u = c < 0x80 || c >= 0xA0 ? c : kCp1252High[c - 0x80];
  if (u < 0x80) {
    *at++ = static_cast<char>(u);
  } else if (u < 0x800) {
    *at++ = static_cast<char>(0xC0 | (u >> 6));
    *at++ = static_cast<char>(0x80 | (u & 0x3F));
  } else {
    *at++ = static_cast<char>(0xE0 | (u >> 12));
    *at++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    *at++ = static_cast<char>(0x80 | (u & 0x3F));
  }
  return at;
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

/// True when `text` at `at` reads as an Office escape "_xHHHH_" (either case of hex digits).
bool LooksLikeEscape(std::string_view text, size_t at) {
  if (at + 7 > text.size() || text[at + 1] != 'x' || text[at + 6] != '_') return false;
  return IsHexDigit(text[at + 2]) && IsHexDigit(text[at + 3]) && IsHexDigit(text[at + 4]) && IsHexDigit(text[at + 5]);
}

/// Bytes that AppendXmlText copies as they are.
constexpr std::array<bool, 256> PlainBytes() {
  std::array<bool, 256> plain{};
  for (int c = 0x20; c < 0x80; ++c) plain[c] = true;
  plain['\t'] = plain['\n'] = true;
  for (char c : {'&', '<', '>', '"', '_'}) plain[static_cast<unsigned char>(c)] = false;
  return plain;
}
constexpr std::array<bool, 256> kPlain = PlainBytes();

/// AppendXmlText into memory at `at`, which has room for 7 bytes per byte
/// of `text`; returns the next position.
char* StoreXmlText(char* at, std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (kPlain[c]) {
      *at++ = static_cast<char>(c);
      continue;
    }
    switch (c) {
      case '&': at = Store(at, "&amp;"); break;
      case '<': at = Store(at, "&lt;"); break;
      case '>': at = Store(at, "&gt;"); break;
      case '"': at = Store(at, "&quot;"); break;
      case '_': at = LooksLikeEscape(text, i) ? Store(at, "_x005F_") : Store(at, "_"); break;
      default:
        if (c < 0x20) {
          static const char kHex[] = "0123456789ABCDEF";
          at = Store(at, "_x00");
          *at++ = kHex[c >> 4];
          *at++ = kHex[c & 0xF];
          *at++ = '_';
        } else {
          at = StoreUtf8(at, c);
        }
    }
  }
  return at;
}

template <typename Number>
void AppendNumber(std::string& out, Number value) {
  char buf[32];
  out.append(buf, StoreNumber(buf, value));
}

// One cell format per font and alignment: font * kAlignments + alignment.
constexpr int kAlignments = 5;
const char* const kHorizontal[kAlignments] = {nullptr, "left", "center", "right", "fill"};

int StyleIndex(const Cell& cell) {
  // Codes 5 to 7 mean nothing in BIFF2; they read as general there too.
  int align = cell.Alignment() < kAlignments ? cell.Alignment() : kAlignGeneral;
  return cell.FontIndex() * kAlignments + align;
}

/// Excel takes font sizes from 1 to 409 points.
double FontPoints(const FontRecord& font) {
  return std::clamp((font.height & 0xFFFF) / 20.0, 1.0, 409.0);
}

constexpr std::string_view kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

constexpr std::string_view kContentTypes =
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/xl/workbook.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
    "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
    "<Override PartName=\"/xl/styles.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>"
    "</Types>";

constexpr std::string_view kPackageRelationships =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
    "Target=\"xl/workbook.xml\"/>"
    "</Relationships>";

// A BIFF2 stream has no sheet name; readers of the .xls call it Sheet1.
constexpr std::string_view kWorkbook =
    "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
    "<bookViews><workbookView/></bookViews>"
    "<sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets>"
    "</workbook>";

constexpr std::string_view kWorkbookRelationships =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet\" "
    "Target=\"worksheets/sheet1.xml\"/>"
    "<Relationship Id=\"rId2\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
    "Target=\"styles.xml\"/>"
    "</Relationships>";

/// The fonts the cells can refer to, the two fills Excel insists on, one
/// empty border, and a cell format for every font and alignment.
std::string Styles(const Workbook& workbook) {
  const std::vector<FontRecord>& fonts = workbook.Fonts();
  // Font 0 is also the Normal style's font; a workbook without fonts
  // gets the one the reports use.
  const FontRecord fallback("Arial", 10, 0);
  const size_t fontCount = std::max<size_t>(1, std::min(fonts.size(), Workbook::kAddressableFonts));
  std::string out(kXmlDeclaration);
  out += "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><fonts count=\"";
  AppendNumber(out, static_cast<uint32_t>(fontCount));
  out += "\">";
  for (size_t i = 0; i < fontCount; ++i) {
    const FontRecord& font = i < fonts.size() ? fonts[i] : fallback;
    out += "<font>";
    if (font.flags & 1) out += "<b/>";
    if (font.flags & 2) out += "<i/>";
    if (font.flags & 8) out += "<strike/>";
    if (font.flags & 4) out += "<u/>";
    out += "<sz val=\"";
    AppendNumber(out, FontPoints(font));
    out += "\"/><name val=\"";
    AppendXmlText(out, font.name);
    out += "\"/></font>";
  }
  out +=
      "</fonts>"
      "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
      "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
      "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
      "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
      "<cellXfs count=\"";
  AppendNumber(out, static_cast<uint32_t>(Workbook::kAddressableFonts * kAlignments));
  out += "\">";
  for (size_t font = 0; font < Workbook::kAddressableFonts; ++font) {
    for (int align = 0; align < kAlignments; ++align) {
      // A cell may name a font the workbook does not have; it gets font 0.
      out += "<xf numFmtId=\"0\" fontId=\"";
      AppendNumber(out, static_cast<uint32_t>(font < fontCount ? font : 0));
      out += "\" fillId=\"0\" borderId=\"0\" xfId=\"0\"";
      if (font > 0) out += " applyFont=\"1\"";
      if (!kHorizontal[align]) {
        out += "/>";
        continue;
      }
      out += " applyAlignment=\"1\"><alignment horizontal=\"";
      out += kHorizontal[align];
      out += "\"/></xf>";
    }
  }
  out +=
      "</cellXfs>"
      "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
      "</styleSheet>";
  return out;
}

/// Where the worksheet's text goes, in blocks: the zip member itself, or a
/// piece of it compressed apart.
class SheetOutput {
 public:
  virtual ~SheetOutput() = default;
  virtual bool Take(std::string_view bytes, std::string* err) = 0;
};

/// The zip member (ZipWriter) or the piece (DeflatedPiece) the text is appended to.
template <typename Target>
class AppendingOutput : public SheetOutput {
 public:
  explicit AppendingOutput(Target& target) : target_(target) {}
  bool Take(std::string_view bytes, std::string* err) override { return target_.Append(bytes, err); }

 private:
  Target& target_;
};

/// Streams the worksheet part, or a run of its rows, into an output in
/// blocks of 64 KiB, through one buffer allocated once.
class SheetWriter {
 public:
  SheetWriter(SheetOutput& out, std::string* err)
      : out_(out), err_(err), buffer_(new char[kBlock]), at_(buffer_.get()), end_(buffer_.get() + kBlock) {}

  /// Everything before the first row.
  void Head(const Workbook& workbook) {
    Put(kXmlDeclaration);
    Put("<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">");
    Dimension(workbook);
    // Arial 10, the reports' font, gives rows of 12.75 points.
    Put("<sheetViews><sheetView workbookViewId=\"0\"/></sheetViews><sheetFormatPr defaultRowHeight=\"12.75\"/>");
    Columns(workbook);
    Put("<sheetData>");
  }

  /// The rows from `first` up to, not including, `last`, each whole.
  void Rows(const Workbook& workbook, uint32_t first, uint32_t last) {
    bool inRow = false;
    uint32_t currentRow = 0;
    workbook.ForEachCellInRows(first, last, [&](uint32_t row, uint32_t column, const Cell& cell) {
      Reserve(kMaxCell);
      if (!inRow || row != currentRow) {
        if (inRow) at_ = Store(at_, "</row>");
        at_ = Store(at_, "<row r=\"");
        rowEnd_ = std::to_chars(rowDigits_, rowDigits_ + sizeof rowDigits_, row + 1).ptr;
        at_ = Store(at_, std::string_view(rowDigits_, rowEnd_ - rowDigits_));
        at_ = Store(at_, "\">");
        inRow = true;
        currentRow = row;
      }
      at_ = StoreCell(at_, column, cell);
    });
    if (inRow) Put("</row>");
  }

  /// Everything after the last row.
  void Tail() { Put("</sheetData></worksheet>"); }

  /// Hands on what the buffer holds; true when every block so far reached the output.
  bool Flush() {
    std::string_view bytes(buffer_.get(), at_ - buffer_.get());
    if (ok_ && !bytes.empty()) ok_ = out_.Take(bytes, err_);
    at_ = buffer_.get();
    return ok_;
  }

 private:
  static constexpr size_t kBlock = 1 << 16;
  // The most one cell takes: markup, reference and style, and a text of
  // 255 bytes each of which may become a 7-byte escape.
  static constexpr size_t kMaxCell = 128 + 7 * kBiffMaxText;

  /// Room for `n` bytes (at most kBlock) at at_.
  void Reserve(size_t n) {
    if (static_cast<size_t>(end_ - at_) < n) Flush();
  }
  void Put(std::string_view text) {
    Reserve(text.size());
    at_ = Store(at_, text);
  }

  /// The used range; "A1" for a sheet without cells.
  void Dimension(const Workbook& workbook) {
    bool any = false;
    uint32_t top = 0, bottom = 0, left = 0, right = 0;
    workbook.ForEachCell([&](uint32_t row, uint32_t column, const Cell&) {
      if (!any) {
        top = row;
        left = right = column;
        any = true;
      }
      bottom = row;  // rows come in ascending order
      left = std::min(left, column);
      right = std::max(right, column);
    });
    Reserve(64);
    at_ = Store(at_, "<dimension ref=\"");
    at_ = StoreNumber(StoreColumn(at_, left), top + 1);
    if (bottom != top || right != left) {
      *at_++ = ':';
      at_ = StoreNumber(StoreColumn(at_, right), bottom + 1);
    }
    at_ = Store(at_, "\"/>");
  }

  /// One <col> per column with a width, the last width given for a column
  /// winning as it does in the .xls; none at all when no width was given.
  ///
  /// Both formats count widths in characters of the default font's widest
  /// digit, and both include the cell padding (5 pixels, a fraction of a
  /// character) in the stored value: a BIFF width is the <col> width
  /// times 256. An Excel column 8.43 characters wide in its user
  /// interface (64 pixels at 7 pixels a digit, Arial 10) is stored as
  /// 2340 in the .xls and as 9.140625 in the .xlsx, whose pixel formula
  /// Truncate(((256 * width + Truncate(128 / 7)) / 256) * 7) gives 64
  /// again. So the width is written as BIFF / 256, exactly (a binary
  /// fraction that to_chars prints in full); only widths beyond the 255
  /// characters Excel accepts are cut to 255.
  void Columns(const Workbook& workbook) {
    std::array<int32_t, Workbook::kMaxColumns> widths;
    widths.fill(-1);
    for (const ColumnWidthRecord& w : workbook.ColumnWidths()) {
      if (w.column >= 0 && static_cast<uint32_t>(w.column) < Workbook::kMaxColumns) widths[w.column] = w.width & 0xFFFF;
    }
    bool any = false;
    for (uint32_t column = 0; column < Workbook::kMaxColumns; ++column) {
      if (widths[column] < 0) continue;
      if (!any) Put("<cols>");
      any = true;
      Reserve(128);
      at_ = StoreNumber(Store(at_, "<col min=\""), column + 1);
      at_ = StoreNumber(Store(at_, "\" max=\""), column + 1);
      at_ = std::to_chars(Store(at_, "\" width=\""), at_ + 64, std::min(widths[column] / 256.0, 255.0)).ptr;
      at_ = Store(at_, "\" customWidth=\"1\"/>");
    }
    if (any) Put("</cols>");
  }

  char* StoreCell(char* at, uint32_t column, const Cell& cell) const {
    at = StoreColumn(Store(at, "<c r=\""), column);
    at = Store(at, std::string_view(rowDigits_, rowEnd_ - rowDigits_));
    *at++ = '"';
    int style = StyleIndex(cell);
    if (style != 0) {
      at = StoreNumber(Store(at, " s=\""), static_cast<uint32_t>(style));
      *at++ = '"';
    }
    if (cell.kind == CellKind::Number) {
      // A sheet cell cannot hold an infinity or a NaN; Excel shows the
      // overflow of a calculation as this error.
      if (!std::isfinite(cell.number)) return Store(at, " t=\"e\"><v>#NUM!</v></c>");
      return Store(StoreNumber(Store(at, "><v>"), cell.number), "</v></c>");
    }
    std::string_view text = cell.text.view().substr(0, kBiffMaxText);
    // Without xml:space the reader may drop blanks at either end.
    bool preserve = !text.empty() && (IsBlank(text.front()) || IsBlank(text.back()));
    at = preserve ? Store(at, " t=\"inlineStr\"><is><t xml:space=\"preserve\">") : Store(at, " t=\"inlineStr\"><is><t>");
    return Store(StoreXmlText(at, text), "</t></is></c>");
  }

  static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

  SheetOutput& out_;
  std::string* err_;
  std::unique_ptr<char[]> buffer_;  // uninitialised: only what is written is touched
  char* at_;
  char* end_;
  bool ok_ = true;
  char rowDigits_[12];      // the number of the row being written, as text
  char* rowEnd_ = rowDigits_;
};

bool WritePart(ZipWriter& zip, std::string_view name, std::string_view body, bool declaration, std::string* err) {
  return zip.Begin(name, err) && (!declaration || zip.Append(kXmlDeclaration, err)) && zip.Append(body, err) &&
         zip.End(err);
}

/// Row numbers that cut the sheet into `pieces` runs of whole rows holding
/// about equal numbers of cells: ascending, from 0 to one past the last row.
std::vector<uint32_t> RowCuts(const Workbook& workbook, size_t pieces) {
  std::vector<uint32_t> cuts{0};
  const size_t total = workbook.CellCount();
  size_t counted = 0;
  workbook.ForEachRow([&](uint32_t row, size_t cells) {
    if (cuts.size() < pieces && counted >= total * cuts.size() / pieces && row > cuts.back()) cuts.push_back(row);
    counted += cells;
  });
  cuts.push_back(UINT32_MAX);
  return cuts;
}

/// The sheet's rows, deflated in pieces side by side, into the member `zip` has begun.
bool WriteRowsInPieces(const Workbook& workbook, ZipWriter& zip, size_t pieces, std::string* err) {
  std::vector<uint32_t> cuts = RowCuts(workbook, pieces);
  const size_t n = cuts.size() - 1;
  std::vector<std::unique_ptr<DeflatedPiece>> deflated;
  std::vector<std::string> errors(n);
  std::vector<char> ok(n, 0);
  for (size_t i = 0; i < n; ++i) deflated.push_back(std::make_unique<DeflatedPiece>(kXlsxDeflateLevel));
  auto run = [&](size_t i) {
    AppendingOutput<DeflatedPiece> out(*deflated[i]);
    SheetWriter writer(out, &errors[i]);
    writer.Rows(workbook, cuts[i], cuts[i + 1]);
    ok[i] = writer.Flush() && deflated[i]->Close(&errors[i]);
  };
  // The pieces go to whichever thread is free next, one thread per core:
  // a core taken by another program then holds up one piece, not a share.
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t i = next++; i < n; i = next++) run(i);
  };
  const size_t cores = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::thread> threads;
  for (size_t t = 1; t < std::min(n, cores); ++t) {
    try {
      threads.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // no thread to be had: the calling thread does the rest
    }
  }
  work();
  for (std::thread& t : threads) t.join();
  for (size_t i = 0; i < n; ++i) {
    if (!ok[i]) {
      *err = errors[i];
      return false;
    }
    if (!zip.AppendPiece(*deflated[i], err)) return false;
  }
  return true;
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out(3 * text.size(), '\0');
  char* at = out.data();
  for (unsigned char c : text) at = StoreUtf8(at, c);
  out.resize(at - out.data());
  return out;
}

void AppendXmlText(std::string& out, std::string_view text) {
  size_t start = out.size();
  out.resize(start + 7 * text.size());
  out.resize(StoreXmlText(out.data() + start, text) - out.data());
}

size_t XlsxSheetPieces(size_t cells) { return std::min<size_t>(kXlsxMaxPieces, 1 + cells / kXlsxCellsPerPiece); }

bool WriteXlsx(const Workbook& workbook, ByteSink& sink, std::string* err, size_t pieces) {
  ZipWriter zip(sink, kXlsxDeflateLevel);
  if (!WritePart(zip, "[Content_Types].xml", kContentTypes, true, err) ||
      !WritePart(zip, "_rels/.rels", kPackageRelationships, true, err) ||
      !WritePart(zip, "xl/workbook.xml", kWorkbook, true, err) ||
      !WritePart(zip, "xl/_rels/workbook.xml.rels", kWorkbookRelationships, true, err) ||
      !WritePart(zip, "xl/styles.xml", Styles(workbook), false, err))
    return false;
  if (!zip.Begin("xl/worksheets/sheet1.xml", err)) return false;
  if (pieces == 0) pieces = XlsxSheetPieces(workbook.CellCount());
  AppendingOutput<ZipWriter> out(zip);
  SheetWriter sheet(out, err);
  sheet.Head(workbook);
  if (pieces <= 1) {
    sheet.Rows(workbook, 0, UINT32_MAX);
  } else if (!sheet.Flush() || !WriteRowsInPieces(workbook, zip, pieces, err)) {
    return false;
  }
  sheet.Tail();
  return sheet.Flush() && zip.End(err) && zip.Finish(err);
}
