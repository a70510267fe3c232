// Stand-in until the report handlers exist: stores the lines and forgets
// them at the end of a report.
#include "report/report_collector.h"

ReportCollector::ReportCollector(Clock& clock, NoticeSink& notices)
    : clock_(clock), notices_(notices) {}

ReportCollector::~ReportCollector() = default;

void ReportCollector::RebuildHandler() {}

void ReportCollector::FeedLine(const std::string& line) {
  idle_ = false;
  lines_.push_back(line);
}

bool ReportCollector::FinishReport() {
  lines_.clear();
  idle_ = true;
  return true;
}
