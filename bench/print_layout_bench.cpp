// Laying out one long line for printing, next to measuring that line once: the printer's
// measurement reads every unit it is given, so the layout should cost a few such passes,
// not one pass per printed row.

#include <benchmark/benchmark.h>

#include <string>

#include "print_layout.h"
#include "ratio_reporter.h"

namespace {

constexpr std::size_t kRowWidth = 80;

// Words of five letters and a space: about 1,300 rows of 78 units.
std::u16string long_line() {
  std::u16string line;
  while (line.size() < 100'000) line += u"words ";
  return line;
}

// A stand-in printer: like GetTextExtentExPointW it adds up the width of every unit offered,
// also past the first that no longer fits.
std::size_t measure(std::u16string_view row) {
  std::size_t width = 0;
  std::size_t fitting = 0;
  for (char16_t unit : row) {
    width += unit == u'\t' ? 8 : 1;
    if (width <= kRowWidth) ++fitting;
  }
  benchmark::DoNotOptimize(width);
  return fitting;
}

void MeasureOnce(benchmark::State& state) {
  const std::u16string line = long_line();
  for (auto _ : state) benchmark::DoNotOptimize(measure(line));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * line.size() * 2));
}
BENCHMARK(MeasureOnce)->Unit(benchmark::kMicrosecond);

void LayOutOneLongLine(benchmark::State& state) {
  const std::u16string line = long_line();
  for (auto _ : state) benchmark::DoNotOptimize(wrenfold::print_rows(line, measure));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * line.size() * 2));
}
BENCHMARK(LayOutOneLongLine)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  wrenfold::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.print_header();
  reporter.print_ratio("layout of one long line / one measuring pass over it", "LayOutOneLongLine",
                       "MeasureOnce", 0.1);
  benchmark::Shutdown();
  return 0;
}
