// The system services on Windows. The core's UTF-16 strings are handed to the wide APIs
// directly: char16_t and wchar_t have the same size and representation there.

#include <windows.h>

#include <algorithm>

#include "platform.h"
#include "utf.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t));

namespace wrenfold::platform {
namespace {

// The conversion functions take int lengths; larger inputs go in pieces.
constexpr std::size_t kMaxPieceBytes = std::size_t{1} << 30;
constexpr std::size_t kMaxPieceUnits = std::size_t{1} << 29;

// A piece of ANSI bytes ends just after a byte below 0x40: in every double-byte code page
// such a byte stands alone and is never the second half of a character.
std::size_t ansi_piece_length(std::span<const std::uint8_t> bytes) {
  if (bytes.size() <= kMaxPieceBytes) return bytes.size();
  for (std::size_t end = kMaxPieceBytes; end > kMaxPieceBytes / 2; --end) {
    if (bytes[end - 1] < 0x40) return end;
  }
  return kMaxPieceBytes;
}

// A piece of UTF-16 never ends between the two halves of a surrogate pair.
std::size_t utf16_piece_length(std::u16string_view text) {
  if (text.size() <= kMaxPieceUnits) return text.size();
  return utf::is_high_surrogate(text[kMaxPieceUnits - 1]) ? kMaxPieceUnits - 1 : kMaxPieceUnits;
}

const wchar_t* wide(const char16_t* units) { return reinterpret_cast<const wchar_t*>(units); }
wchar_t* wide(char16_t* units) { return reinterpret_cast<wchar_t*>(units); }
const char* narrow(const std::uint8_t* bytes) { return reinterpret_cast<const char*>(bytes); }
char* narrow(std::uint8_t* bytes) { return reinterpret_cast<char*>(bytes); }

}  // namespace

unsigned ansi_code_page() { return GetACP(); }

bool use_ansi_code_page(unsigned code_page) { return code_page == GetACP(); }

std::u16string ansi_to_utf16(std::span<const std::uint8_t> bytes) {
  std::u16string text;
  while (!bytes.empty()) {
    const std::size_t piece = ansi_piece_length(bytes);
    const int length = static_cast<int>(piece);
    const int needed = MultiByteToWideChar(CP_ACP, 0, narrow(bytes.data()), length, nullptr, 0);
    if (needed > 0) {
      const std::size_t start = text.size();
      text.resize(start + static_cast<std::size_t>(needed));
      const int written = MultiByteToWideChar(CP_ACP, 0, narrow(bytes.data()), length,
                                              wide(text.data() + start), needed);
      text.resize(start + static_cast<std::size_t>(std::max(written, 0)));
    }
    bytes = bytes.subspan(piece);
  }
  return text;
}

std::vector<std::uint8_t> utf16_to_ansi(std::u16string_view text) {
  std::vector<std::uint8_t> bytes;
  while (!text.empty()) {
    const std::size_t piece = utf16_piece_length(text);
    const int length = static_cast<int>(piece);
    const int needed =
        WideCharToMultiByte(CP_ACP, 0, wide(text.data()), length, nullptr, 0, nullptr, nullptr);
    if (needed > 0) {
      const std::size_t start = bytes.size();
      bytes.resize(start + static_cast<std::size_t>(needed));
      const int written = WideCharToMultiByte(CP_ACP, 0, wide(text.data()), length,
                                              narrow(bytes.data() + start), needed, nullptr, nullptr);
      bytes.resize(start + static_cast<std::size_t>(std::max(written, 0)));
    }
    text.remove_prefix(piece);
  }
  return bytes;
}

bool ansi_conversion_uses_default_char(std::u16string_view text) {
  while (!text.empty()) {
    const std::size_t piece = utf16_piece_length(text);
    BOOL used_default = FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide(text.data()), static_cast<int>(piece),
                        nullptr, 0, nullptr, &used_default);
    if (used_default) return true;
    text.remove_prefix(piece);
  }
  return false;
}

std::u16string thousands_separator() {
  wchar_t buffer[8] = {};
  const int length = GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, buffer, 8);
  if (length < 2) return u",";
  return std::u16string(reinterpret_cast<const char16_t*>(buffer), static_cast<std::size_t>(length - 1));
}

bool use_thousands_separator(std::u16string_view separator) {
  return separator == thousands_separator();
}

}  // namespace wrenfold::platform
