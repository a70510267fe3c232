// Writing a 100,000-cell worksheet: the BIFF2 writer against one fwrite of
// the same number of bytes (the ceiling for any writer of that file), and
// the .xlsx writer against the BIFF2 writer, both into a file. The
// benchmarks run in this order; the later ones report their speed as ratios
// to the earlier ones measured in the same run:
//   BM_Biff2Write   counter fwrite_speed_fraction = fwrite time / BIFF2 time
//   BM_XlsxWrite    counter times_biff2           = .xlsx time / BIFF2 time
//                   (held to at most 3)

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "export/byte_sink.h"
#include "export/workbook.h"
#include "export/xlsx_writer.h"

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

size_t BiffSize() {
  static size_t size = [] {
    StringSink sink;
    std::string err;
    BigWorkbook().Write(sink, &err);
    return sink.bytes.size();
  }();
  return size;
}

/// Runs `body` once per iteration and returns the mean seconds per iteration.
template <typename Body>
double Timed(benchmark::State& state, Body body) {
  auto start = std::chrono::steady_clock::now();
  for (auto _ : state) body();
  std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
  return spent.count() / static_cast<double>(state.iterations());
}

void BM_FwriteBaseline(benchmark::State& state) {
  std::string bytes(BiffSize(), 'x');
  std::string path = TempPath(".bin");
  g_fwriteSeconds = Timed(state, [&] {
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  });
  std::remove(path.c_str());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_FwriteBaseline)->Unit(benchmark::kMillisecond);

/// Times `write(sink, err)` into a fresh file at `path`, once per iteration;
/// false when any write failed.
template <typename Write>
bool TimedFileWrite(benchmark::State& state, const std::string& path, Write write, double* seconds) {
  bool ok = true;
  // The exports hand the sink blocks of 64 KiB; give the stdio stream the
  // same buffer so every writer pays for the same number of calls.
  std::vector<char> buffer(1 << 16);
  *seconds = Timed(state, [&] {
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

}  // namespace

BENCHMARK_MAIN();
