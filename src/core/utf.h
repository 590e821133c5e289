#pragma once
// Small UTF-8 and UTF-16 building blocks shared by the codec and the POSIX platform side.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace wrenfold::utf {

constexpr char16_t kReplacementCharacter = 0xFFFD;

constexpr bool is_high_surrogate(char16_t unit) { return (unit & 0xFC00) == 0xD800; }
constexpr bool is_low_surrogate(char16_t unit) { return (unit & 0xFC00) == 0xDC00; }
constexpr bool is_surrogate(char16_t unit) { return (unit & 0xF800) == 0xD800; }

constexpr char32_t combine_surrogates(char16_t high, char16_t low) {
  return 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) +
         (static_cast<char32_t>(low) - 0xDC00);
}

struct CodePoint {
  char32_t value;
  std::size_t units;  // 2 for a surrogate pair, else 1
};

// The code point at `units[i]`; a surrogate without its partner reads as U+FFFD.
constexpr CodePoint code_point_at(const char16_t* units, std::size_t size, std::size_t i) {
  if (is_high_surrogate(units[i]) && i + 1 < size && is_low_surrogate(units[i + 1])) {
    return {combine_surrogates(units[i], units[i + 1]), 2};
  }
  return {is_surrogate(units[i]) ? char32_t{kReplacementCharacter} : char32_t{units[i]}, 1};
}

struct Utf8Sequence {
  char32_t code_point;
  std::size_t length;  // bytes consumed; for an ill-formed sequence, its maximal subpart
  bool valid;
};

// Decodes the sequence at `in` whose first byte is 0x80 or above. An ill-formed sequence is
// reported with the length of its maximal subpart, which one U+FFFD replaces.
constexpr Utf8Sequence decode_utf8_sequence(const std::uint8_t* in, std::size_t available) {
  const std::uint8_t lead = in[0];
  if (lead < 0xC2 || lead > 0xF4) return {0, 1, false};
  if (lead < 0xE0) {
    if (available < 2 || (in[1] & 0xC0) != 0x80) return {0, 1, false};
    return {static_cast<char32_t>(((lead & 0x1F) << 6) | (in[1] & 0x3F)), 2, true};
  }
  std::uint8_t second_low = 0x80;
  std::uint8_t second_high = 0xBF;
  if (lead == 0xE0) second_low = 0xA0;        // overlong
  else if (lead == 0xED) second_high = 0x9F;  // surrogates
  else if (lead == 0xF0) second_low = 0x90;   // overlong
  else if (lead == 0xF4) second_high = 0x8F;  // above U+10FFFF
  if (available < 2 || in[1] < second_low || in[1] > second_high) return {0, 1, false};
  if (available < 3 || (in[2] & 0xC0) != 0x80) return {0, 2, false};
  if (lead < 0xF0) {
    return {static_cast<char32_t>(((lead & 0x0F) << 12) | ((in[1] & 0x3F) << 6) | (in[2] & 0x3F)),
            3, true};
  }
  if (available < 4 || (in[3] & 0xC0) != 0x80) return {0, 3, false};
  return {static_cast<char32_t>(((lead & 0x07) << 18) | ((in[1] & 0x3F) << 12) |
                                ((in[2] & 0x3F) << 6) | (in[3] & 0x3F)),
          4, true};
}

// Appends the UTF-16 form of `code_point` at `out`; returns the number of units written.
constexpr std::size_t put_utf16(char32_t code_point, char16_t* out) {
  if (code_point < 0x10000) {
    out[0] = static_cast<char16_t>(code_point);
    return 1;
  }
  const char32_t offset = code_point - 0x10000;
  out[0] = static_cast<char16_t>(0xD800 + (offset >> 10));
  out[1] = static_cast<char16_t>(0xDC00 + (offset & 0x3FF));
  return 2;
}

// Writes the UTF-8 form of `code_point` (not a surrogate) at `out`; returns its length.
constexpr std::size_t put_utf8(char32_t code_point, std::uint8_t* out) {
  if (code_point < 0x80) {
    out[0] = static_cast<std::uint8_t>(code_point);
    return 1;
  }
  if (code_point < 0x800) {
    out[0] = static_cast<std::uint8_t>(0xC0 | (code_point >> 6));
    out[1] = static_cast<std::uint8_t>(0x80 | (code_point & 0x3F));
    return 2;
  }
  if (code_point < 0x10000) {
    out[0] = static_cast<std::uint8_t>(0xE0 | (code_point >> 12));
    out[1] = static_cast<std::uint8_t>(0x80 | ((code_point >> 6) & 0x3F));
    out[2] = static_cast<std::uint8_t>(0x80 | (code_point & 0x3F));
    return 3;
  }
  out[0] = static_cast<std::uint8_t>(0xF0 | (code_point >> 18));
  out[1] = static_cast<std::uint8_t>(0x80 | ((code_point >> 12) & 0x3F));
  out[2] = static_cast<std::uint8_t>(0x80 | ((code_point >> 6) & 0x3F));
  out[3] = static_cast<std::uint8_t>(0x80 | (code_point & 0x3F));
  return 4;
}

// `units` with every surrogate that lacks its partner replaced by U+FFFD, for text that
// is shown rather than stored.
inline std::u16string replace_lone_surrogates(std::u16string_view units) {
  std::u16string valid(units);
  for (std::size_t i = 0; i < valid.size(); ++i) {
    if (!is_surrogate(valid[i])) continue;
    if (is_high_surrogate(valid[i]) && i + 1 < valid.size() && is_low_surrogate(valid[i + 1])) {
      ++i;
    } else {
      valid[i] = kReplacementCharacter;
    }
  }
  return valid;
}

// UTF-8 to UTF-16 as it stands, line breaks untouched; each ill-formed sequence becomes one
// U+FFFD.
inline std::u16string utf16_from_utf8(std::span<const std::uint8_t> bytes) {
  std::u16string out(bytes.size(), u'\0');
  std::size_t o = 0;
  for (std::size_t i = 0; i < bytes.size();) {
    const Utf8Sequence sequence = bytes[i] < 0x80 ? Utf8Sequence{bytes[i], 1, true}
                                                  : decode_utf8_sequence(bytes.data() + i, bytes.size() - i);
    o += put_utf16(sequence.valid ? sequence.code_point : kReplacementCharacter, out.data() + o);
    i += sequence.length;
  }
  out.resize(o);
  return out;
}

}  // namespace wrenfold::utf
