// Compiling find texts into PCRE2 patterns, with the one-entry cache that lets repeated
// Find Next presses reuse the compiled pattern and its JIT code.

#include <string>

#include "boost_pattern.h"
#include "pcre_errors.h"
#include "pcre_handles.h"

namespace wrenfold {
namespace {

// UTF, UCP, multi-line and tolerance of lone surrogates in the searched text.
constexpr std::uint32_t kAlwaysOn =
    PCRE2_UTF | PCRE2_UCP | PCRE2_MULTILINE | PCRE2_MATCH_INVALID_UTF;
static_assert(kAlwaysOn == 0x040A0400);
static_assert(PCRE2_CASELESS == 0x8 && PCRE2_DOTALL == 0x20);

// The only guards against runaway searches; there is no clock.
constexpr std::uint32_t kMatchLimit = 50'000'000;
constexpr std::size_t kJitStackStartBytes = 64 * 1024;
constexpr std::size_t kJitStackMaxBytes = 16 * 1024 * 1024;

constexpr PCRE2_SIZE kErrorTextUnits = 256;
constexpr int kOutOfMemory = PCRE2_ERROR_NOMEMORY;

struct CacheEntry {
  std::u16string find_text;
  std::uint32_t options = 0;
  PatternHandle pattern;
};

thread_local CacheEntry cache;
thread_local std::uint64_t compiles = 0;

std::uint32_t option_word(const SearchRequest& request) {
  std::uint32_t options = kAlwaysOn;
  if (!request.match_case) options |= PCRE2_CASELESS;
  if (request.dot_matches_newline) options |= PCRE2_DOTALL;
  return options;
}


std::u16string decimal(long long value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

Error compile_error(int error_code) {
  PCRE2_UCHAR16 buffer[kErrorTextUnits];
  const int length = pcre2_get_error_message(error_code, buffer, kErrorTextUnits);
  const std::u16string text =
      length >= 0 ? std::u16string(reinterpret_cast<const char16_t*>(buffer),
                                   static_cast<std::size_t>(length))
                  : u"error " + decimal(error_code);
  return Error{u"Invalid regular expression: " + text + u"."};
}

// Group names with their numbers, from PCRE2's name table (each entry: the number, then
// the zero-terminated name, padded to the entry size).
std::shared_ptr<const std::vector<GroupName>> group_names(const pcre2_code* code) {
  std::uint32_t count = 0;
  std::uint32_t entry_units = 0;
  PCRE2_SPTR16 table = nullptr;
  pcre2_pattern_info(code, PCRE2_INFO_NAMECOUNT, &count);
  if (count == 0) return nullptr;
  pcre2_pattern_info(code, PCRE2_INFO_NAMEENTRYSIZE, &entry_units);
  pcre2_pattern_info(code, PCRE2_INFO_NAMETABLE, &table);
  auto names = std::make_shared<std::vector<GroupName>>();
  for (std::uint32_t i = 0; i < count; ++i) {
    const PCRE2_UCHAR16* entry = table + static_cast<std::size_t>(i) * entry_units;
    GroupName name;
    name.number = entry[0];
    for (const PCRE2_UCHAR16* unit = entry + 1; *unit != 0; ++unit) {
      name.name.push_back(static_cast<char16_t>(*unit));
    }
    names->push_back(std::move(name));
  }
  return names;
}

Result<PatternHandle> compile_translated(std::u16string_view translated, std::uint32_t options) {
  const pcre::CompileContext context(pcre2_compile_context_create(nullptr));
  if (!context) return pcre::search_failed(kOutOfMemory);
  pcre2_set_newline(context.get(), PCRE2_NEWLINE_LF);

  int error_code = 0;
  PCRE2_SIZE error_offset = 0;
  ++compiles;
  pcre::Code code(pcre2_compile(pcre::units(translated), translated.size(), options, &error_code,
                                &error_offset, context.get()));
  if (!code) return compile_error(error_code);

  // Without the JIT (unsupported machine, no executable memory) matching runs in the
  // interpreter, slower but the same.
  pcre2_jit_compile(code.get(), PCRE2_JIT_COMPLETE);

  auto pattern = std::make_shared<CompiledPattern>();
  pattern->match_data.reset(pcre2_match_data_create_from_pattern(code.get(), nullptr));
  pattern->match_context.reset(pcre2_match_context_create(nullptr));
  if (!pattern->match_data || !pattern->match_context) {
    return pcre::search_failed(kOutOfMemory);
  }
  pcre2_set_match_limit(pattern->match_context.get(), kMatchLimit);
  pattern->jit_stack.reset(pcre2_jit_stack_create(kJitStackStartBytes, kJitStackMaxBytes, nullptr));
  if (pattern->jit_stack) {
    pcre2_jit_stack_assign(pattern->match_context.get(), nullptr, pattern->jit_stack.get());
  }
  std::uint32_t capture_count = 0;
  pcre2_pattern_info(code.get(), PCRE2_INFO_CAPTURECOUNT, &capture_count);
  pattern->capture_count = capture_count;
  pattern->names = group_names(code.get());
  pattern->code = std::move(code);
  return PatternHandle(std::move(pattern));
}

}  // namespace

Result<PatternHandle> compile(const SearchRequest& request) {
  const std::uint32_t options = option_word(request);
  if (cache.pattern && cache.options == options && cache.find_text == request.find_text) {
    return cache.pattern;
  }
  Result<std::u16string> translated = translate_pattern(request.find_text);
  if (!translated) return translated.error();
  Result<PatternHandle> compiled = compile_translated(*translated, options);
  if (compiled) cache = CacheEntry{request.find_text, options, *compiled};
  return compiled;
}

std::uint64_t compile_count() { return compiles; }

}  // namespace wrenfold
