#include "report/line_classifier.h"

#include "report/c_number.h"
#include "report/token_list.h"

namespace {

bool Contains(const std::string& line, const char* text) {
  return line.find(text) != std::string::npos;
}

// isalpha of the "C" locale, without consulting the process locale.
bool IsCAlpha(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The word that follows the first `label` in `line`, or the empty text.
std::string WordAfter(const std::string& line, const char* label) {
  size_t at = line.find(label);
  if (at == std::string::npos) return std::string();
  at += std::string(label).size();
  while (at < line.size() && line[at] == ' ') ++at;
  size_t end = line.find(' ', at);
  return line.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

}  // namespace

bool ReportLineClassifier::IsReportStart(const std::string& line) const {
  size_t close = line.find(')');
  if (close == std::string::npos || close > 3) return false;
  size_t open = line.find('(');
  return open == std::string::npos || open > close;
}

bool ReportLineClassifier::IsEndOfTest(const std::string& line) const {
  return Contains(line, "Test Ended") || Contains(line, "End of Test") ||
         Contains(line, "Prueba Finalizo") || Contains(line, "Final de Prueba");
}

bool ReportLineClassifier::IsEndOfRun(const std::string& line) const {
  return Contains(line, "End of Run") || Contains(line, "Final de Ejecucion");
}

std::string ReportLineClassifier::TestTitleOf(const std::string& line) {
  size_t first = line.find(')');
  if (first == std::string::npos) return std::string();
  first = line.find_first_not_of(' ', first + 1);
  if (first == std::string::npos) return std::string();
  return line.substr(first, line.find_last_not_of(' ') + 1 - first);
}

std::string ReportLineClassifier::PrintedDateOf(const std::string& line) {
  // English reports print "Date: 03/05/2024   Time: 10:42:17", Spanish
  // ones "Fecha: 05/03/2024   Hora: 10:42:17"; the reader's own order of
  // day and month is kept, as nothing in the report tells which it is.
  const bool english = line.rfind("Date:", 0) == 0;
  if (!english && line.rfind("Fecha:", 0) != 0) return std::string();
  std::string date = WordAfter(line, english ? "Date:" : "Fecha:");
  std::string time = WordAfter(line, english ? "Time:" : "Hora:");
  if (date.empty() || time.empty()) return date + time;
  return date + " " + time;
}

bool PlateLineClassifier::IsPlateRow(const std::string& line) const {
  if (line.find('-') != 2 || line.size() < 50) return false;
  TokenList tokens;
  tokens.Split(line.substr(6), " ");
  return tokens.Count() >= 8;
}

bool PlateLineClassifier::IsPlateHeader(const std::string& line) const {
  return Contains(line, "H      G      F      E      D      C      B      A");
}

bool SampleLineClassifier::IsTableHeader(const std::string& line) const {
  return Contains(line, "S#      ABS");
}

std::string SampleLineClassifier::UnitOfTableHeader(const std::string& line) const {
  const TokenList& tokens = TokensOf(line);
  return tokens.Count() >= 4 ? tokens.At(2) : std::string();
}

bool SampleLineClassifier::IsBlankLine(const std::string& line) const {
  const TokenList& tokens = TokensOf(line);
  return tokens.Count() == 2 && tokens.At(0) == "B" && IsNumberLike(tokens.At(1));
}

bool SampleLineClassifier::IsStandardLine(const std::string& line) const {
  const TokenList& tokens = TokensOf(line);
  return tokens.Count() == 3 && Contains(tokens.At(0), "S") && IsNumberLike(tokens.At(1)) &&
         IsNumberLike(tokens.At(2));
}

bool SampleLineClassifier::IsSampleLine(const std::string& line) const {
  const TokenList& tokens = TokensOf(line);
  return tokens.Count() >= 3 && IsIntegerLike(tokens.At(0)) && IsNumberLike(tokens.At(1)) &&
         IsNumberLike(tokens.At(2));
}

bool SampleLineClassifier::IsControlLine(const std::string& line) const {
  const TokenList& tokens = TokensOf(line);
  return tokens.Count() >= 3 && Contains(tokens.At(0), "C") && IsNumberLike(tokens.At(1)) &&
         IsNumberLike(tokens.At(2));
}

bool StripLineClassifier::IsStripRow(const std::string& line) const {
  const TokenList& tokens = TokensOf(line);
  if (tokens.Count() < 2) return false;
  const std::string& well = tokens.At(0);
  std::string value;
  if (tokens.Count() == 2) {
    // Only a blank identifier column leaves a row of two tokens; the gap it
    // leaves tells such a row from other two-word lines.
    if (!Contains(line, "      ")) return false;
    value = tokens.At(1);
  } else {
    value = tokens.At(2);
  }
  if (letteredWells_) {
    for (char c : well) {
      if (!IsCAlpha(c) && !IsCSpace(c)) return false;
    }
  } else if (!IsIntegerLike(well)) {
    return false;
  }
  return IsNumberLike(value);
}

std::string StripLineClassifier::StripLabelOf(const std::string& line) const {
  size_t at = line.find("Strip:");
  if (at != std::string::npos) return line.substr(at + 6);
  at = line.find("Tira:");
  if (at != std::string::npos) return line.substr(at + 5);
  return std::string();
}

bool StripLineClassifier::IsStripLine(const std::string& line) const {
  return Contains(line, "Strip:") || Contains(line, "Tira:");
}

bool StripLineClassifier::IsCarrierLine(const std::string& line) const {
  return Contains(line, "Carrier Position:") || Contains(line, "Portador de Posicion:");
}

bool StripLineClassifier::IsStripFormatLine(const std::string& line) {
  if (!Contains(line, "Strip Format:") && !Contains(line, "Franja de Formato:")) return false;
  letteredWells_ = !Contains(line, "12");
  return true;
}

bool StripLineClassifier::IsUnitHeader(const std::string& line) const {
  return Contains(line, "W   ID");
}

std::string StripLineClassifier::UnitOfUnitHeader(const std::string& line) const {
  const TokenList& tokens = TokensOf(line);
  return tokens.Count() >= 5 ? tokens.At(3) : std::string();
}
