// Report recognition under load, with the traffic log and both exports on.
//   BM_SplitOnly            baseline: the same bytes cut into lines, nothing else
//   BM_ReplayTranscripts    ~100 MB of transcripts of all models through the
//                           capture session; MB/s, lines/s and the ratio of its
//                           time to the baseline's
//   BM_RecognitionOnly      the same lines straight into each model's handler
//                           (classifying and laying out, no files): the share
//                           of the replay that is report recognition
//   BM_FinishLatency        end line handed to the collector until the .txt and
//                           .xls of a 4-plate report are closed; p50 and p99
//                           over 1,000 reports
//   BM_PlainWriteLatency    baseline for it: the same two files' bytes written
//                           with fopen/fwrite/fclose

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "app/capture_session.h"
#include "app/export_settings.h"
#include "platform/clock.h"
#include "platform/notice.h"
#include "platform/platform.h"
#include "app/settings.h"
#include "bench/ratio_reporter.h"
#include "report/report_collector.h"
#include "report/report_handler.h"

namespace {

using Steady = std::chrono::steady_clock;

struct NullList : LineList {
  void AddLine(const std::string& line) override { benchmark::DoNotOptimize(line.data()); }
};

struct NullSinks : LineLog, LineConsumer, LineList {
  void WriteLine(std::string_view) override {}
  void FeedLine(const std::string& line) override { benchmark::DoNotOptimize(line.data()); }
  void AddLine(const std::string& line) override { benchmark::DoNotOptimize(line.data()); }
};

// A report per tick, so names never collide and no numbered name is searched.
class TickingClock : public Clock {
 public:
  std::tm LocalNow() override {
    std::tm t = MakeLocalTime(2026, 1, 1, 0, 0, 0);
    t.tm_sec += static_cast<int>(ticks_++ % 100000000);
    std::mktime(&t);
    return t;
  }

 private:
  long ticks_ = 0;
};

std::string ReadAll(const std::string& path) {
  std::string data;
  ReadWholeFile(path, &data, nullptr);  // a missing file reads as empty
  return data;
}

struct ModelStream {
  std::string model;
  std::string bytes;
};

constexpr size_t kTotalBytes = 100u << 20;

/// The sample transcripts of each model, repeated to a quarter of ~100 MB each.
const std::vector<ModelStream>& Streams() {
  static std::vector<ModelStream> streams = [] {
    std::vector<ModelStream> out;
    for (const char* model : {"6120", "6310", "6350", "6480"}) {
      std::string one;
      for (const auto& e : std::filesystem::directory_iterator(HARROW_SOURCE_DIR "/samples")) {
        std::string name = e.path().filename().string();
        if (name.rfind(std::string(model) + "-", 0) == 0) one += ReadAll(e.path().string());
      }
      ModelStream s{model, {}};
      while (!one.empty() && s.bytes.size() < kTotalBytes / 4) s.bytes += one;
      out.push_back(std::move(s));
    }
    return out;
  }();
  return streams;
}

size_t TotalBytes() {
  size_t n = 0;
  for (const ModelStream& s : Streams()) n += s.bytes.size();
  return n;
}

size_t TotalLines() {
  size_t n = 0;
  for (const ModelStream& s : Streams()) n += std::count(s.bytes.begin(), s.bytes.end(), '\r');
  return n;
}

std::string ScratchRoot() {
  return (std::filesystem::temp_directory_path() / "harrow-report-bench").string();
}

void BM_SplitOnly(benchmark::State& state) {
  NullSinks sinks;
  for (auto _ : state) {
    for (const ModelStream& s : Streams()) {
      ReceivePath path(sinks, &sinks, sinks);
      for (size_t at = 0; at < s.bytes.size(); at += ReceivePath::kChunkSize) {
        path.Append(s.bytes.data() + at, std::min<size_t>(ReceivePath::kChunkSize, s.bytes.size() - at));
        path.ExtractLines();
      }
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TotalBytes()));
}
BENCHMARK(BM_SplitOnly)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ReplayTranscripts(benchmark::State& state) {
  NullList list;
  StderrNoticeSink notices("report_bench");
  for (auto _ : state) {
    for (const ModelStream& s : Streams()) {
      state.PauseTiming();
      std::string root = ScratchRoot() + "/" + s.model;
      std::filesystem::remove_all(root);
      std::filesystem::create_directories(root);
      OverrideSetting("DevType", s.model);
      OverrideSetting(s.model + "_Root", root);
      TickingClock clock;
      state.ResumeTiming();
      CaptureSession session(clock, notices, list);
      session.ApplySettings();
      session.FeedBytes(s.bytes.data(), s.bytes.size());
      session.FlushPendingReport();
    }
  }
  std::filesystem::remove_all(ScratchRoot());
  const double n = static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TotalBytes()));
  state.counters["lines_per_s"] = benchmark::Counter(n * static_cast<double>(TotalLines()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReplayTranscripts)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

void BM_RecognitionOnly(benchmark::State& state) {
  std::vector<std::pair<std::string, std::vector<std::string>>> lines;
  for (const ModelStream& s : Streams()) {
    std::vector<std::string> l;
    size_t at = 0;
    while (at < s.bytes.size()) {
      size_t cr = s.bytes.find('\r', at);
      if (cr == std::string::npos) break;
      size_t b = at;
      while (b < cr && s.bytes[b] == '\n') ++b;
      l.emplace_back(s.bytes, b, cr - b);
      at = cr + 1;
    }
    lines.emplace_back(s.model, std::move(l));
  }
  for (auto _ : state) {
    for (const auto& [model, l] : lines) {
      OverrideSetting("DevType", model);
      std::unique_ptr<ReportHandler> handler = MakeReportHandler(ReadModel());
      for (const std::string& line : l) {
        if (handler->IsEndOfReport(line)) {
          handler->Reset();
        } else {
          handler->FeedLine(line);
        }
      }
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * TotalBytes()));
  state.counters["lines_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * static_cast<double>(TotalLines()),
                         benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RecognitionOnly)->Unit(benchmark::kMillisecond)->Iterations(2);

// A 6120 report of four plates, as the instrument prints it.
std::vector<std::string> FourPlateReport() {
  std::vector<std::string> lines = {"1) Endpoint  HBsAg  ELISA", "Date: 03/05/2024   Time: 10:42:17",
                                    "Operator: LAB-2", ""};
  for (int p = 1; p <= 4; ++p) {
    lines.push_back("Plate " + std::to_string(p));
    lines.push_back("       H      G      F      E      D      C      B      A");
    for (int r = 1; r <= 12; ++r) {
      char buf[128];
      std::snprintf(buf, sizeof buf, "%02d-%02d  %5.3f  %5.3f  %5.3f  %5.3f  %5.3f  %5.3f  %5.3f  %5.3f", p, r,
                    0.1 * r, 0.2 * p, 1.234, 0.045, 2.5, 0.9, 0.07 * r, 3.1);
      lines.push_back(buf);
    }
  }
  return lines;
}

constexpr int kReports = 1000;

struct Percentiles {
  double p50, p99;
};

Percentiles Of(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 99 / 100)]};
}

Percentiles g_plain{0, 0};

/// The .txt and .xls bytes of one exported 4-plate report.
std::pair<std::string, std::string> ExportedFourPlateFiles() {
  std::string root = ScratchRoot() + "/one";
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root);
  OverrideSetting("DevType", "6120");
  OverrideSetting("6120_Root", root);
  FixedClock clock(MakeLocalTime(2026, 1, 1, 0, 0, 0));
  StderrNoticeSink notices("report_bench");
  ReportCollector collector(clock, notices, ReadExportTarget);
  collector.RebuildHandler(ReadModel());
  for (const std::string& line : FourPlateReport()) collector.FeedLine(line);
  collector.FeedLine("Test Ended");
  auto files = std::pair{ReadAll(root + "/Text/26_01_01_00_00_00.txt"), ReadAll(root + "/Excel/26_01_01_00_00_00.xls")};
  std::filesystem::remove_all(root);
  return files;
}

void BM_PlainWriteLatency(benchmark::State& state) {
  std::string root = ScratchRoot() + "/plain";
  auto [txt, xls] = ExportedFourPlateFiles();
  if (txt.empty() || xls.empty()) state.SkipWithError("no export to copy");
  std::filesystem::create_directories(root);
  std::vector<double> micros;
  for (auto _ : state) {
    micros.clear();
    for (int i = 0; i < kReports; ++i) {
      std::string base = root + "/" + std::to_string(i);
      auto start = Steady::now();
      for (const auto& [ext, bytes] : {std::pair{".txt", &txt}, std::pair{".xls", &xls}}) {
        FILE* f = std::fopen((base + ext).c_str(), "wb");
        std::fwrite(bytes->data(), 1, bytes->size(), f);
        std::fclose(f);
      }
      micros.push_back(std::chrono::duration<double, std::micro>(Steady::now() - start).count());
    }
  }
  std::filesystem::remove_all(root);
  g_plain = Of(micros);
  state.counters["p50_us"] = g_plain.p50;
  state.counters["p99_us"] = g_plain.p99;
}
BENCHMARK(BM_PlainWriteLatency)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

void BM_FinishLatency(benchmark::State& state) {
  std::string root = ScratchRoot() + "/latency";
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root);
  OverrideSetting("DevType", "6120");
  OverrideSetting("6120_Root", root);
  const std::vector<std::string> report = FourPlateReport();
  TickingClock clock;
  StderrNoticeSink notices("report_bench");
  ReportCollector collector(clock, notices, ReadExportTarget);
  collector.RebuildHandler(ReadModel());
  std::vector<double> micros;
  for (auto _ : state) {
    micros.clear();
    for (int i = 0; i < kReports; ++i) {
      for (const std::string& line : report) collector.FeedLine(line);
      auto start = Steady::now();
      collector.FeedLine("Test Ended");
      micros.push_back(std::chrono::duration<double, std::micro>(Steady::now() - start).count());
    }
  }
  std::filesystem::remove_all(root);
  Percentiles p = Of(micros);
  state.counters["p50_us"] = p.p50;
  state.counters["p99_us"] = p.p99;
  if (g_plain.p50 > 0) {
    state.counters["p50_vs_plain_write"] = p.p50 / g_plain.p50;
    state.counters["p99_vs_plain_write"] = p.p99 / g_plain.p99;
  }
}
BENCHMARK(BM_FinishLatency)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  double base = reporter.Seconds("BM_SplitOnly/iterations:3");
  double full = reporter.Seconds("BM_ReplayTranscripts/iterations:1/real_time");
  if (base > 0 && full > 0) {
    std::printf("replay of %.1f MB (%zu lines): %.1f MB/s, %.0f lines/s; %.1f times the time of cutting lines alone\n",
                TotalBytes() / 1e6, TotalLines(), TotalBytes() / 1e6 / full, TotalLines() / full, full / base);
  }
  benchmark::Shutdown();
  return 0;
}
