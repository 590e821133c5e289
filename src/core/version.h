#pragma once
// Release versions: "major.minor.patch" text, compared field by field.

#include <compare>
#include <cstdint>
#include <optional>
#include <string_view>

namespace wrenfold {

struct Version {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t patch = 0;

  // Field order makes the defaulted comparison major first, then minor, then patch.
  auto operator<=>(const Version&) const = default;
};

// The running program's own version.
inline constexpr std::u16string_view kProgramVersionText = u"2.0.1";
inline constexpr Version kProgramVersion{2, 0, 1};

// Two to four dot-separated runs of ASCII digits, each fitting 32 bits, after trimming white
// space at both ends. A missing patch reads as 0; a fourth part is accepted and ignored.
// Signs, letters and pre-release or build suffixes give nothing.
std::optional<Version> parse_version(std::u16string_view text);

}  // namespace wrenfold
