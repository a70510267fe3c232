#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

/// Console reporter that also keeps each run's time per iteration, so a
/// benchmark main can print ratios between runs of the same process.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.iterations > 0) seconds[run.benchmark_name()] = run.real_accumulated_time / static_cast<double>(run.iterations);
    }
    ConsoleReporter::ReportRuns(runs);
  }
  /// Seconds per iteration of the named run, 0 when it did not run.
  double Seconds(const std::string& name) const {
    auto it = seconds.find(name);
    return it == seconds.end() ? 0.0 : it->second;
  }
  std::map<std::string, double> seconds;
};
