#include "timestamp.h"

#include <algorithm>
#include <chrono>

namespace wrenfold {
namespace {

constexpr std::int64_t kSecondsPerDay = 86'400;

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
constexpr std::int64_t days_from_civil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto year_of_era = static_cast<unsigned>(year - era * 400);
  const unsigned day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146'097 + static_cast<std::int64_t>(day_of_era) - 719'468;
}

struct CivilDate {
  std::int64_t year;
  unsigned month;
  unsigned day;
};

constexpr CivilDate civil_from_days(std::int64_t days) {
  days += 719'468;
  const std::int64_t era = (days >= 0 ? days : days - 146'096) / 146'097;
  const auto day_of_era = static_cast<unsigned>(days - era * 146'097);
  const unsigned year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36'524 - day_of_era / 146'096) / 365;
  const unsigned day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const unsigned shifted_month = (5 * day_of_year + 2) / 153;
  const unsigned day = day_of_year - (153 * shifted_month + 2) / 5 + 1;
  const unsigned month = shifted_month < 10 ? shifted_month + 3 : shifted_month - 9;
  return {static_cast<std::int64_t>(year_of_era) + era * 400 + (month <= 2), month, day};
}

constexpr std::int64_t kEarliest = days_from_civil(0, 1, 1) * kSecondsPerDay;
constexpr std::int64_t kLatest = days_from_civil(9999, 12, 31) * kSecondsPerDay + kSecondsPerDay - 1;

constexpr unsigned days_in_month(std::int64_t year, unsigned month) {
  constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

void append_digits(std::u16string& out, std::int64_t value, int width) {
  std::u16string digits(static_cast<std::size_t>(width), u'0');
  for (int i = width - 1; i >= 0; --i, value /= 10) digits[i] = static_cast<char16_t>(u'0' + value % 10);
  out += digits;
}

// Reads exactly `width` ASCII digits at `position` and moves past them.
std::optional<unsigned> read_digits(std::u16string_view text, std::size_t& position, int width) {
  if (text.size() - position < static_cast<std::size_t>(width)) return std::nullopt;
  unsigned value = 0;
  for (int i = 0; i < width; ++i) {
    const char16_t unit = text[position + i];
    if (unit < u'0' || unit > u'9') return std::nullopt;
    value = value * 10 + (unit - u'0');
  }
  position += width;
  return value;
}

bool read_unit(std::u16string_view text, std::size_t& position, std::u16string_view accepted) {
  if (position >= text.size() || accepted.find(text[position]) == std::u16string_view::npos) {
    return false;
  }
  ++position;
  return true;
}

}  // namespace

std::int64_t unix_seconds_now() {
  const auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
  return std::chrono::floor<std::chrono::seconds>(since_epoch).count();
}

std::u16string format_utc_timestamp(std::int64_t unix_seconds) {
  unix_seconds = std::clamp(unix_seconds, kEarliest, kLatest);
  const std::int64_t days = (unix_seconds >= 0 ? unix_seconds : unix_seconds - kSecondsPerDay + 1) /
                            kSecondsPerDay;
  const std::int64_t second_of_day = unix_seconds - days * kSecondsPerDay;
  const CivilDate date = civil_from_days(days);
  std::u16string text;
  append_digits(text, date.year, 4);
  text += u'-';
  append_digits(text, date.month, 2);
  text += u'-';
  append_digits(text, date.day, 2);
  text += u'T';
  append_digits(text, second_of_day / 3600, 2);
  text += u':';
  append_digits(text, second_of_day / 60 % 60, 2);
  text += u':';
  append_digits(text, second_of_day % 60, 2);
  text += u"+00:00";
  return text;
}

std::optional<std::int64_t> parse_rfc3339(std::u16string_view text) {
  std::size_t at = 0;
  const auto year = read_digits(text, at, 4);
  if (!year || !read_unit(text, at, u"-")) return std::nullopt;
  const auto month = read_digits(text, at, 2);
  if (!month || !read_unit(text, at, u"-")) return std::nullopt;
  const auto day = read_digits(text, at, 2);
  if (!day || !read_unit(text, at, u"Tt")) return std::nullopt;
  const auto hour = read_digits(text, at, 2);
  if (!hour || !read_unit(text, at, u":")) return std::nullopt;
  const auto minute = read_digits(text, at, 2);
  if (!minute || !read_unit(text, at, u":")) return std::nullopt;
  const auto second = read_digits(text, at, 2);
  if (!second) return std::nullopt;
  if (read_unit(text, at, u".")) {
    const std::size_t fraction_start = at;
    while (at < text.size() && text[at] >= u'0' && text[at] <= u'9') ++at;
    if (at == fraction_start) return std::nullopt;
  }

  std::int64_t offset_seconds = 0;
  if (!read_unit(text, at, u"Zz")) {
    const bool behind = at < text.size() && text[at] == u'-';
    if (!read_unit(text, at, u"+-")) return std::nullopt;
    const auto offset_hours = read_digits(text, at, 2);
    if (!offset_hours || !read_unit(text, at, u":")) return std::nullopt;
    const auto offset_minutes = read_digits(text, at, 2);
    if (!offset_minutes || *offset_hours > 23 || *offset_minutes > 59) return std::nullopt;
    offset_seconds = std::int64_t{*offset_hours} * 3600 + std::int64_t{*offset_minutes} * 60;
    if (behind) offset_seconds = -offset_seconds;
  }
  if (at != text.size()) return std::nullopt;

  if (*month < 1 || *month > 12 || *day < 1 || *day > days_in_month(*year, *month)) return std::nullopt;
  if (*hour > 23 || *minute > 59 || *second > 60) return std::nullopt;
  const std::int64_t local = days_from_civil(*year, *month, *day) * kSecondsPerDay +
                             *hour * 3600 + *minute * 60 + *second;
  return local - offset_seconds;
}

}  // namespace wrenfold
