#include "codec.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <optional>

#include "platform.h"
#include "utf.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define WRENFOLD_SSE2 1
#endif

namespace wrenfold {
namespace {

constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';
constexpr char16_t kReplacement = utf::kReplacementCharacter;
constexpr std::size_t kUtf16GuessSampleBytes = 4096;

using utf::is_high_surrogate;
using utf::is_low_surrogate;
using utf::is_surrogate;

// Index of the first CR or LF, or `size` when there is none.
template <typename Unit>
std::size_t find_line_break(const Unit* units, std::size_t size) {
  std::size_t i = 0;
#ifdef WRENFOLD_SSE2
  if constexpr (sizeof(Unit) == 1) {
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    for (; i + 16 <= size; i += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
      const int hits = _mm_movemask_epi8(
          _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
      if (hits != 0) return i + std::countr_zero(static_cast<unsigned>(hits));
    }
  } else {
    const __m128i cr = _mm_set1_epi16('\r');
    const __m128i lf = _mm_set1_epi16('\n');
    for (; i + 8 <= size; i += 8) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
      const int hits = _mm_movemask_epi8(
          _mm_or_si128(_mm_cmpeq_epi16(v, cr), _mm_cmpeq_epi16(v, lf)));
      if (hits != 0) return i + std::countr_zero(static_cast<unsigned>(hits)) / 2;
    }
  }
#endif
  for (; i < size; ++i) {
    if (units[i] == '\r' || units[i] == '\n') return i;
  }
  return size;
}

// Only the first line break counts.
template <typename Unit>
LineEnding detect_line_ending(const Unit* units, std::size_t size) {
  const std::size_t at = find_line_break(units, size);
  if (at == size) return LineEnding::Windows;
  if (units[at] == '\n') return LineEnding::Unix;
  if (at + 1 < size && units[at + 1] == '\n') return LineEnding::Windows;
  return LineEnding::Macintosh;
}

// What the first 4096 bytes say, whatever the length of the whole.
std::optional<Encoding> guess_utf16_from_sample(std::span<const std::uint8_t> bytes) {
  const std::size_t pairs = std::min(bytes.size(), kUtf16GuessSampleBytes) / 2;
  std::size_t even_zeros = 0;
  std::size_t odd_zeros = 0;
  for (std::size_t i = 0; i < pairs; ++i) {
    even_zeros += bytes[2 * i] == 0;
    odd_zeros += bytes[2 * i + 1] == 0;
  }
  const double n = static_cast<double>(pairs);
  if (static_cast<double>(odd_zeros) > 0.4 * n && static_cast<double>(even_zeros) < 0.05 * n) {
    return Encoding::Utf16Le;
  }
  if (static_cast<double>(even_zeros) > 0.4 * n && static_cast<double>(odd_zeros) < 0.05 * n) {
    return Encoding::Utf16Be;
  }
  return std::nullopt;
}

std::optional<Encoding> guess_utf16(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < 4 || bytes.size() % 2 != 0) return std::nullopt;
  return guess_utf16_from_sample(bytes);
}

bool has_utf8_bom(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF;
}

bool has_utf16_bom(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= 2 &&
         ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF));
}

// Code units are copied as they stand, lone surrogates included; an odd last byte
// becomes one U+FFFD.
std::u16string copy_utf16(std::span<const std::uint8_t> bytes, bool big_endian) {
  const std::size_t units = bytes.size() / 2;
  const bool odd_byte = bytes.size() % 2 != 0;
  std::u16string text(units + (odd_byte ? 1 : 0), u'\0');
  char16_t* out = text.data();
  const std::uint8_t* in = bytes.data();
  const bool native_order = big_endian == (std::endian::native == std::endian::big);
  if (native_order) {
    if (units != 0) std::memcpy(out, in, units * 2);
  } else {
    for (std::size_t i = 0; i < units; ++i) {
      out[i] = static_cast<char16_t>((in[2 * i] << 8) | in[2 * i + 1]);
    }
  }
  if (odd_byte) out[units] = kReplacement;
  return text;
}

enum class Utf8Errors { Replace, Reject };

struct PieceDecoded {
  std::size_t consumed = 0;  // bytes of the piece used
  std::size_t produced = 0;  // units written
  bool valid = true;         // false once Reject met an ill-formed sequence
  std::size_t replaced = 0;  // ill-formed sequences that Replace turned into U+FFFD
};

// UTF-8 to CR-only UTF-16. Every byte gives at most one unit, so `out` needs room for as
// many units as the piece has bytes, and the output never overtakes the input. Unless the
// piece is the `last`, a sequence that its end may cut off is left for the next piece.
// `previous` is the byte before the piece, which pairs a CR with an LF across pieces; it is
// updated to the last byte used.
template <Utf8Errors errors>
PieceDecoded decode_utf8_piece(std::span<const std::uint8_t> piece, bool last,
                               std::uint8_t& previous, char16_t* out) {
  const std::uint8_t* in = piece.data();
  const std::size_t size = piece.size();
  std::size_t i = 0;
  std::size_t o = 0;
  bool valid = true;
  std::size_t replaced = 0;
  while (i < size) {
#ifdef WRENFOLD_SSE2
    // Runs of ASCII go sixteen at a time; the block stops at the first LF or non-ASCII
    // byte. Writing all sixteen units is safe because o + 16 <= i + 16 <= size.
    if (i + 16 <= size) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
      const __m128i zero = _mm_setzero_si128();
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + o), _mm_unpacklo_epi8(v, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out + o + 8), _mm_unpackhi_epi8(v, zero));
      const unsigned stops = static_cast<unsigned>(
          _mm_movemask_epi8(v) | _mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))));
      if (stops == 0) {
        i += 16;
        o += 16;
        continue;
      }
      const unsigned ascii_run = static_cast<unsigned>(std::countr_zero(stops));
      i += ascii_run;
      o += ascii_run;
    }
#endif
    const std::uint8_t byte = in[i];
    if (byte < 0x80) {
      if (byte == '\n') {
        const std::uint8_t before = i == 0 ? previous : in[i - 1];
        if (before != '\r') out[o++] = kCr;
      } else {
        out[o++] = byte;
      }
      ++i;
      continue;
    }
    if (!last && size - i < 4) break;
    // The common two- and three-byte forms first, checked as decode_utf8_sequence would.
    if (byte >= 0xC2 && byte < 0xE0 && i + 1 < size && (in[i + 1] & 0xC0) == 0x80) {
      out[o++] = static_cast<char16_t>(((byte & 0x1F) << 6) | (in[i + 1] & 0x3F));
      i += 2;
      continue;
    }
    if (byte > 0xE0 && byte < 0xF0 && byte != 0xED && i + 2 < size &&
        (in[i + 1] & 0xC0) == 0x80 && (in[i + 2] & 0xC0) == 0x80) {
      out[o++] = static_cast<char16_t>(((byte & 0x0F) << 12) | ((in[i + 1] & 0x3F) << 6) |
                                       (in[i + 2] & 0x3F));
      i += 3;
      continue;
    }
    const utf::Utf8Sequence sequence = utf::decode_utf8_sequence(in + i, size - i);
    if (sequence.valid) {
      o += utf::put_utf16(sequence.code_point, out + o);
    } else {
      if constexpr (errors == Utf8Errors::Reject) {
        valid = false;
        break;
      }
      out[o++] = kReplacement;
      ++replaced;
    }
    i += sequence.length;
  }
  if (i != 0) previous = in[i - 1];
  return {i, o, valid, replaced};
}

// The whole of `bytes`; not valid when `errors` is Reject and the input is ill-formed.
template <Utf8Errors errors>
PieceDecoded decode_utf8(std::span<const std::uint8_t> bytes, std::u16string& text) {
  text.resize(bytes.size());
  std::uint8_t previous = 0;
  const PieceDecoded decoded = decode_utf8_piece<errors>(bytes, true, previous, text.data());
  text.resize(decoded.produced);
  return decoded;
}

void finish_decoded_utf16(DecodedText& decoded) {
  decoded.line_ending = detect_line_ending(decoded.text.data(), decoded.text.size());
  decoded.text = normalize_line_breaks(std::move(decoded.text));
}

// Line breaks as they come out of normalisation and expansion: CR and lone LF are one
// break each, the LF of a CR LF pair disappears.
struct LineBreakCounts {
  std::size_t breaks = 0;
  std::size_t paired_lfs = 0;
};

std::span<const std::uint8_t> line_break_bytes(LineEnding line_ending) {
  static constexpr std::uint8_t kCrLf[] = {'\r', '\n'};
  static constexpr std::uint8_t kLfOnly[] = {'\n'};
  static constexpr std::uint8_t kCrOnly[] = {'\r'};
  switch (line_ending) {
    case LineEnding::Windows: return kCrLf;
    case LineEnding::Unix: return kLfOnly;
    case LineEnding::Macintosh: return kCrOnly;
  }
  return kCrOnly;
}

std::size_t units_after_expansion(std::size_t size, const LineBreakCounts& counts,
                                  LineEnding line_ending) {
  const std::size_t normalized = size - counts.paired_lfs;
  return line_ending == LineEnding::Windows ? normalized + counts.breaks : normalized;
}

// The LF of a CR LF pair writes nothing: the CR already stood for the break.
bool is_paired_lf(std::u16string_view text, std::size_t i) {
  return text[i] == kLf && i > 0 && text[i - 1] == kCr;
}

LineBreakCounts count_line_breaks(std::u16string_view text) {
  const char16_t* p = text.data();
  const std::size_t size = text.size();
  std::size_t crs = 0;
  std::size_t lfs = 0;
  std::size_t paired = 0;
  if (size != 0) {
    crs = p[0] == kCr;
    lfs = p[0] == kLf;
  }
  for (std::size_t i = 1; i < size; ++i) {
    crs += p[i] == kCr;
    lfs += p[i] == kLf;
    paired += (p[i] == kLf) & (p[i - 1] == kCr);
  }
  return {crs + lfs - paired, paired};
}

// Encodes `text` from unit `i` into `out` until the text ends or the next character does
// not fit; moves `i` past what was encoded and returns the bytes written.
std::size_t encode_utf16_piece(std::u16string_view text, LineEnding line_ending, bool big_endian,
                               std::size_t& i, std::span<std::uint8_t> out) {
  std::uint8_t* bytes = out.data();
  const std::size_t capacity = out.size();
  const auto put = [big_endian](std::uint8_t* at, char16_t unit) {
    const std::uint8_t high = static_cast<std::uint8_t>(unit >> 8);
    const std::uint8_t low = static_cast<std::uint8_t>(unit & 0xFF);
    at[0] = big_endian ? high : low;
    at[1] = big_endian ? low : high;
  };
  const std::span<const std::uint8_t> break_bytes = line_break_bytes(line_ending);
  const char16_t* p = text.data();
  const std::size_t size = text.size();
  std::size_t o = 0;
  while (i < size) {
#ifdef WRENFOLD_SSE2
    if (i + 8 <= size && o + 16 <= capacity) {
      __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
      const unsigned stops = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
          _mm_cmpeq_epi16(v, _mm_set1_epi16('\r')), _mm_cmpeq_epi16(v, _mm_set1_epi16('\n')))));
      if (big_endian) v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes + o), v);
      const unsigned run = stops == 0 ? 8 : static_cast<unsigned>(std::countr_zero(stops)) / 2;
      i += run;
      o += 2 * run;
      if (run == 8) continue;
    }
#endif
    const char16_t unit = p[i];
    if (unit == kCr || unit == kLf) {
      if (!is_paired_lf(text, i)) {
        if (o + 2 * break_bytes.size() > capacity) break;
        for (std::uint8_t b : break_bytes) {
          put(bytes + o, b);
          o += 2;
        }
      }
    } else {
      if (o + 2 > capacity) break;
      put(bytes + o, unit);
      o += 2;
    }
    ++i;
  }
  return o;
}

std::span<const std::uint8_t> byte_order_mark(Encoding encoding) {
  static constexpr std::uint8_t kUtf8[] = {0xEF, 0xBB, 0xBF};
  static constexpr std::uint8_t kUtf16Le[] = {0xFF, 0xFE};
  static constexpr std::uint8_t kUtf16Be[] = {0xFE, 0xFF};
  switch (encoding) {
    case Encoding::Utf8Bom: return kUtf8;
    case Encoding::Utf16Le: return kUtf16Le;
    case Encoding::Utf16Be: return kUtf16Be;
    case Encoding::Utf8:
    case Encoding::Ansi: break;
  }
  return {};
}

std::vector<std::uint8_t> encode_utf16(std::u16string_view text, LineEnding line_ending,
                                       bool big_endian) {
  const std::span<const std::uint8_t> mark =
      byte_order_mark(big_endian ? Encoding::Utf16Be : Encoding::Utf16Le);
  const LineBreakCounts counts = count_line_breaks(text);
  std::vector<std::uint8_t> bytes(mark.size() + 2 * units_after_expansion(text.size(), counts, line_ending));
  std::copy(mark.begin(), mark.end(), bytes.begin());
  std::size_t i = 0;
  encode_utf16_piece(text, line_ending, big_endian, i, std::span(bytes).subspan(mark.size()));
  return bytes;
}

// The exact UTF-8 size after normalisation and expansion, counted in one pass that the
// compiler vectorises.
std::size_t utf8_length(std::u16string_view text, LineEnding line_ending) {
  const char16_t* p = text.data();
  const std::size_t size = text.size();
  if (size == 0) return 0;
  std::size_t bytes = 1 + (p[0] >= 0x80) + (p[0] >= 0x800);
  std::size_t crs = p[0] == kCr;
  std::size_t lfs = p[0] == kLf;
  std::size_t paired_lfs = 0;
  std::size_t surrogate_pairs = 0;
  for (std::size_t i = 1; i < size; ++i) {
    const char16_t unit = p[i];
    const char16_t previous = p[i - 1];
    bytes += 1 + (unit >= 0x80) + (unit >= 0x800);
    crs += unit == kCr;
    lfs += unit == kLf;
    paired_lfs += (unit == kLf) & (previous == kCr);
    surrogate_pairs += static_cast<std::size_t>(is_low_surrogate(unit)) & is_high_surrogate(previous);
  }
  // A pair counted as 3 + 3 takes 4 bytes; the LF of a CR LF pair disappears.
  bytes = bytes - 2 * surrogate_pairs - paired_lfs;
  if (line_ending == LineEnding::Windows) bytes += crs + lfs - paired_lfs;
  return bytes;
}

std::size_t utf8_length_of(char32_t code_point) {
  return code_point < 0x80 ? 1 : code_point < 0x800 ? 2 : code_point < 0x10000 ? 3 : 4;
}

// Like encode_utf16_piece; unpaired surrogates become U+FFFD.
std::size_t encode_utf8_piece(std::u16string_view text, LineEnding line_ending, std::size_t& i,
                              std::span<std::uint8_t> out) {
  std::uint8_t* bytes = out.data();
  const std::size_t capacity = out.size();
  const std::span<const std::uint8_t> break_bytes = line_break_bytes(line_ending);
  const char16_t* p = text.data();
  const std::size_t size = text.size();
  std::size_t o = 0;
  while (i < size) {
#ifdef WRENFOLD_SSE2
    if (i + 16 <= size && o + 16 <= capacity) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 8));
      const __m128i zero = _mm_setzero_si128();
      const __m128i non_ascii_bits = _mm_set1_epi16(static_cast<short>(0xFF80));
      const __m128i ascii = _mm_packs_epi16(_mm_cmpeq_epi16(_mm_and_si128(a, non_ascii_bits), zero),
                                            _mm_cmpeq_epi16(_mm_and_si128(b, non_ascii_bits), zero));
      const __m128i packed = _mm_packus_epi16(a, b);
      const unsigned breaks = static_cast<unsigned>(_mm_movemask_epi8(
          _mm_or_si128(_mm_cmpeq_epi8(packed, _mm_set1_epi8('\r')),
                       _mm_cmpeq_epi8(packed, _mm_set1_epi8('\n')))));
      const unsigned stops = (~static_cast<unsigned>(_mm_movemask_epi8(ascii)) & 0xFFFF) | breaks;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes + o), packed);
      const unsigned run = stops == 0 ? 16 : static_cast<unsigned>(std::countr_zero(stops));
      i += run;
      o += run;
      if (run == 16) continue;
    }
#endif
    const char16_t unit = p[i];
    if (unit == kCr || unit == kLf) {
      if (!is_paired_lf(text, i)) {
        if (o + break_bytes.size() > capacity) break;
        for (std::uint8_t b : break_bytes) bytes[o++] = b;
      }
      ++i;
    } else if (unit < 0x80) {
      if (o == capacity) break;
      bytes[o++] = static_cast<std::uint8_t>(unit);
      ++i;
    } else if (unit < 0x800) {
      if (o + 2 > capacity) break;
      bytes[o++] = static_cast<std::uint8_t>(0xC0 | (unit >> 6));
      bytes[o++] = static_cast<std::uint8_t>(0x80 | (unit & 0x3F));
      ++i;
    } else if (!is_surrogate(unit)) {
      if (o + 3 > capacity) break;
      bytes[o++] = static_cast<std::uint8_t>(0xE0 | (unit >> 12));
      bytes[o++] = static_cast<std::uint8_t>(0x80 | ((unit >> 6) & 0x3F));
      bytes[o++] = static_cast<std::uint8_t>(0x80 | (unit & 0x3F));
      ++i;
    } else {
      const utf::CodePoint code_point = utf::code_point_at(p, size, i);
      if (o + utf8_length_of(code_point.value) > capacity) break;
      o += utf::put_utf8(code_point.value, bytes + o);
      i += code_point.units;
    }
  }
  return o;
}

std::vector<std::uint8_t> encode_utf8(std::u16string_view text, LineEnding line_ending,
                                      Encoding encoding) {
  const std::span<const std::uint8_t> mark = byte_order_mark(encoding);
  std::vector<std::uint8_t> bytes(mark.size() + utf8_length(text, line_ending));
  std::copy(mark.begin(), mark.end(), bytes.begin());
  std::size_t i = 0;
  encode_utf8_piece(text, line_ending, i, std::span(bytes).subspan(mark.size()));
  return bytes;
}

std::u16string expand_line_breaks(std::u16string_view text, LineEnding line_ending) {
  const LineBreakCounts counts = count_line_breaks(text);
  std::u16string expanded;
  expanded.reserve(units_after_expansion(text.size(), counts, line_ending));
  const std::span<const std::uint8_t> break_bytes = line_break_bytes(line_ending);
  const auto write_break = [&] {
    for (std::uint8_t b : break_bytes) expanded.push_back(b);
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == kCr || text[i] == kLf) {
      if (!is_paired_lf(text, i)) write_break();
    } else {
      expanded.push_back(text[i]);
    }
  }
  return expanded;
}

bool has_unpaired_surrogate(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (is_high_surrogate(text[i]) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) {
      ++i;
    } else if (is_surrogate(text[i])) {
      return true;
    }
  }
  return false;
}

// A file is read in pieces this large: small enough to stay in the cache, large enough that
// the calls cost nothing next to the copying.
constexpr std::size_t kPieceBytes = std::size_t{1} << 16;

// Reads until `buffer` is full from `at` on, or the source ends; gives the bytes now held.
Result<std::size_t> fill_buffer(ByteSource& source, std::span<std::uint8_t> buffer, std::size_t at,
                                bool& ended) {
  while (at < buffer.size()) {
    const Result<std::size_t> count = source.read(buffer.subspan(at));
    if (!count) return count.error();
    if (*count == 0) {
      ended = true;
      break;
    }
    at += *count;
  }
  return at;
}

Result<DecodedText> decode_whole_source(ByteSource& source) {
  if (Result<void> rewound = source.rewind(); !rewound) return rewound.error();
  std::vector<std::uint8_t> bytes;
  bool ended = false;
  while (!ended) {
    const std::size_t held = bytes.size();
    bytes.resize(held + kPieceBytes);
    const Result<std::size_t> filled = fill_buffer(source, bytes, held, ended);
    if (!filled) return filled.error();
    bytes.resize(*filled);
  }
  return decode_file_bytes(bytes);
}

// detect_line_ending for bytes that arrive in pieces: only the first break counts.
class LineEndingWatch {
 public:
  void look_at(std::span<const std::uint8_t> bytes) {
    if (found_ || bytes.empty()) return;
    if (pending_cr_) {
      found_ = bytes[0] == '\n' ? LineEnding::Windows : LineEnding::Macintosh;
      return;
    }
    const std::size_t at = find_line_break(bytes.data(), bytes.size());
    if (at == bytes.size()) return;
    if (bytes[at] == '\n') {
      found_ = LineEnding::Unix;
    } else if (at + 1 < bytes.size()) {
      found_ = bytes[at + 1] == '\n' ? LineEnding::Windows : LineEnding::Macintosh;
    } else {
      pending_cr_ = true;  // the next piece tells
    }
  }

  LineEnding at_end() const {
    if (found_) return *found_;
    return pending_cr_ ? LineEnding::Macintosh : LineEnding::Windows;
  }

 private:
  std::optional<LineEnding> found_;
  bool pending_cr_ = false;
};

}  // namespace

DecodedText decode_file_bytes(std::span<const std::uint8_t> bytes) {
  DecodedText decoded;
  if (has_utf8_bom(bytes)) {
    const std::span<const std::uint8_t> content = bytes.subspan(3);
    decoded.encoding = Encoding::Utf8Bom;
    decoded.line_ending = detect_line_ending(content.data(), content.size());
    decoded.replaced_sequences = decode_utf8<Utf8Errors::Replace>(content, decoded.text).replaced;
    return decoded;
  }
  if (has_utf16_bom(bytes)) {
    decoded.encoding = bytes[0] == 0xFF ? Encoding::Utf16Le : Encoding::Utf16Be;
    decoded.text = copy_utf16(bytes.subspan(2), decoded.encoding == Encoding::Utf16Be);
    decoded.replaced_sequences = bytes.size() % 2;  // the odd last byte
    finish_decoded_utf16(decoded);
    return decoded;
  }
  if (const std::optional<Encoding> guessed = guess_utf16(bytes)) {
    decoded.encoding = *guessed;
    decoded.text = copy_utf16(bytes, *guessed == Encoding::Utf16Be);
    finish_decoded_utf16(decoded);
    return decoded;
  }
  // UTF-8 bytes map CR and LF to themselves, so the style can be read off the bytes.
  decoded.line_ending = detect_line_ending(bytes.data(), bytes.size());
  if (decode_utf8<Utf8Errors::Reject>(bytes, decoded.text).valid) {
    decoded.encoding = Encoding::Utf8;
    return decoded;
  }
  decoded.text = std::u16string();  // let go of the UTF-8 attempt before converting again
  decoded.encoding = Encoding::Ansi;
  decoded.text = platform::ansi_to_utf16(bytes);
  // No code page but UTF-8 has bytes for U+FFFD, and a UTF-8 file that came here is
  // ill-formed: every U+FFFD is the system's stand-in for bytes it couldn't map.
  decoded.replaced_sequences =
      static_cast<std::size_t>(std::count(decoded.text.begin(), decoded.text.end(), kReplacement));
  finish_decoded_utf16(decoded);
  return decoded;
}

Result<DecodedText> decode_byte_source(ByteSource& source, std::uint64_t expected_size) {
  if (Result<void> rewound = source.rewind(); !rewound) return rewound.error();
  std::vector<std::uint8_t> buffer(kPieceBytes);
  bool ended = false;
  const Result<std::size_t> first = fill_buffer(source, buffer, 0, ended);
  if (!first) return first.error();
  const std::span<const std::uint8_t> start(buffer.data(), *first);
  if (ended) return decode_file_bytes(start);
  // Only UTF-8 goes piece by piece; anything else is rare enough to be read whole.
  const bool utf8_bom = has_utf8_bom(start);
  if (!utf8_bom && (has_utf16_bom(start) || guess_utf16_from_sample(start))) {
    return decode_whole_source(source);
  }

  DecodedText decoded;
  decoded.encoding = utf8_bom ? Encoding::Utf8Bom : Encoding::Utf8;
  // Every byte gives at most one unit; a file that grows meanwhile makes the text grow.
  decoded.text.resize(static_cast<std::size_t>(
      std::min<std::uint64_t>(expected_size, std::numeric_limits<std::size_t>::max() / 4)));
  std::size_t produced = 0;
  std::uint8_t previous = 0;
  LineEndingWatch line_ending;
  std::size_t begin = utf8_bom ? 3 : 0;
  std::size_t held = *first;
  line_ending.look_at(start.subspan(begin));
  while (true) {
    const std::span<const std::uint8_t> piece(buffer.data() + begin, held - begin);
    if (decoded.text.size() - produced < piece.size()) {
      decoded.text.resize(std::max(produced + piece.size(), decoded.text.size() + decoded.text.size() / 2));
    }
    char16_t* out = decoded.text.data() + produced;
    const PieceDecoded result =
        utf8_bom ? decode_utf8_piece<Utf8Errors::Replace>(piece, ended, previous, out)
                 : decode_utf8_piece<Utf8Errors::Reject>(piece, ended, previous, out);
    if (!result.valid) {
      decoded.text = std::u16string();  // let go of the UTF-8 attempt before reading again
      return decode_whole_source(source);
    }
    produced += result.produced;
    decoded.replaced_sequences += result.replaced;
    if (ended) break;
    // What the piece's end cut off starts the next piece.
    const std::size_t carried = piece.size() - result.consumed;
    std::memmove(buffer.data(), piece.data() + result.consumed, carried);
    const Result<std::size_t> filled = fill_buffer(source, buffer, carried, ended);
    if (!filled) return filled.error();
    line_ending.look_at(std::span<const std::uint8_t>(buffer.data() + carried, *filled - carried));
    begin = 0;
    held = *filled;
  }
  decoded.text.resize(produced);
  decoded.line_ending = line_ending.at_end();
  return decoded;
}

SaveEncoder::SaveEncoder(std::u16string_view text, Encoding encoding, LineEnding line_ending)
    : text_(text), encoding_(encoding), line_ending_(line_ending) {}

Result<std::size_t> SaveEncoder::read(std::span<std::uint8_t> buffer) {
  std::size_t written = 0;
  if (!mark_written_) {
    const std::span<const std::uint8_t> mark = byte_order_mark(encoding_);
    std::copy(mark.begin(), mark.end(), buffer.begin());
    written = mark.size();
    mark_written_ = true;
  }
  const std::span<std::uint8_t> rest = buffer.subspan(written);
  switch (encoding_) {
    case Encoding::Utf8:
    case Encoding::Utf8Bom:
      return written + encode_utf8_piece(text_, line_ending_, position_, rest);
    case Encoding::Utf16Le:
    case Encoding::Utf16Be:
      return written + encode_utf16_piece(text_, line_ending_, encoding_ == Encoding::Utf16Be,
                                          position_, rest);
    case Encoding::Ansi: {
      // The system converts in one call; `position_` counts bytes here.
      if (!ansi_) ansi_ = encode_for_save(text_, Encoding::Ansi, line_ending_);
      const std::size_t count = std::min(rest.size(), ansi_->size() - position_);
      std::copy_n(ansi_->begin() + static_cast<std::ptrdiff_t>(position_), count, rest.begin());
      position_ += count;
      return written + count;
    }
  }
  return written;
}

Result<void> SaveEncoder::rewind() {
  position_ = 0;
  mark_written_ = false;
  return {};
}

std::u16string normalize_line_breaks(std::u16string units) {
  const std::size_t first_lf = units.find(kLf);
  if (first_lf == std::u16string::npos) return units;
  char16_t* p = units.data();
  const std::size_t size = units.size();
  // The previous unit is remembered as it was read: the compaction overwrites in place.
  char16_t previous = first_lf > 0 ? p[first_lf - 1] : u'\0';
  std::size_t o = first_lf;
  for (std::size_t i = first_lf; i < size; ++i) {
    const char16_t unit = p[i];
    if (unit == kLf) {
      if (previous != kCr) p[o++] = kCr;
    } else {
      p[o++] = unit;
    }
    previous = unit;
  }
  units.resize(o);
  return units;
}

std::vector<std::uint8_t> encode_for_save(std::u16string_view text, Encoding encoding,
                                          LineEnding line_ending) {
  switch (encoding) {
    case Encoding::Utf8:
    case Encoding::Utf8Bom: return encode_utf8(text, line_ending, encoding);
    case Encoding::Utf16Le: return encode_utf16(text, line_ending, false);
    case Encoding::Utf16Be: return encode_utf16(text, line_ending, true);
    case Encoding::Ansi:
      if (text.empty()) return {};
      return platform::utf16_to_ansi(expand_line_breaks(text, line_ending));
  }
  return {};
}

bool ansi_would_lose_characters(std::u16string_view text) {
  if (text.empty()) return false;
  if (platform::ansi_code_page() == 65001) {
    const bool any_surrogate = std::any_of(text.begin(), text.end(), is_surrogate);
    return any_surrogate && has_unpaired_surrogate(text);
  }
  return platform::ansi_conversion_uses_default_char(text);
}

std::u16string_view encoding_display_name(Encoding encoding) {
  switch (encoding) {
    case Encoding::Utf8: return u"UTF-8";
    case Encoding::Utf8Bom: return u"UTF-8 with BOM";
    case Encoding::Utf16Le: return u"UTF-16 LE";
    case Encoding::Utf16Be: return u"UTF-16 BE";
    case Encoding::Ansi: return u"ANSI";
  }
  return u"UTF-8";
}

std::u16string_view line_ending_display_name(LineEnding line_ending) {
  switch (line_ending) {
    case LineEnding::Windows: return u"Windows (CRLF)";
    case LineEnding::Unix: return u"Unix (LF)";
    case LineEnding::Macintosh: return u"Macintosh (CR)";
  }
  return u"Windows (CRLF)";
}

}  // namespace wrenfold
