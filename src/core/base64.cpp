#include "base64.h"

#include "white_space.h"

namespace wrenfold {
namespace {

constexpr int kNotInAlphabet = -1;

constexpr int sextet_of(char16_t unit) {
  if (unit >= u'A' && unit <= u'Z') return unit - u'A';
  if (unit >= u'a' && unit <= u'z') return unit - u'a' + 26;
  if (unit >= u'0' && unit <= u'9') return unit - u'0' + 52;
  if (unit == u'+') return 62;
  if (unit == u'/') return 63;
  return kNotInAlphabet;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> decode_base64(std::u16string_view text) {
  text = trim_white_space(text);
  if (text.size() % 4 != 0) return std::nullopt;
  std::size_t padding = 0;
  if (!text.empty() && text.back() == u'=') ++padding;
  if (text.size() >= 2 && text[text.size() - 2] == u'=') ++padding;
  // Any other "=" is left among the data characters, where the alphabet refuses it.

  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size() / 4 * 3);
  const std::size_t data_length = text.size() - padding;
  std::uint32_t bits = 0;
  int bit_count = 0;
  for (std::size_t i = 0; i < data_length; ++i) {
    const int sextet = sextet_of(text[i]);
    if (sextet == kNotInAlphabet) return std::nullopt;
    bits = (bits << 6) | static_cast<std::uint32_t>(sextet);
    bit_count += 6;
    if (bit_count >= 8) {
      bit_count -= 8;
      bytes.push_back(static_cast<std::uint8_t>(bits >> bit_count));
      bits &= (1u << bit_count) - 1;
    }
  }
  // Bits left over in the last character must be zero, so that each byte string has exactly
  // one spelling.
  if (bits != 0) return std::nullopt;
  return bytes;
}

}  // namespace wrenfold
