// Cutting lines out of one large burst must cost the same per byte whatever
// the burst's size: prints the per-byte cost of a 16 MB burst relative to a
// 1 MB burst measured in the same run (1.0 = linear).

#include <cstdio>
#include <string>

#include "app/receive_path.h"
#include "bench/ratio_reporter.h"

namespace {

struct NullSinks : LineLog, LineConsumer, LineList {
  void WriteLine(std::string_view) override {}
  void FeedLine(const std::string&) override {}
  void AddLine(const std::string& line) override { benchmark::DoNotOptimize(line.data()); }
};

std::string Burst(size_t bytes) {
  const std::string line = "01-03  0.123  0.456  0.789  1.012  1.345  1.678  2.001  2.334\r\n";
  std::string out;
  while (out.size() + line.size() <= bytes) out += line;
  out.resize(bytes, 'x');
  return out;
}

void BM_SplitBurst(benchmark::State& state) {
  const std::string burst = Burst(static_cast<size_t>(state.range(0)));
  NullSinks sinks;
  for (auto _ : state) {
    ReceivePath path(sinks, &sinks, sinks);
    path.Append(burst.data(), burst.size());
    path.ExtractLines();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_SplitBurst)->Arg(1 << 20)->Arg(16 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  double small = reporter.Seconds("BM_SplitBurst/1048576") / (1 << 20);
  double large = reporter.Seconds("BM_SplitBurst/16777216") / (16 << 20);
  if (small > 0 && large > 0) {
    std::printf("per-byte cost, 16 MB burst / 1 MB burst: %.3f (1.0 = linear; target <= 1.2)\n",
                large / small);
  }
  benchmark::Shutdown();
  return 0;
}
