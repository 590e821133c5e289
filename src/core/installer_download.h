#pragma once
// The rules of an installer download: where it is saved and whether it is what the signed
// manifest promised.

#include <string>
#include <string_view>

#include "platform.h"

namespace wrenfold {

// The last "/"-separated segment of `url` (one trailing "/" ignored), or "Wrenfold-Setup.exe"
// when none is left.
std::u16string installer_file_name(std::u16string_view url);

// 64 lower-case hexadecimal digits.
std::u16string digest_hex(const platform::Sha256Digest& digest);

// Whether the installer's digest is the one the manifest gives, in whatever letter case.
bool digest_matches(std::u16string_view actual_hex, std::u16string_view expected_hex);

}  // namespace wrenfold
