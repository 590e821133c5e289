// Literal search and Replace All on about 100 MiB of English-like UTF-16 text, next to glibc
// memmem over the same text's UTF-8 bytes and PCRE2's global substitution.

#define PCRE2_CODE_UNIT_WIDTH 16
#include <benchmark/benchmark.h>
#include <pcre2.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "fold_table.h"
#include "literal_search.h"
#include "ratio_reporter.h"
#include "search.h"

namespace {

using namespace wrenfold;

constexpr std::size_t kTextUnits = 100u << 20;
constexpr char16_t kRareNeedle[] = u"zanzibarquix";    // planted a hundred times
constexpr char16_t kAbsentNeedle[] = u"absentneedle";  // common first and last letters

std::u16string make_text() {
  static const char* const kWords[] = {
      "the", "of", "and", "to", "in", "is", "was", "that", "for", "it", "with", "as", "his",
      "on", "be", "at", "by", "had", "this", "from", "window", "editor", "text", "file",
      "search", "line", "needle", "absent", "program", "between", "through", "another"};
  std::mt19937 rng(42);
  std::u16string text;
  text.reserve(kTextUnits + 64);
  std::size_t line_length = 0;
  while (text.size() < kTextUnits) {
    for (const char* c = kWords[rng() % std::size(kWords)]; *c != 0; ++c) {
      text += static_cast<char16_t>(*c);
      ++line_length;
    }
    if (line_length >= 60) {
      text += u'\r';
      line_length = 0;
    } else {
      text += u' ';
      ++line_length;
    }
  }
  for (int i = 0; i < 100; ++i) {
    text.replace(rng() % (text.size() - 12), 12, kRareNeedle);
  }
  return text;
}

const std::u16string& text() {
  static const std::u16string built = make_text();
  return built;
}

const std::string& text_utf8() {
  static const std::string built(text().begin(), text().end());  // the text is ASCII
  return built;
}

std::string narrow(std::u16string_view units) { return std::string(units.begin(), units.end()); }

void report(benchmark::State& state, std::size_t found) {
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * text().size()));
  state.counters["found"] = static_cast<double>(found);
}

void forward(benchmark::State& state, std::u16string needle) {
  std::size_t found = 0;
  for (auto _ : state) {
    found = 0;
    for (std::size_t at = find_first(text(), needle, 0); at != kNotFound;
         at = find_first(text(), needle, at + needle.size())) {
      ++found;
    }
  }
  report(state, found);
}

void backward(benchmark::State& state, std::u16string needle) {
  std::size_t found = 0;
  for (auto _ : state) {
    found = 0;
    for (std::size_t at = find_last(text(), needle, text().size()); at != kNotFound;
         at = find_last(text(), needle, at)) {
      ++found;
    }
  }
  report(state, found);
}

void forward_ignoring_case(benchmark::State& state, std::u16string needle) {
  const std::u16string folded = fold_text(needle);
  std::size_t found = 0;
  for (auto _ : state) {
    found = 0;
    for (std::size_t at = find_first_folded(text(), folded, 0); at != kNotFound;
         at = find_first_folded(text(), folded, at + folded.size())) {
      ++found;
    }
  }
  report(state, found);
}

void memmem_anchor(benchmark::State& state, std::u16string needle) {
  const std::string bytes = narrow(needle);
  const std::string& haystack = text_utf8();
  std::size_t found = 0;
  for (auto _ : state) {
    found = 0;
    const char* at = haystack.data();
    const char* end = haystack.data() + haystack.size();
    while (const void* hit = memmem(at, static_cast<std::size_t>(end - at), bytes.data(), bytes.size())) {
      ++found;
      at = static_cast<const char*>(hit) + bytes.size();
    }
  }
  report(state, found);
}

// The smallest editor: it hands out the text and notes the size of what it is given, so
// that the measurement is the engine's work alone (a real control copies the new text into
// its own buffer, as PCRE2's caller would).
class BenchEditor : public SearchEditor {
 public:
  explicit BenchEditor(std::shared_ptr<const std::u16string> text) : text_(std::move(text)) {}
  std::shared_ptr<const std::u16string> text_snapshot() override { return text_; }
  bool holds(std::size_t, std::u16string_view) override { return true; }
  EditorSelection selection() override { return {0, 0}; }
  void set_selection(std::size_t, std::size_t) override {}
  void replace_selection(std::u16string_view text) override { replaced_units = text.size(); }
  void scroll_caret_into_view() override {}

  std::size_t replaced_units = 0;

 private:
  std::shared_ptr<const std::u16string> text_;
};

void replace_all_the(benchmark::State& state) {
  const auto original = std::make_shared<const std::u16string>(text());
  SearchRequest request;
  request.find_text = u"the";
  request.match_case = true;
  std::size_t length = 0;
  const auto run = [&] {
    BenchEditor editor(original);
    SearchMemory memory;
    benchmark::DoNotOptimize(replace_all(editor, memory, request, u"that"));
    length = editor.replaced_units;
  };
  run();  // the first pass over fresh memory is not representative
  for (auto _ : state) run();
  report(state, length);
}

void pcre2_substitute_the(benchmark::State& state) {
  int error = 0;
  PCRE2_SIZE error_offset = 0;
  pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(u"the"), 3, PCRE2_LITERAL, &error,
                                   &error_offset, nullptr);
  pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
  pcre2_match_data* match_data = pcre2_match_data_create_from_pattern(code, nullptr);
  const std::u16string& subject = text();
  const auto substitute = [&](std::u16string& output, std::uint32_t extra_options) {
    PCRE2_SIZE output_length = output.size();
    pcre2_substitute(code, reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(), 0,
                     PCRE2_SUBSTITUTE_GLOBAL | extra_options, match_data, nullptr,
                     reinterpret_cast<PCRE2_SPTR>(u"that"), 4,
                     reinterpret_cast<PCRE2_UCHAR*>(output.data()), &output_length);
    return output_length;
  };
  // The exact size is found beforehand, so each measured run allocates its result once.
  std::u16string probe(1, u'\0');
  const std::size_t needed = substitute(probe, PCRE2_SUBSTITUTE_OVERFLOW_LENGTH);
  std::size_t length = 0;
  const auto run = [&] {
    std::u16string output(needed, u'\0');
    output.resize(substitute(output, 0));
    length = output.size();
  };
  run();
  for (auto _ : state) run();
  pcre2_match_data_free(match_data);
  pcre2_code_free(code);
  report(state, length);
}

void register_all() {
  text_utf8();
  const auto configure = [](benchmark::internal::Benchmark* b) {
    b->UseRealTime()->MinTime(1.0)->Unit(benchmark::kMillisecond);
  };
  const std::pair<const char*, std::u16string> needles[] = {
      {"rare", kRareNeedle}, {"the", u"the"}, {"absent", kAbsentNeedle}};
  for (const auto& [name, needle] : needles) {
    const std::string label = name;
    configure(benchmark::RegisterBenchmark(("forward/" + label).c_str(), forward, needle));
    configure(benchmark::RegisterBenchmark(("backward/" + label).c_str(), backward, needle));
    configure(benchmark::RegisterBenchmark(("memmem/" + label).c_str(), memmem_anchor, needle));
  }
  configure(benchmark::RegisterBenchmark("ignoring_case/rare", forward_ignoring_case,
                                         std::u16string(u"ZANZIBARquix")));
  configure(benchmark::RegisterBenchmark("ignoring_case/absent", forward_ignoring_case,
                                         std::u16string(u"ABSENTneedle")));
  configure(benchmark::RegisterBenchmark("replace_all/the_that/engine", replace_all_the));
  configure(benchmark::RegisterBenchmark("replace_all/the_that/pcre2_substitute", pcre2_substitute_the));
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  register_all();
  wrenfold::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.print_header();
  const std::string rate = "items_per_second";
  for (const char* needle : {"rare", "the", "absent"}) {
    const double target = std::string(needle) == "the" ? 1.5 : 0.7;
    const std::string n = needle;
    reporter.print_ratio(("forward " + n + " / memmem").c_str(), "forward/" + n, "memmem/" + n, target, rate);
    reporter.print_ratio(("backward " + n + " / memmem").c_str(), "backward/" + n, "memmem/" + n, target, rate);
    reporter.print_ratio(("backward " + n + " / forward (within 20%)").c_str(), "backward/" + n,
                         "forward/" + n, 0.8, rate);
  }
  for (const char* needle : {"rare", "absent"}) {
    const double chars = reporter.counter(std::string("ignoring_case/") + needle, rate);
    if (chars > 0) {
      reporter.print_value((std::string("ignoring case, fold included, ") + needle + ": G chars/s").c_str(),
                           chars / 1e9, 0.9, true);
    }
  }
  reporter.print_ratio("Replace All the->that / pcre2_substitute", "replace_all/the_that/engine",
                       "replace_all/the_that/pcre2_substitute", 1.0, rate);
  benchmark::Shutdown();
  return 0;
}
