// Regular-expression search on about 100 MiB of generated text: the program's whole path
// (translation, cached compile, one match_at after another) next to Boost.Regex in the same
// process on the same text, then Replace All's growth with the text and a backward search.

#include <benchmark/benchmark.h>
#include <boost/regex/icu.hpp>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "boost_format.h"
#include "pcre_regex.h"
#include "ratio_reporter.h"

namespace {

using namespace wrenfold;

constexpr std::size_t kCorpusUnits = (100u << 20) / 2;
constexpr char16_t kRareWord[] = u"zebrafish";
constexpr std::size_t kRareEvery = 1u << 21;  // units between two rare words

// English-like words on LF lines of about 60 characters, with an address now and then, a
// blank or white-space-only line every so often, and a rare word every few MiB.
std::u16string make_text(std::size_t units) {
  static const char* const kWords[] = {
      "the", "of", "and", "to", "in", "is", "was", "that", "for", "it", "with", "as", "his",
      "on", "be", "at", "by", "had", "this", "from", "Window", "editor", "text", "file",
      "searching", "line", "encoding", "character", "program", "between", "thinking", "another",
      "Theory", "WINDOW", "window", "nothing", "bring", "sing"};
  std::mt19937 rng(7);
  std::u16string text;
  text.reserve(units + 1024);
  std::size_t line_length = 0;
  std::size_t next_rare = kRareEvery;
  while (text.size() < units) {
    const unsigned roll = rng() % 1000;
    if (roll < 3) {
      text += u"user" + std::u16string(1, char16_t(u'a' + rng() % 26)) + u"@host.com";
    } else {
      for (const char* c = kWords[rng() % std::size(kWords)]; *c != 0; ++c) text += char16_t(*c);
    }
    if (text.size() >= next_rare) {
      text += u" ";
      text += kRareWord;
      next_rare += kRareEvery;
    }
    line_length += 8;
    if (line_length >= 60) {
      text += u'\n';
      line_length = 0;
      const unsigned blank = rng() % 40;
      if (blank == 0) text += u"\n";
      if (blank == 1) text += u"   \t\n";
    } else {
      text += u' ';
    }
  }
  return text;
}

const std::u16string& corpus() {
  static const std::u16string text = make_text(kCorpusUnits);
  return text;
}

SearchRequest regex_request(const std::u16string& pattern, bool match_case) {
  SearchRequest request;
  request.find_text = pattern;
  request.match_case = match_case;
  request.mode = SearchMode::RegularExpression;
  return request;
}

struct PatternCase {
  const char* name;
  std::u16string pattern;
  bool match_case;
};

const std::vector<PatternCase>& pattern_cases() {
  static const std::vector<PatternCase> cases = {
      {"rare_literal", kRareWord, true},
      {"the", u"the", true},
      {"ing_words", u"\\b\\w+ing\\b", true},
      {"blank_lines", u"^\\s*$", true},
      {"addresses", u"(\\w+)@(\\w+)\\.com", true},
      {"any_case_literal", u"window", false},
  };
  return cases;
}

void report_bytes(benchmark::State& state, std::size_t units) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * units * 2));
}

// Counts matches the way Find Next and Replace All step through a text.
void count_program(benchmark::State& state, const PatternCase* c) {
  const std::u16string& text = corpus();
  std::size_t count = 0;
  for (auto _ : state) {
    Result<PatternHandle> pattern = compile(regex_request(c->pattern, c->match_case));
    if (!pattern) state.SkipWithError("compile failed");
    count = 0;
    std::size_t pos = 0;
    std::uint32_t options = kMatchDefault;
    for (;;) {
      Result<std::optional<RegexMatch>> match = match_at(**pattern, text, pos, options);
      if (!match || !match->has_value()) break;
      const CaptureSpan whole = *(**match).groups[0];
      ++count;
      pos = whole.end;
      options = whole.start == whole.end ? kMatchNotEmptyAtStart : kMatchDefault;
    }
  }
  state.counters["matches"] = static_cast<double>(count);
  report_bytes(state, text.size());
}

void count_boost(benchmark::State& state, const PatternCase* c) {
  const std::u16string& text = corpus();
  boost::u32regex::flag_type flags = boost::u32regex::perl;
  if (!c->match_case) flags |= boost::u32regex::icase;
  const boost::u32regex re = boost::make_u32regex(c->pattern.c_str(), flags);
  std::size_t count = 0;
  for (auto _ : state) {
    count = 0;
    auto it = boost::make_u32regex_iterator(text, re, boost::match_not_dot_newline);
    for (decltype(it) end; it != end; ++it) ++count;
  }
  state.counters["matches"] = static_cast<double>(count);
  report_bytes(state, text.size());
}

// Replace All's loop: new text from the pieces between matches and each expanded format.
// `retry` is the options of the attempt after an empty match.
void replace_all(benchmark::State& state, std::u16string pattern_text, std::size_t units,
                 std::uint32_t retry) {
  const std::u16string text = corpus().substr(0, units);
  const std::u16string format = u"-";
  std::size_t count = 0;
  for (auto _ : state) {
    Result<PatternHandle> pattern = compile(regex_request(pattern_text, true));
    std::u16string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    std::size_t previous_end = 0;
    std::uint32_t options = kMatchDefault;
    count = 0;
    for (;;) {
      Result<std::optional<RegexMatch>> match = match_at(**pattern, text, pos, options);
      if (!match) break;
      if (!match->has_value()) {
        if (options == kMatchDefault || pos >= text.size()) break;
        pos += 1;
        options = kMatchDefault;
        continue;
      }
      const CaptureSpan whole = *(**match).groups[0];
      if (whole.start > previous_end) out.append(text, previous_end, whole.start - previous_end);
      out += expand_format(format, **match, text, previous_end);
      previous_end = whole.end;
      pos = whole.end;
      options = whole.start == whole.end ? retry : kMatchDefault;
      ++count;
    }
    out.append(text, previous_end);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["matches"] = static_cast<double>(count);
  report_bytes(state, text.size());
}

// The caret at the end of the text, the only match 500 characters before it.
void backward_search(benchmark::State& state) {
  std::u16string text = corpus();
  const std::u16string marker = u" quokka ";
  text.replace(text.size() - 500, marker.size(), marker);
  Result<PatternHandle> pattern = compile(regex_request(u"\\bquokka\\b", true));
  std::size_t found_at = 0;
  const auto began = std::chrono::steady_clock::now();
  for (auto _ : state) {
    Result<std::optional<FoundMatch>> found = find_backward(**pattern, text, text.size());
    if (!found || !found->has_value()) state.SkipWithError("not found");
    found_at = found->has_value() ? (**found).start : 0;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  state.counters["ms_per_search"] = seconds * 1000 / static_cast<double>(state.iterations());
  state.counters["distance"] = static_cast<double>(text.size() - found_at);
}

// Find previous on a 1 MiB single line of "a": every start matches to the end of the run.
// At the end the answer is the whole run; in the middle no match ends before the caret and
// the search must be stopped with its message rather than run for minutes. The anchor is
// one forward match over the same run.
constexpr std::size_t kRunUnits = 1u << 20;  // a 1 MiB one-line file of "a"

void backward_on_run(benchmark::State& state, std::u16string pattern_text, bool middle) {
  const std::u16string run(kRunUnits, u'a');
  Result<PatternHandle> pattern = compile(regex_request(pattern_text, true));
  const std::size_t bound = middle ? run.size() / 2 : run.size();
  const auto began = std::chrono::steady_clock::now();
  for (auto _ : state) {
    Result<std::optional<FoundMatch>> found = find_backward(**pattern, run, bound);
    const bool expected = middle ? !found && found.error().message == u"The search took too long and was stopped."
                                 : found && found->has_value() && (**found).length == run.size();
    if (!expected) state.SkipWithError("unexpected result");
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  state.counters["ms_per_search"] = seconds * 1000 / static_cast<double>(state.iterations());
}

void forward_on_run(benchmark::State& state, std::u16string pattern_text) {
  const std::u16string run(kRunUnits, u'a');
  Result<PatternHandle> pattern = compile(regex_request(pattern_text, true));
  const auto began = std::chrono::steady_clock::now();
  for (auto _ : state) {
    Result<std::optional<RegexMatch>> found = match_at(**pattern, run, 0, kMatchDefault);
    if (!found || !found->has_value()) state.SkipWithError("not found");
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  state.counters["ms_per_search"] = seconds * 1000 / static_cast<double>(state.iterations());
}

constexpr std::size_t kLinearUnits = (8u << 20) / 2;
constexpr std::uint32_t kAnchoredRetry = 0x80000008;  // PCRE2_NOTEMPTY_ATSTART | PCRE2_ANCHORED

void register_all() {
  for (const PatternCase& c : pattern_cases()) {
    benchmark::RegisterBenchmark((std::string("count/") + c.name + "/program").c_str(),
                                 count_program, &c)
        ->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string("count/") + c.name + "/boost").c_str(), count_boost,
                                 &c)
        ->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
  }
  // The anchored retry is quadratic, so it runs on small texts only (x* on 1 MiB: over a minute).
  struct EmptyMatchCase {
    const char* name;
    const char16_t* pattern;
    std::size_t anchored_units;
  };
  for (const EmptyMatchCase& c : {EmptyMatchCase{"blank_lines", u"^\\s*$", (1u << 20) / 2},
                                  EmptyMatchCase{"x_star", u"x*", (64u << 10) / 2}}) {
    const char* name = c.name;
    const char16_t* pattern = c.pattern;
    for (std::size_t scale : {1, 4}) {
      benchmark::RegisterBenchmark(
          (std::string("replace_all/") + name + "/x" + std::to_string(scale)).c_str(), replace_all,
          std::u16string(pattern), kLinearUnits * scale, kMatchNotEmptyAtStart)
          ->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);
    }
    for (std::size_t scale : {1, 4}) {
      benchmark::RegisterBenchmark(
          (std::string("replace_all_anchored_retry/") + name + "/x" + std::to_string(scale)).c_str(),
          replace_all, std::u16string(pattern), c.anchored_units * scale, kAnchoredRetry)
          ->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::RegisterBenchmark("find_backward/500_before_caret", backward_search)
      ->Iterations(200)->Unit(benchmark::kMicrosecond);
  for (const auto& [name, pattern] : {std::pair{"a_plus", u"a+"}, std::pair{"dot_star", u".*"}}) {
    const std::string base = std::string("run/") + name;
    benchmark::RegisterBenchmark((base + "/forward").c_str(), forward_on_run, std::u16string(pattern))
        ->Iterations(20)->UseRealTime()->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((base + "/backward_end").c_str(), backward_on_run, std::u16string(pattern), false)
        ->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((base + "/backward_middle").c_str(), backward_on_run, std::u16string(pattern), true)
        ->Iterations(2)->UseRealTime()->Unit(benchmark::kMillisecond);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  register_all();
  wrenfold::bench::RatioReporter reporter;
  const std::uint64_t compiles_before = compile_count();
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.print_header();
  for (const PatternCase& c : pattern_cases()) {
    const std::string base = std::string("count/") + c.name;
    const std::string label = std::string("count ") + c.name + " / Boost.Regex";
    reporter.print_ratio(label.c_str(), base + "/program", base + "/boost", 3.0);
  }
  for (const char* name : {"blank_lines", "x_star"}) {
    const std::string base = std::string("replace_all/") + name;
    const double small = reporter.counter(base + "/x1", "bytes_per_second");
    const double large = reporter.counter(base + "/x4", "bytes_per_second");
    if (small > 0 && large > 0) {
      const std::string label = std::string("Replace All ") + name + ": time for 4x text / 1x";
      reporter.print_value(label.c_str(), 4 * small / large, 4.5, false);
    }
    const std::string anchored = std::string("replace_all_anchored_retry/") + name;
    const double anchored_small = reporter.counter(anchored + "/x1", "bytes_per_second");
    const double anchored_large = reporter.counter(anchored + "/x4", "bytes_per_second");
    if (anchored_small > 0 && anchored_large > 0) {
      const std::string label = std::string("  (anchored retry ") + name + ": time for 4x / 1x)";
      reporter.print_value(label.c_str(), 4 * anchored_small / anchored_large, 0, false);
    }
  }
  const double backward_ms = reporter.counter("find_backward/500_before_caret", "ms_per_search");
  if (backward_ms > 0) {
    reporter.print_value("backward search, match 500 before the caret (ms)", backward_ms, 1.0, false);
  }
  for (const char* name : {"a_plus", "dot_star"}) {
    const std::string base = std::string("run/") + name;
    const double forward = reporter.counter(base + "/forward", "ms_per_search");
    const double at_end = reporter.counter(base + "/backward_end", "ms_per_search");
    const double middle = reporter.counter(base + "/backward_middle", "ms_per_search");
    if (at_end > 0) {
      reporter.print_value((std::string("1 MiB run, ") + name + ", Find previous from the end (ms)").c_str(),
                           at_end, 100, false);
      if (forward > 0) {
        reporter.print_value(("  (the same / one forward match over the run)"), at_end / forward, 0, false);
      }
    }
    if (middle > 0) {
      reporter.print_value((std::string("1 MiB run, ") + name + ", from the middle, stopped (ms)").c_str(), middle,
                           1000, false);
    }
  }
  std::printf("%-62s %9llu\n", "patterns compiled in the whole run",
              static_cast<unsigned long long>(compile_count() - compiles_before));
  benchmark::Shutdown();
  return 0;
}
