#pragma once
// The few system services the portable core needs. One implementation talks to Win32,
// the other is a self-contained POSIX stand-in that tests can steer.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace wrenfold::platform {

// The system ANSI code page (GetACP on Windows).
unsigned ansi_code_page();

// Makes the ANSI services below work in `code_page`. The POSIX side knows 1252 and 65001;
// Windows cannot switch, so there it only answers whether `code_page` is already in use.
bool use_ansi_code_page(unsigned code_page);

// ANSI bytes to UTF-16 with the system's substitutions for unmapped bytes.
std::u16string ansi_to_utf16(std::span<const std::uint8_t> bytes);

// UTF-16 to ANSI bytes with the system's substitutions (best fit allowed).
std::vector<std::uint8_t> utf16_to_ansi(std::u16string_view text);

// True when converting `text` to the ANSI code page with best fit refused would put the
// default character anywhere.
bool ansi_conversion_uses_default_char(std::u16string_view text);

// The user's thousands separator; "," when the locale has none.
std::u16string thousands_separator();

// Makes thousands_separator answer `separator`. Only the POSIX side can; Windows answers
// whether `separator` is already the locale's.
bool use_thousands_separator(std::u16string_view separator);

}  // namespace wrenfold::platform
