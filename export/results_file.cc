#include "export/results_file.h"

#include <cstdio>
#include <cstdlib>

#include "export/csv_writer.h"

const char kResultsHeader[] =
    "report,model,test,printed_date,exported_at,plate,strip,position,sample_id,kind,measure,value,"
    "result,result_unit,interpretation,flag\r\n";

namespace {

// Seconds from 1970-01-01 00:00 to the date and time the fields of `t`
// name, read as if they were UTC (days from the civil date, proleptic
// Gregorian calendar).
long long FieldSeconds(const std::tm& t) {
  long long y = t.tm_year + 1900LL;
  const int m = t.tm_mon + 1;
  if (m <= 2) --y;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + t.tm_mday - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const long long days = era * 146097 + doe - 719468;
  return ((days * 24 + t.tm_hour) * 60 + t.tm_min) * 60 + t.tm_sec;
}

}  // namespace

std::string IsoLocalTime(const std::tm& local) {
  // The local fields less the moment mktime finds for them is the zone's
  // offset at that moment, summer time included. Neither tm_gmtoff (POSIX
  // only) nor the Windows zone calls are needed: both C libraries count
  // time_t from 1970 in UTC.
  std::tm copy = local;
  const std::time_t moment = std::mktime(&copy);
  long long offset = moment == static_cast<std::time_t>(-1) ? 0 : FieldSeconds(copy) - moment;
  const char sign = offset < 0 ? '-' : '+';
  // No zone lies a day away from UTC; a wilder answer is kept in two digits.
  const int minutes = static_cast<int>(std::llabs(offset) / 60 % (100 * 60));
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", copy.tm_year + 1900, copy.tm_mon + 1,
                copy.tm_mday, copy.tm_hour, copy.tm_min, copy.tm_sec, sign, minutes / 60, minutes % 60);
  return text;
}

bool WriteResults(const ReportResults& results, const std::string& report, const std::string& model,
                  const std::string& exportedAt, ByteSink& sink, std::string* err) {
  std::string out = kResultsHeader;
  for (const ResultRow& row : results.rows) {
    const std::string* fields[] = {&report,        &model,          &results.test,  &results.printedDate,
                                   &exportedAt,    &row.plate,      &row.strip,     &row.position,
                                   &row.sampleId,  &row.kind,       &row.measure,   &row.value,
                                   &row.result,    &row.resultUnit, &row.interpretation, &row.flag};
    bool first = true;
    for (const std::string* field : fields) {
      if (!first) out += ',';
      first = false;
      AppendCsvField(out, *field);
    }
    out += "\r\n";
  }
  return sink.Write(out.data(), out.size(), err);
}
