// POSIX stand-ins for the system services. The ANSI code page is one of the two that
// matter most on Windows desktops, 1252 or 65001, chosen by use_ansi_code_page.

#include <array>

#include "platform.h"
#include "utf.h"

namespace wrenfold::platform {
namespace {

constexpr unsigned kWesternEuropean = 1252;
constexpr unsigned kUtf8 = 65001;

unsigned selected_code_page = kWesternEuropean;
std::u16string selected_thousands_separator = u",";

// Bytes 0x80 to 0x9F of code page 1252. The five holes map to the C1 controls, as
// Windows' own conversion does.
constexpr std::array<char16_t, 32> kWindows1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char16_t windows_1252_to_unit(std::uint8_t byte) {
  if (byte >= 0x80 && byte < 0xA0) return kWindows1252High[byte - 0x80];
  return byte;
}

// The byte for a unit, or nothing when 1252 has no such character.
bool unit_to_windows_1252(char16_t unit, std::uint8_t& byte) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
    byte = static_cast<std::uint8_t>(unit);
    return true;
  }
  for (std::size_t i = 0; i < kWindows1252High.size(); ++i) {
    if (kWindows1252High[i] == unit) {
      byte = static_cast<std::uint8_t>(0x80 + i);
      return true;
    }
  }
  return false;
}

std::u16string utf8_to_utf16_replacing(std::span<const std::uint8_t> bytes) {
  std::u16string text(bytes.size(), u'\0');
  std::size_t o = 0;
  for (std::size_t i = 0; i < bytes.size();) {
    if (bytes[i] < 0x80) {
      text[o++] = bytes[i++];
      continue;
    }
    const utf::Utf8Sequence sequence = utf::decode_utf8_sequence(bytes.data() + i, bytes.size() - i);
    o += sequence.valid ? utf::put_utf16(sequence.code_point, text.data() + o)
                        : utf::put_utf16(utf::kReplacementCharacter, text.data() + o);
    i += sequence.length;
  }
  text.resize(o);
  return text;
}

std::vector<std::uint8_t> utf16_to_utf8_replacing(std::u16string_view text) {
  std::vector<std::uint8_t> bytes(text.size() * 3);
  std::size_t o = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t code_point = text[i];
    if (utf::is_high_surrogate(text[i]) && i + 1 < text.size() &&
        utf::is_low_surrogate(text[i + 1])) {
      code_point = utf::combine_surrogates(text[i], text[i + 1]);
      ++i;
    } else if (utf::is_surrogate(text[i])) {
      code_point = utf::kReplacementCharacter;
    }
    o += utf::put_utf8(code_point, bytes.data() + o);
  }
  bytes.resize(o);
  return bytes;
}

// One '?' for each character 1252 cannot hold, a surrogate pair counting as one.
std::vector<std::uint8_t> utf16_to_windows_1252(std::u16string_view text, bool& lost) {
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size());
  lost = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint8_t byte = '?';
    if (!unit_to_windows_1252(text[i], byte)) {
      lost = true;
      if (utf::is_high_surrogate(text[i]) && i + 1 < text.size() &&
          utf::is_low_surrogate(text[i + 1])) {
        ++i;
      }
    }
    bytes.push_back(byte);
  }
  return bytes;
}

}  // namespace

unsigned ansi_code_page() { return selected_code_page; }

bool use_ansi_code_page(unsigned code_page) {
  if (code_page != kWesternEuropean && code_page != kUtf8) return false;
  selected_code_page = code_page;
  return true;
}

std::u16string ansi_to_utf16(std::span<const std::uint8_t> bytes) {
  if (selected_code_page == kUtf8) return utf8_to_utf16_replacing(bytes);
  std::u16string text(bytes.size(), u'\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) text[i] = windows_1252_to_unit(bytes[i]);
  return text;
}

std::vector<std::uint8_t> utf16_to_ansi(std::u16string_view text) {
  if (selected_code_page == kUtf8) return utf16_to_utf8_replacing(text);
  bool lost = false;
  return utf16_to_windows_1252(text, lost);
}

bool ansi_conversion_uses_default_char(std::u16string_view text) {
  if (selected_code_page == kUtf8) {
    const std::vector<std::uint8_t> bytes = utf16_to_utf8_replacing(text);
    return utf8_to_utf16_replacing(bytes) != text;
  }
  bool lost = false;
  utf16_to_windows_1252(text, lost);
  return lost;
}

std::u16string thousands_separator() { return selected_thousands_separator; }

bool use_thousands_separator(std::u16string_view separator) {
  selected_thousands_separator = separator.empty() ? u"," : std::u16string(separator);
  return true;
}

}  // namespace wrenfold::platform
