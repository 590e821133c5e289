#include "literal_search.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

#include "fold_table.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define WRENFOLD_SSE2 1
#endif
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define WRENFOLD_AVX2 1
#endif

namespace wrenfold {
namespace {

// The middle of a candidate whose first and last units already agree.
bool middle_matches(const char16_t* candidate, std::u16string_view needle) {
  return needle.size() <= 2 ||
         std::memcmp(candidate + 1, needle.data() + 1, (needle.size() - 2) * sizeof(char16_t)) == 0;
}

#ifdef WRENFOLD_SSE2
// Two bits per unit position of eight candidates starting at `at`: set where both the first
// and the last unit of the needle are in place.
unsigned candidate_bits(const char16_t* at, std::size_t last_offset, __m128i first,
                        __m128i last) {
  const __m128i starts = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  const __m128i ends = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + last_offset));
  return static_cast<unsigned>(
      _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi16(starts, first), _mm_cmpeq_epi16(ends, last))));
}
#endif

#ifdef WRENFOLD_AVX2
// The program targets plain x86-64; the wider search runs only where the processor has it.
bool processor_has_avx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

// Sixteen candidates at a time, from `*start` up to `last_start`. Returns the first match, or
// kNotFound with `*start` left at the first candidate not yet examined.
__attribute__((target("avx2"))) std::size_t scan_forward_avx2(const char16_t* p, std::u16string_view needle,
                                                               std::size_t* start, std::size_t last_start) {
  const __m256i first = _mm256_set1_epi16(static_cast<short>(needle.front()));
  const __m256i last = _mm256_set1_epi16(static_cast<short>(needle.back()));
  const std::size_t last_offset = needle.size() - 1;
  std::size_t i = *start;
  for (; i + 16 <= last_start + 1; i += 16) {
    const __m256i starts = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
    const __m256i ends = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + last_offset));
    unsigned bits = static_cast<unsigned>(_mm256_movemask_epi8(
        _mm256_and_si256(_mm256_cmpeq_epi16(starts, first), _mm256_cmpeq_epi16(ends, last))));
    while (bits != 0) {
      const std::size_t k = static_cast<std::size_t>(std::countr_zero(bits)) / 2;
      if (middle_matches(p + i + k, needle)) return i + k;
      bits &= ~(3u << (2 * k));
    }
  }
  *start = i;
  return kNotFound;
}

// Sixteen candidates at a time downwards, for starts below `*end`. Returns the last match, or
// kNotFound with `*end` lowered past every candidate examined.
__attribute__((target("avx2"))) std::size_t scan_backward_avx2(const char16_t* p, std::u16string_view needle,
                                                                std::size_t* end) {
  const __m256i first = _mm256_set1_epi16(static_cast<short>(needle.front()));
  const __m256i last = _mm256_set1_epi16(static_cast<short>(needle.back()));
  const std::size_t last_offset = needle.size() - 1;
  std::size_t e = *end;
  for (; e >= 16; e -= 16) {
    const __m256i starts = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + e - 16));
    const __m256i ends = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + e - 16 + last_offset));
    unsigned bits = static_cast<unsigned>(_mm256_movemask_epi8(
        _mm256_and_si256(_mm256_cmpeq_epi16(starts, first), _mm256_cmpeq_epi16(ends, last))));
    while (bits != 0) {
      const std::size_t k = static_cast<std::size_t>(31 - std::countl_zero(bits)) / 2;
      if (middle_matches(p + e - 16 + k, needle)) return e - 16 + k;
      bits &= ~(3u << (2 * k));
    }
  }
  *end = e;
  return kNotFound;
}
#endif

}  // namespace

std::size_t find_first(std::u16string_view text, std::u16string_view needle, std::size_t from) {
  const std::size_t m = needle.size();
  if (m == 0) return from <= text.size() ? from : kNotFound;
  if (from > text.size() || text.size() - from < m) return kNotFound;
  const std::size_t last_start = text.size() - m;
  const char16_t* p = text.data();
  std::size_t i = from;
#ifdef WRENFOLD_AVX2
  if (processor_has_avx2()) {
    const std::size_t found = scan_forward_avx2(p, needle, &i, last_start);
    if (found != kNotFound) return found;
  }
#endif
#ifdef WRENFOLD_SSE2
  const __m128i first = _mm_set1_epi16(static_cast<short>(needle.front()));
  const __m128i last = _mm_set1_epi16(static_cast<short>(needle.back()));
  for (; i + 8 <= last_start + 1; i += 8) {
    unsigned bits = candidate_bits(p + i, m - 1, first, last);
    while (bits != 0) {
      const std::size_t k = static_cast<std::size_t>(std::countr_zero(bits)) / 2;
      if (middle_matches(p + i + k, needle)) return i + k;
      bits &= ~(3u << (2 * k));
    }
  }
#endif
  for (; i <= last_start; ++i) {
    if (p[i] == needle.front() && p[i + m - 1] == needle.back() && middle_matches(p + i, needle)) {
      return i;
    }
  }
  return kNotFound;
}

std::size_t find_last(std::u16string_view text, std::u16string_view needle, std::size_t bound) {
  const std::size_t m = needle.size();
  bound = std::min(bound, text.size());
  if (m == 0) return bound;
  if (bound < m) return kNotFound;
  const char16_t* p = text.data();
  // Candidates are the starts 0 ..= bound - m, examined from the highest down.
  std::size_t end = bound - m + 1;
#ifdef WRENFOLD_AVX2
  if (processor_has_avx2()) {
    const std::size_t found = scan_backward_avx2(p, needle, &end);
    if (found != kNotFound) return found;
  }
#endif
#ifdef WRENFOLD_SSE2
  const __m128i first = _mm_set1_epi16(static_cast<short>(needle.front()));
  const __m128i last = _mm_set1_epi16(static_cast<short>(needle.back()));
  for (; end >= 8; end -= 8) {
    unsigned bits = candidate_bits(p + end - 8, m - 1, first, last);
    while (bits != 0) {
      const std::size_t k = static_cast<std::size_t>(31 - std::countl_zero(bits)) / 2;
      if (middle_matches(p + end - 8 + k, needle)) return end - 8 + k;
      bits &= ~(3u << (2 * k));
    }
  }
#endif
  while (end > 0) {
    --end;
    if (p[end] == needle.front() && p[end + m - 1] == needle.back() &&
        middle_matches(p + end, needle)) {
      return end;
    }
  }
  return kNotFound;
}

namespace {
// Windows start small, so that a match next to the caret costs little, and grow to a size
// where folding runs at full speed.
constexpr std::size_t kFirstFoldWindow = 256;
constexpr std::size_t kLargestFoldWindow = std::size_t{1} << 16;
}  // namespace

std::size_t find_first_folded(std::u16string_view text, std::u16string_view folded_needle,
                              std::size_t from) {
  const std::size_t m = folded_needle.size();
  if (m == 0 || from > text.size()) return find_first(text, folded_needle, from);
  std::u16string window;
  std::size_t step = kFirstFoldWindow;
  // Consecutive windows overlap by m - 1 units so that no occurrence falls between them.
  for (std::size_t start = from; start < text.size() && text.size() - start >= m; start += step) {
    if (start != from) step = std::min(step * 2, kLargestFoldWindow);
    const std::size_t length = std::min(text.size() - start, step + m - 1);
    if (window.size() < length) window.resize(length);
    fold_units(text.substr(start, length), window.data());
    const std::size_t at = find_first(std::u16string_view(window.data(), length), folded_needle, 0);
    if (at != kNotFound) return start + at;
  }
  return kNotFound;
}

std::size_t find_last_folded(std::u16string_view text, std::u16string_view folded_needle,
                             std::size_t bound) {
  const std::size_t m = folded_needle.size();
  bound = std::min(bound, text.size());
  if (m == 0 || bound < m) return find_last(text, folded_needle, bound);
  std::u16string window;
  std::size_t step = kFirstFoldWindow;
  for (;;) {
    const std::size_t start = bound > step + m - 1 ? bound - (step + m - 1) : 0;
    const std::size_t length = bound - start;
    if (window.size() < length) window.resize(length);
    fold_units(text.substr(start, length), window.data());
    const std::size_t at = find_last(std::u16string_view(window.data(), length), folded_needle, length);
    if (at != kNotFound) return start + at;
    if (start == 0) return kNotFound;
    // Everything starting at or after `start` has been looked at.
    bound = start + m - 1;
    step = std::min(step * 2, kLargestFoldWindow);
  }
}

}  // namespace wrenfold
