#include "fold_table.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define WRENFOLD_SSE2 1
#endif

namespace wrenfold {
namespace {

struct UpperCasePair {
  char16_t character;
  char16_t upper;
};

constexpr UpperCasePair kUpperCasePairs[] = {
#include "upper_case_pairs.inc"
};

FoldTable build_fold_table() {
  FoldTable table;
  for (std::size_t c = 0; c < table.size(); ++c) table[c] = static_cast<char16_t>(c);
  for (char16_t c = u'a'; c <= u'z'; ++c) table[c] = static_cast<char16_t>(c - u'a' + u'A');
  // Units below U+00B5 other than ASCII letters, surrogates and U+FFFF have no pair, so
  // they stay themselves.
  for (const UpperCasePair& pair : kUpperCasePairs) table[pair.character] = pair.upper;
  return table;
}

}  // namespace

const FoldTable& fold_table() {
  static const FoldTable table = build_fold_table();
  return table;
}

void fold_units(std::u16string_view text, char16_t* out) {
  const FoldTable& table = fold_table();
  const char16_t* in = text.data();
  const std::size_t size = text.size();
  std::size_t i = 0;
#ifdef WRENFOLD_SSE2
  // Blocks of ASCII are folded with arithmetic; the table is only consulted for the rest.
  const __m128i non_ascii_bits = _mm_set1_epi16(static_cast<short>(0xFF80));
  const __m128i before_a = _mm_set1_epi16('a' - 1);
  const __m128i after_z = _mm_set1_epi16('z' + 1);
  const __m128i case_bit = _mm_set1_epi16(0x20);
  while (i + 8 <= size) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, non_ascii_bits), _mm_setzero_si128())) !=
        0xFFFF) {
      for (std::size_t end = i + 8; i < end; ++i) out[i] = table[in[i]];
      continue;
    }
    const __m128i lower =
        _mm_and_si128(_mm_cmpgt_epi16(v, before_a), _mm_cmplt_epi16(v, after_z));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                     _mm_sub_epi16(v, _mm_and_si128(lower, case_bit)));
    i += 8;
  }
#endif
  for (; i < size; ++i) out[i] = table[in[i]];
}

std::u16string fold_text(std::u16string_view text) {
  std::u16string folded(text.size(), u'\0');
  fold_units(text, folded.data());
  return folded;
}

}  // namespace wrenfold
