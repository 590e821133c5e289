#pragma once
// UTC time stamps in their stored form "YYYY-MM-DDTHH:MM:SS+00:00", and the reading of any
// RFC 3339 date-time into Unix seconds.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wrenfold {

// Seconds since 1970-01-01T00:00:00Z by the system clock.
std::int64_t unix_seconds_now();

// Times before year 0 or after year 9999 are written as the nearest time that four year
// digits can hold.
std::u16string format_utc_timestamp(std::int64_t unix_seconds);

// Date, "T", hours:minutes:seconds, an optional fraction (dropped), then "Z" or a signed
// hours:minutes offset. Nothing for any other text or an impossible date or time.
std::optional<std::int64_t> parse_rfc3339(std::u16string_view text);

}  // namespace wrenfold
