#pragma once
// A console reporter that remembers each benchmark's throughput, so that a benchmark binary
// can close with the ratios between a measurement and its anchors from the same run.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace wrenfold::bench {

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  RatioReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_ColorTabular : OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      for (const auto& [name, counter] : run.counters) {
        counters_[run.run_name.function_name][name] = counter.value;
      }
    }
  }

  // The named counter of a benchmark, or 0 when it did not run.
  double counter(const std::string& benchmark, const std::string& name) const {
    const auto found = counters_.find(benchmark);
    if (found == counters_.end()) return 0;
    const auto value = found->second.find(name);
    return value == found->second.end() ? 0 : value->second;
  }

  void print_header() const {
    std::printf("\n%-62s %9s %9s  %s\n", "ratio", "measured", "target", "verdict");
  }

  // Prints numerator / denominator of `counter_name`; a target of 0 is for information.
  void print_ratio(const char* label, const std::string& numerator, const std::string& denominator,
                   double target, const std::string& counter_name = "bytes_per_second") const {
    const double n = counter(numerator, counter_name);
    const double d = counter(denominator, counter_name);
    if (n == 0 || d == 0) return;
    print_value(label, n / d, target, true);
  }

  // Prints a value against a target that it must reach (at_least) or stay under.
  void print_value(const char* label, double value, double target, bool at_least) const {
    if (target == 0) {
      std::printf("%-62s %9.3g %9s  %s\n", label, value, "-", "information");
      return;
    }
    const bool met = at_least ? value >= target : value <= target;
    std::printf("%-62s %9.3g %9.3g  %s\n", label, value, target, met ? "met" : "MISSED");
  }

 private:
  std::map<std::string, std::map<std::string, double>> counters_;
};

}  // namespace wrenfold::bench
