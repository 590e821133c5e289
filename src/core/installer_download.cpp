#include "installer_download.h"

namespace wrenfold {

std::u16string installer_file_name(std::u16string_view url) {
  if (!url.empty() && url.back() == u'/') url.remove_suffix(1);
  const std::size_t slash = url.rfind(u'/');
  const std::u16string_view name = slash == std::u16string_view::npos ? url : url.substr(slash + 1);
  return name.empty() ? u"Wrenfold-Setup.exe" : std::u16string(name);
}

std::u16string digest_hex(const platform::Sha256Digest& digest) {
  static constexpr char16_t kDigits[] = u"0123456789abcdef";
  std::u16string hex;
  hex.reserve(64);
  for (std::uint8_t byte : digest) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0F];
  }
  return hex;
}

bool digest_matches(std::u16string_view actual_hex, std::u16string_view expected_hex) {
  if (actual_hex.size() != expected_hex.size()) return false;
  const auto lower = [](char16_t unit) {
    return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
  };
  for (std::size_t i = 0; i < actual_hex.size(); ++i) {
    if (lower(actual_hex[i]) != lower(expected_hex[i])) return false;
  }
  return true;
}

}  // namespace wrenfold
