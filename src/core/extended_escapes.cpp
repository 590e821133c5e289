#include "extended_escapes.h"

#include <optional>

namespace wrenfold {
namespace {

constexpr char16_t kBackslash = u'\\';

std::optional<unsigned> digit_value(char16_t unit, unsigned radix) {
  unsigned value = 0;
  if (unit >= u'0' && unit <= u'9') {
    value = unit - u'0';
  } else if (unit >= u'a' && unit <= u'z') {
    value = unit - u'a' + 10;
  } else if (unit >= u'A' && unit <= u'Z') {
    value = unit - u'A' + 10;
  } else {
    return std::nullopt;
  }
  if (value >= radix) return std::nullopt;
  return value;
}

struct NumericEscape {
  unsigned radix;
  std::size_t digits;
};

std::optional<NumericEscape> numeric_escape(char16_t letter) {
  switch (letter) {
    case u'x': return NumericEscape{16, 2};
    case u'u': return NumericEscape{16, 4};
    case u'o': return NumericEscape{8, 3};
    case u'd': return NumericEscape{10, 3};
    case u'b': return NumericEscape{2, 8};
    default: return std::nullopt;
  }
}

// The value of exactly `escape.digits` digits at `digits`, or nothing when there are too
// few units or one of them is not a digit of the radix.
std::optional<char16_t> read_number(std::u16string_view digits, NumericEscape escape) {
  if (digits.size() < escape.digits) return std::nullopt;
  unsigned value = 0;
  for (std::size_t i = 0; i < escape.digits; ++i) {
    const std::optional<unsigned> digit = digit_value(digits[i], escape.radix);
    if (!digit) return std::nullopt;
    value = value * escape.radix + *digit;
  }
  return static_cast<char16_t>(value);
}

}  // namespace

const std::u16string_view kExtendedHelpText =
    u"\\n, \\r\tLine break\r\n"
    u"\\t\tTab\r\n"
    u"\\0\tNull character\r\n"
    u"\\\\\tBackslash\r\n"
    u"\\xHH, \\uHHHH\tCharacter by hex code\r\n"
    u"\\oNNN, \\dNNN, \\bNNNNNNNN\tBy octal, decimal or binary code";

std::u16string parse_extended(std::u16string_view text) {
  if (text.find(kBackslash) == std::u16string_view::npos) return std::u16string(text);
  std::u16string result;
  result.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const char16_t unit = text[i];
    if (unit != kBackslash || i + 1 == text.size()) {
      result += unit;
      ++i;
      continue;
    }
    const char16_t letter = text[i + 1];
    switch (letter) {
      case u'0': result += u'\0'; i += 2; continue;
      case u'\\': result += kBackslash; i += 2; continue;
      case u'n': result += u'\n'; i += 2; continue;
      case u'r': result += u'\r'; i += 2; continue;
      case u't': result += u'\t'; i += 2; continue;
      default: break;
    }
    if (const std::optional<NumericEscape> escape = numeric_escape(letter)) {
      if (const std::optional<char16_t> value = read_number(text.substr(i + 2), *escape)) {
        result += *value;
        i += 2 + escape->digits;
        continue;
      }
    }
    // No escape: the backslash stands for itself and the next unit is read as usual.
    result += kBackslash;
    ++i;
  }
  return result;
}

}  // namespace wrenfold
