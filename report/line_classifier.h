#pragma once

#include <string>

#include "report/token_list.h"

// Small, independent tests that recognise the lines of an instrument report.
// All texts are compared case-sensitively as bytes; a rule about the position
// of a character means its first occurrence in the line.

/// The tests every model shares: report start, end of test, end of run.
class ReportLineClassifier {
 public:
  virtual ~ReportLineClassifier() = default;
  /// A numbered heading such as "1) ..." or "12) ...": the first ")" is at
  /// index 0 to 3 and no "(" comes before it.
  virtual bool IsReportStart(const std::string& line) const;
  /// Holds "Test Ended", "End of Test", "Prueba Finalizo" or "Final de Prueba".
  virtual bool IsEndOfTest(const std::string& line) const;
  /// Holds "End of Run" or "Final de Ejecucion".
  virtual bool IsEndOfRun(const std::string& line) const;
  /// The test title of a report start: the text after the first ")",
  /// outer blanks removed, inner ones kept as printed.
  static std::string TestTitleOf(const std::string& line);
  /// For a line that begins "Date:" or "Fecha:", the date printed after it
  /// and the time printed after "Time:" or "Hora:", joined by one blank;
  /// for any other line the empty text.
  static std::string PrintedDateOf(const std::string& line);
  /// The pieces of `line` between runs of spaces, valid until the next
  /// line is asked for.
  const TokenList& TokensOf(const std::string& line) const { return tokens_.Of(line); }

 private:
  mutable TokenCache tokens_;
};

/// Model 6120: plates of 8 x 12 wells.
class PlateLineClassifier : public ReportLineClassifier {
 public:
  /// "PP-RR" and a separator, then at least eight values; 50 bytes or more.
  virtual bool IsPlateRow(const std::string& line) const;
  /// The well-row letters H to A, six spaces apart.
  virtual bool IsPlateHeader(const std::string& line) const;
};

/// Model 6310: a calibration table and a sample table.
class SampleLineClassifier : public ReportLineClassifier {
 public:
  /// Holds "S#      ABS".
  virtual bool IsTableHeader(const std::string& line) const;
  /// Token 2 of a header of at least 4 tokens (the unit), else empty.
  std::string UnitOfTableHeader(const std::string& line) const;
  /// "B" and one value.
  bool IsBlankLine(const std::string& line) const;
  /// A name holding "S" and two values, nothing more.
  bool IsStandardLine(const std::string& line) const;
  /// A number and at least two values.
  bool IsSampleLine(const std::string& line) const;
  /// A name holding "C" and at least two values.
  bool IsControlLine(const std::string& line) const;
};

/// Models 6350 and 6480: strips of 12 numbered or 8 lettered wells. The
/// strip format announced by the instrument is remembered across reports.
class StripLineClassifier : public ReportLineClassifier {
 public:
  /// A well, an optional identifier and a reading, judged by the current
  /// strip format.
  virtual bool IsStripRow(const std::string& line) const;
  /// The text after the first "Strip:" (or "Tira:"), leading spaces kept.
  virtual std::string StripLabelOf(const std::string& line) const;
  /// Holds "Strip:" or "Tira:".
  virtual bool IsStripLine(const std::string& line) const;
  /// Holds "Carrier Position:" or "Portador de Posicion:".
  virtual bool IsCarrierLine(const std::string& line) const;
  /// Holds "Strip Format:" or "Franja de Formato:"; records the format:
  /// lettered wells unless the line holds "12".
  virtual bool IsStripFormatLine(const std::string& line);
  /// Holds "W   ID".
  virtual bool IsUnitHeader(const std::string& line) const;
  /// True when the strips have 8 wells lettered A to H.
  virtual bool LetteredWells() const { return letteredWells_; }
  /// Token 3 of a header of at least 5 tokens (the unit), else empty.
  std::string UnitOfUnitHeader(const std::string& line) const;

 private:
  bool letteredWells_ = false;
};
