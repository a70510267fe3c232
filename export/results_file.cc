#include "export/results_file.h"

#include <cstdio>
#include <cstdlib>

#include "export/csv_writer.h"

const char kResultsHeader[] =
    "report,model,test,printed_date,exported_at,plate,strip,position,sample_id,kind,measure,value,"
    "result,result_unit,interpretation,flag\r\n";

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
