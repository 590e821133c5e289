#pragma once
// Regular-expression search on PCRE2 (16-bit code units, JIT when available) under fixed
// resource limits. Patterns are Boost-style find texts; they are translated, compiled once
// and cached. PCRE2's own types stay inside this library.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "regex_match.h"
#include "result.h"
#include "search_request.h"

namespace wrenfold {

// A compiled pattern with everything needed to run it. Shared by the compile cache and the
// operation using it; the last holder frees it.
struct CompiledPattern;
using PatternHandle = std::shared_ptr<CompiledPattern>;

// PCRE2 match options, as PCRE2 numbers them (checked against pcre2.h where they are used).
constexpr std::uint32_t kMatchDefault = 0;
// After an empty match, the next attempt at the same place must not be empty there; it may
// still find a later match.
constexpr std::uint32_t kMatchNotEmptyAtStart = 0x00000008;

// The translated and compiled pattern of `request`, from the one-entry cache when the find
// text and options are those of the last successful compile. Errors carry the user's
// message ("Invalid regular expression: ..." or a translation message); a failure leaves
// the cache as it was.
Result<PatternHandle> compile(const SearchRequest& request);

// One match attempt on the whole subject from `start` (the whole subject stays visible to
// look-behind and anchors). Nothing when there is no match; an error with the user's
// message when matching failed or was stopped by a limit. Matches of one pattern must not
// overlap in time: they share its match data.
Result<std::optional<RegexMatch>> match_at(CompiledPattern& pattern, std::u16string_view subject,
                                           std::size_t start, std::uint32_t options);

struct FoundMatch {
  std::size_t start = 0;
  std::size_t length = 0;
};

// The match that ends at or before `bound` and as late as possible (the earliest-starting
// one among those), searched in windows growing back from `bound`. A search whose attempts
// together run far beyond the text's length is stopped with the same message as a match
// that reaches PCRE2's limits.
Result<std::optional<FoundMatch>> find_backward(CompiledPattern& pattern,
                                                std::u16string_view subject, std::size_t bound);

// How many patterns this thread has compiled so far; tests watch the cache with it.
std::uint64_t compile_count();

}  // namespace wrenfold
