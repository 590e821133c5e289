// Codec throughput on about 100 MiB of generated text, next to glibc iconv and memcpy run
// in the same process on the same input, and the peak memory of decoding a file.

#include <benchmark/benchmark.h>
#include <iconv.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "codec.h"
#include "ratio_reporter.h"

namespace {

// ---- allocation accounting, for the peak-memory measurement

std::atomic<std::size_t> g_allocated{0};
std::atomic<std::size_t> g_peak{0};
constexpr std::size_t kHeader = 16;

void* counted_allocate(std::size_t size) {
  void* block = std::malloc(size + kHeader);
  if (block == nullptr) throw std::bad_alloc();
  *static_cast<std::size_t*>(block) = size;
  const std::size_t now = g_allocated.fetch_add(size) + size;
  std::size_t peak = g_peak.load();
  while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
  }
  return static_cast<char*>(block) + kHeader;
}

void counted_free(void* pointer) {
  if (pointer == nullptr) return;
  void* block = static_cast<char*>(pointer) - kHeader;
  g_allocated.fetch_sub(*static_cast<std::size_t*>(block));
  std::free(block);
}

}  // namespace

void* operator new(std::size_t size) { return counted_allocate(size); }
void* operator new[](std::size_t size) { return counted_allocate(size); }
void operator delete(void* pointer) noexcept { counted_free(pointer); }
void operator delete[](void* pointer) noexcept { counted_free(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { counted_free(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { counted_free(pointer); }

namespace {

using wrenfold::Encoding;
using wrenfold::LineEnding;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kCorpusBytes = 100u << 20;

// English-like words on lines of about 60 characters. With `non_ascii_share` above zero,
// that share of the characters is Latin, Greek or CJK instead.
std::u16string make_text(double non_ascii_share, std::u16string_view line_break) {
  static const char* const kWords[] = {
      "the", "of", "and", "to", "in", "is", "was", "that", "for", "it", "with", "as", "his",
      "on", "be", "at", "by", "had", "this", "from", "window", "editor", "text", "file",
      "search", "line", "encoding", "character", "program", "between", "through", "another"};
  static const char16_t kOthers[] = {u'é', u'ü', u'ñ', u'ç', u'ø', u'α', u'β', u'λ', u'Ω',
                                     u'π', u'中', u'文', u'字', u'日', u'本'};
  std::mt19937 rng(42);
  std::uniform_real_distribution<double> coin(0.0, 1.0);
  std::u16string text;
  text.reserve(kCorpusBytes + 1024);
  std::size_t line_length = 0;
  while (text.size() < kCorpusBytes) {
    const char* word = kWords[rng() % std::size(kWords)];
    for (const char* c = word; *c != 0; ++c) {
      text += coin(rng) < non_ascii_share ? kOthers[rng() % std::size(kOthers)]
                                          : static_cast<char16_t>(*c);
    }
    line_length += std::strlen(word) + 1;
    if (line_length >= 60) {
      text += line_break;
      line_length = 0;
    } else {
      text += u' ';
    }
  }
  return text;
}

struct Corpus {
  Bytes utf8_ascii_crlf;
  Bytes utf8_mixed_crlf;
  Bytes utf16le_crlf;
  std::u16string ascii_cr;  // the editor's form of the ASCII text
  std::u16string mixed_cr;
};

const Corpus& corpus() {
  static const Corpus built = [] {
    Corpus c;
    c.ascii_cr = make_text(0.0, u"\r");
    c.mixed_cr = make_text(0.05, u"\r");
    c.utf8_ascii_crlf = wrenfold::encode_for_save(c.ascii_cr, Encoding::Utf8, LineEnding::Windows);
    c.utf8_mixed_crlf = wrenfold::encode_for_save(c.mixed_cr, Encoding::Utf8, LineEnding::Windows);
    c.utf16le_crlf = wrenfold::encode_for_save(c.ascii_cr, Encoding::Utf16Le, LineEnding::Windows);
    return c;
  }();
  return built;
}

std::size_t iconv_into(iconv_t converter, const void* input, std::size_t input_size, void* output,
                       std::size_t output_size) {
  char* in = const_cast<char*>(static_cast<const char*>(input));
  char* out = static_cast<char*>(output);
  std::size_t in_left = input_size;
  std::size_t out_left = output_size;
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  if (iconv(converter, &in, &in_left, &out, &out_left) == static_cast<std::size_t>(-1)) {
    std::fprintf(stderr, "iconv failed\n");
    std::abort();
  }
  return output_size - out_left;
}

void report_bytes(benchmark::State& state, std::size_t input_bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input_bytes));
}

void decode_codec(benchmark::State& state, const Bytes* input) {
  for (auto _ : state) {
    wrenfold::DecodedText decoded = wrenfold::decode_file_bytes(*input);
    benchmark::DoNotOptimize(decoded.text.data());
  }
  report_bytes(state, input->size());
}

// The same kind of buffer as the codec returns: a freshly allocated UTF-16 string.
void decode_iconv(benchmark::State& state, const Bytes* input) {
  iconv_t converter = iconv_open("UTF-16LE", "UTF-8");
  for (auto _ : state) {
    std::u16string text(input->size(), u'\0');
    const std::size_t written =
        iconv_into(converter, input->data(), input->size(), text.data(), text.size() * 2);
    text.resize(written / 2);
    benchmark::DoNotOptimize(text.data());
  }
  iconv_close(converter);
  report_bytes(state, input->size());
}

void copy_memcpy(benchmark::State& state, const void* input, std::size_t size) {
  for (auto _ : state) {
    Bytes copy(size);
    std::memcpy(copy.data(), input, size);
    benchmark::DoNotOptimize(copy.data());
  }
  report_bytes(state, size);
}

void encode_codec(benchmark::State& state, const std::u16string* text, Encoding encoding,
                  LineEnding line_ending) {
  for (auto _ : state) {
    Bytes bytes = wrenfold::encode_for_save(*text, encoding, line_ending);
    benchmark::DoNotOptimize(bytes.data());
  }
  report_bytes(state, text->size() * 2);
}

void encode_iconv(benchmark::State& state, const std::u16string* text) {
  iconv_t converter = iconv_open("UTF-8", "UTF-16LE");
  const std::size_t output_size =
      wrenfold::encode_for_save(*text, Encoding::Utf8, LineEnding::Macintosh).size();
  for (auto _ : state) {
    Bytes bytes(output_size);
    iconv_into(converter, text->data(), text->size() * 2, bytes.data(), bytes.size());
    benchmark::DoNotOptimize(bytes.data());
  }
  iconv_close(converter);
  report_bytes(state, text->size() * 2);
}

// Reads a file the way the open flow does and decodes it, counting every heap byte.
void decode_peak_memory(benchmark::State& state) {
  const char* path = "/tmp/wrenfold-codec-bench.txt";
  {
    const Bytes& bytes = corpus().utf8_ascii_crlf;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  double ratio = 0;
  std::size_t file_size = 0;
  for (auto _ : state) {
    const std::size_t before = g_allocated.load();
    g_peak.store(before);
    wrenfold::DecodedText decoded;
    {
      std::ifstream file(path, std::ios::binary | std::ios::ate);
      file_size = static_cast<std::size_t>(file.tellg());
      Bytes bytes(file_size);
      file.seekg(0);
      file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(file_size));
      decoded = wrenfold::decode_file_bytes(bytes);
    }
    benchmark::DoNotOptimize(decoded.text.data());
    ratio = static_cast<double>(g_peak.load() - before) / static_cast<double>(file_size);
  }
  std::remove(path);
  state.counters["peak_per_file_byte"] = ratio;
  state.counters["file_MiB"] = static_cast<double>(file_size) / (1 << 20);
}

void register_all() {
  const Corpus& c = corpus();
  // Two seconds each: the first passes over fresh 100 MiB buffers are dominated by page faults.
  const auto real_time = [](benchmark::internal::Benchmark* b) {
    b->UseRealTime()->MinTime(2.0)->Unit(benchmark::kMillisecond);
  };
  real_time(benchmark::RegisterBenchmark("decode/utf8_ascii_crlf/codec", decode_codec, &c.utf8_ascii_crlf));
  real_time(benchmark::RegisterBenchmark("decode/utf8_ascii_crlf/iconv", decode_iconv, &c.utf8_ascii_crlf));
  real_time(benchmark::RegisterBenchmark("decode/utf8_ascii_crlf/memcpy", copy_memcpy,
                                         c.utf8_ascii_crlf.data(), c.utf8_ascii_crlf.size()));
  real_time(benchmark::RegisterBenchmark("decode/utf8_mixed_crlf/codec", decode_codec, &c.utf8_mixed_crlf));
  real_time(benchmark::RegisterBenchmark("decode/utf8_mixed_crlf/iconv", decode_iconv, &c.utf8_mixed_crlf));
  real_time(benchmark::RegisterBenchmark("decode/utf16le_crlf/codec", decode_codec, &c.utf16le_crlf));
  real_time(benchmark::RegisterBenchmark("decode/utf16le_crlf/memcpy", copy_memcpy,
                                         c.utf16le_crlf.data(), c.utf16le_crlf.size()));
  real_time(benchmark::RegisterBenchmark("encode/utf8_ascii_crlf/codec", encode_codec, &c.ascii_cr,
                                         Encoding::Utf8, LineEnding::Windows));
  real_time(benchmark::RegisterBenchmark("encode/utf8_ascii/iconv", encode_iconv, &c.ascii_cr));
  real_time(benchmark::RegisterBenchmark("encode/utf8_mixed_crlf/codec", encode_codec, &c.mixed_cr,
                                         Encoding::Utf8, LineEnding::Windows));
  real_time(benchmark::RegisterBenchmark("encode/utf8_mixed/iconv", encode_iconv, &c.mixed_cr));
  real_time(benchmark::RegisterBenchmark("encode/utf16be_crlf/codec", encode_codec, &c.ascii_cr,
                                         Encoding::Utf16Be, LineEnding::Windows));
  real_time(benchmark::RegisterBenchmark("encode/utf16be_cr/codec", encode_codec, &c.ascii_cr,
                                         Encoding::Utf16Be, LineEnding::Macintosh));
  real_time(benchmark::RegisterBenchmark("encode/utf16/memcpy", copy_memcpy, c.ascii_cr.data(),
                                         c.ascii_cr.size() * 2));
  benchmark::RegisterBenchmark("decode/peak_memory", decode_peak_memory)->Iterations(1)->Unit(benchmark::kMillisecond);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  register_all();
  wrenfold::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  reporter.print_header();
  reporter.print_ratio("decode UTF-8 ASCII CRLF / iconv", "decode/utf8_ascii_crlf/codec",
                       "decode/utf8_ascii_crlf/iconv", 2.0);
  reporter.print_ratio("decode UTF-8 5% mixed CRLF / iconv", "decode/utf8_mixed_crlf/codec",
                       "decode/utf8_mixed_crlf/iconv", 1.3);
  reporter.print_ratio("encode UTF-8 CRLF (ASCII) / iconv", "encode/utf8_ascii_crlf/codec",
                       "encode/utf8_ascii/iconv", 1.3);
  reporter.print_ratio("encode UTF-8 CRLF (5% mixed) / iconv", "encode/utf8_mixed_crlf/codec",
                       "encode/utf8_mixed/iconv", 0);
  reporter.print_ratio("encode UTF-16 BE CRLF / memcpy", "encode/utf16be_crlf/codec",
                       "encode/utf16/memcpy", 0.5);
  reporter.print_ratio("encode UTF-16 BE CR (swap only) / memcpy", "encode/utf16be_cr/codec",
                       "encode/utf16/memcpy", 0.5);
  reporter.print_ratio("decode UTF-16 LE CRLF / memcpy", "decode/utf16le_crlf/codec",
                       "decode/utf16le_crlf/memcpy", 0);
  const double peak = reporter.counter("decode/peak_memory", "peak_per_file_byte");
  if (peak > 0) reporter.print_value("peak heap while reading + decoding / file size", peak, 3.2, false);
  benchmark::Shutdown();
  return 0;
}
