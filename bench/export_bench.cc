// Writing a 100,000-cell worksheet, twice over:
//  - the writers alone, each into a new file in the page cache: the BIFF2
//    writer against one fwrite of the same number of bytes (the ceiling for
//    any writer of that file), the .xlsx writer against the BIFF2 writer;
//  - the exports as the application writes them: a temporary file, synced,
//    then given its final name, the .xlsx against the .xls.
// Every iteration writes a file that did not exist. Rewriting one file in
// place would be cheaper to set up but is not what an export does, and ext4
// starts writing back a file truncated and written again as soon as it is
// closed, which puts disk time into the iteration, more of it for the larger
// .xls. The benchmarks run in this order; the later ones report their
// speed as ratios to earlier ones measured in the same run:
//   BM_Biff2Write    counter fwrite_speed_fraction = fwrite time / BIFF2 time
//   BM_XlsxWrite     counter times_biff2           = .xlsx time / BIFF2 time
//   BM_XlsxExport    counter times_biff2_export    = .xlsx export / .xls export
// Each time is the median of the iterations: on a shared machine an
// iteration now and then loses its core, which says nothing about the writer.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "export/byte_sink.h"
#include "export/workbook.h"
#include "export/xlsx_writer.h"
#include "platform/atomic_file.h"
#include "platform/platform.h"

namespace {

constexpr uint32_t kRows = 1000;
constexpr uint32_t kColumns = 100;  // 100,000 cells

/// A workbook laid out like a long report: a text column, then numbers.
Workbook& BigWorkbook() {
  static Workbook* wb = [] {
    auto* w = new Workbook;
    for (int flags : {0, 1, 2, 8}) w->AddFont("Arial", 10, flags);
    w->AddColumnWidth(1, 26.0f);
    for (uint32_t r = 0; r < kRows; ++r) {
      for (uint32_t c = 0; c < kColumns; ++c) {
        Cell& cell = w->CellAt(r, c);
        if (c % 10 == 1)
          cell.SetText("Sample " + std::to_string(r * kColumns + c));
        else
          cell.SetNumber(r * 0.001 + c);
        cell.SetAlignment(3);
      }
    }
    return w;
  }();
  return *wb;
}

class StdioSink : public ByteSink {
 public:
  explicit StdioSink(FILE* file) : file_(file) {}
  bool Write(const void* data, size_t size, std::string* err) override {
    if (std::fwrite(data, 1, size, file_) == size) return true;
    *err = "write failed";
    return false;
  }

 private:
  FILE* file_;
};

std::string TempPath(const char* ext) {
  return "/tmp/harrow-export-bench-" + std::to_string(::getpid()) + ext;
}

double g_fwriteSeconds = 0;  // per iteration
double g_biffSeconds = 0;
double g_biffExportSeconds = 0;

size_t BiffSize() {
  static size_t size = [] {
    StringSink sink;
    std::string err;
    BigWorkbook().Write(sink, &err);
    return sink.bytes.size();
  }();
  return size;
}

/// Runs `prepare` untimed and then `body` timed, once per iteration, and
/// returns the median seconds of one body.
template <typename Prepare, typename Body>
double Timed(benchmark::State& state, Prepare prepare, Body body) {
  std::vector<double> seconds;
  for (auto _ : state) {
    state.PauseTiming();
    prepare();
    state.ResumeTiming();
    auto start = std::chrono::steady_clock::now();
    body();
    seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  if (seconds.empty()) return 0;
  std::nth_element(seconds.begin(), seconds.begin() + seconds.size() / 2, seconds.end());
  return seconds[seconds.size() / 2];
}

void BM_FwriteBaseline(benchmark::State& state) {
  std::string bytes(BiffSize(), 'x');
  std::string path = TempPath(".bin");
  g_fwriteSeconds = Timed(state, [&] { std::remove(path.c_str()); }, [&] {
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  });
  std::remove(path.c_str());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_FwriteBaseline)->Unit(benchmark::kMillisecond);

/// Times `write(sink, err)` into a new file at `path`, once per iteration;
/// false when any write failed.
template <typename Write>
bool TimedFileWrite(benchmark::State& state, const std::string& path, Write write, double* seconds) {
  bool ok = true;
  // The exports hand the sink blocks of 64 KiB; give the stdio stream the
  // same buffer so every writer pays for the same number of calls.
  std::vector<char> buffer(1 << 16);
  *seconds = Timed(state, [&] { std::remove(path.c_str()); }, [&] {
    FILE* f = std::fopen(path.c_str(), "wb");
    std::setvbuf(f, buffer.data(), _IOFBF, buffer.size());
    StdioSink sink(f);
    std::string err;
    ok &= write(sink, &err);
    ok &= std::fclose(f) == 0;
  });
  std::remove(path.c_str());
  return ok;
}

/// Times an export of `write` to a new file at `path` the way the reports
/// are exported (temporary file, sync, never-overwrite commit), once per
/// iteration; false when any export failed.
template <typename Write>
bool TimedExport(benchmark::State& state, const std::string& path, Write write, double* seconds) {
  bool ok = true;
  *seconds = Timed(state, [&] { std::remove(path.c_str()); }, [&] {
    AtomicFile file;
    std::string err;
    ok &= file.Open(path, &err);
    AtomicFileSink sink(file);
    ok &= write(sink, &err) && file.Commit(false, &err);
  });
  std::remove(path.c_str());
  return ok;
}

void BM_Biff2Write(benchmark::State& state) {
  Workbook& wb = BigWorkbook();
  auto write = [&](ByteSink& sink, std::string* err) { return wb.Write(sink, err); };
  if (!TimedFileWrite(state, TempPath(".xls"), write, &g_biffSeconds)) state.SkipWithError("write failed");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * BiffSize()));
  state.counters["fwrite_speed_fraction"] = g_fwriteSeconds / g_biffSeconds;
}
BENCHMARK(BM_Biff2Write)->Unit(benchmark::kMillisecond);

// The writer alone, into memory: what the BIFF2 file costs besides the file system.
void BM_Biff2ToMemory(benchmark::State& state) {
  Workbook& wb = BigWorkbook();
  StringSink sink;
  sink.bytes.reserve(BiffSize());
  for (auto _ : state) {
    sink.bytes.clear();
    std::string err;
    wb.Write(sink, &err);
    benchmark::DoNotOptimize(sink.bytes.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * BiffSize()));
}
BENCHMARK(BM_Biff2ToMemory)->Unit(benchmark::kMillisecond);

void BM_XlsxWrite(benchmark::State& state) {
  const Workbook& wb = BigWorkbook();
  auto write = [&](ByteSink& sink, std::string* err) { return WriteXlsx(wb, sink, err); };
  double seconds = 0;
  if (!TimedFileWrite(state, TempPath(".xlsx"), write, &seconds)) state.SkipWithError("xlsx failed");
  state.counters["times_biff2"] = seconds / g_biffSeconds;
}
BENCHMARK(BM_XlsxWrite)->Unit(benchmark::kMillisecond);

// The same sheet deflated in one piece on one thread: what the pieces save.
void BM_XlsxWriteOnePiece(benchmark::State& state) {
  const Workbook& wb = BigWorkbook();
  auto write = [&](ByteSink& sink, std::string* err) { return WriteXlsx(wb, sink, err, 1); };
  double seconds = 0;
  if (!TimedFileWrite(state, TempPath(".xlsx"), write, &seconds)) state.SkipWithError("xlsx failed");
  state.counters["times_biff2"] = seconds / g_biffSeconds;
}
BENCHMARK(BM_XlsxWriteOnePiece)->Unit(benchmark::kMillisecond);

void BM_Biff2Export(benchmark::State& state) {
  Workbook& wb = BigWorkbook();
  auto write = [&](ByteSink& sink, std::string* err) { return wb.Write(sink, err); };
  if (!TimedExport(state, TempPath(".xls"), write, &g_biffExportSeconds)) state.SkipWithError("export failed");
}
BENCHMARK(BM_Biff2Export)->Unit(benchmark::kMillisecond);

void BM_XlsxExport(benchmark::State& state) {
  const Workbook& wb = BigWorkbook();
  auto write = [&](ByteSink& sink, std::string* err) { return WriteXlsx(wb, sink, err); };
  double seconds = 0;
  if (!TimedExport(state, TempPath(".xlsx"), write, &seconds)) state.SkipWithError("export failed");
  state.counters["times_biff2_export"] = seconds / g_biffExportSeconds;
}
BENCHMARK(BM_XlsxExport)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
