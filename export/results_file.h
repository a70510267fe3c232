#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "export/byte_sink.h"
#include "export/iso_time.h"

/// One measured well, sample, calibrator or control of a report, its texts
/// as the reader printed them (numbers never reformatted).
struct ResultRow {
  std::string plate;           // the plate number, for plate reports
  std::string strip;           // the strip label, for strip reports
  std::string position;        // well "A01".."H12", printed well, or sample number
  std::string sampleId;        // printed identifier, empty when none
  std::string kind;            // "sample", "calibrator", "control" or "blank"
  std::string measure;         // "ABS", "RLU", ... as the report names it
  std::string value;           // the reading
  std::string result;          // concentration or ratio
  std::string resultUnit;      // "uIU/mL", "S/CO", ... as printed
  std::string interpretation;  // "POS", "HIGH", ... as printed
  std::string flag;            // "no_result" where the reader printed "**"
};

/// What one report printed that a laboratory system takes in: its title,
/// its own date and its results in the order it printed them.
struct ReportResults {
  std::string test;         // the test title of the report's heading
  std::string printedDate;  // date and time as printed ("03/05/2024 10:42:17"), or empty
  std::vector<ResultRow> rows;
};

/// The header line of every results file, CR LF included.
extern const char kResultsHeader[];

/// Writes the results file of the report `report` of `model`, exported at
/// `exportedAt`: kResultsHeader, then one RFC 4180 line per row, CR LF
/// after each. False and `err` filled when the sink fails.
bool WriteResults(const ReportResults& results, const std::string& report, const std::string& model,
                  const std::string& exportedAt, ByteSink& sink, std::string* err);
