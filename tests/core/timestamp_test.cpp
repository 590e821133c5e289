#include "timestamp.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace wrenfold {
namespace {

TEST(Timestamp, Formats) {
  const std::vector<std::pair<std::int64_t, std::u16string_view>> cases = {
      {0, u"1970-01-01T00:00:00+00:00"},
      {-1, u"1969-12-31T23:59:59+00:00"},
      {951'782'400, u"2000-02-29T00:00:00+00:00"},
      {1'709'251'199, u"2024-02-29T23:59:59+00:00"},
      {4'102'444'800, u"2100-01-01T00:00:00+00:00"},
      {-62'167'219'200, u"0000-01-01T00:00:00+00:00"},
      {-62'167'219'201, u"0000-01-01T00:00:00+00:00"},
      {253'402'300'799, u"9999-12-31T23:59:59+00:00"},
      {253'402'300'800, u"9999-12-31T23:59:59+00:00"},
  };
  for (const auto& [seconds, text] : cases) {
    EXPECT_EQ(format_utc_timestamp(seconds), text) << seconds;
  }
}

TEST(Timestamp, ParsesRfc3339) {
  constexpr std::int64_t kTwelveUtc = 1'700'049'600;  // 2023-11-15T12:00:00Z
  const std::vector<std::pair<std::u16string_view, std::optional<std::int64_t>>> cases = {
      {u"2023-11-15T12:00:00+00:00", kTwelveUtc},
      {u"2023-11-15T12:00:00Z", kTwelveUtc},
      {u"2023-11-15t12:00:00z", kTwelveUtc},
      {u"2023-11-15T14:00:00+02:00", kTwelveUtc},
      {u"2023-11-15T10:00:00+02:00", kTwelveUtc - 4 * 3600},
      {u"2023-11-15T06:30:00-05:30", kTwelveUtc},
      {u"2023-11-15T12:00:00.999999999Z", kTwelveUtc},
      {u"2023-11-15T23:59:60Z", kTwelveUtc + 12 * 3600},
      {u"2024-02-29T00:00:00Z", 1'709'164'800},
      {u"1969-12-31T23:59:59Z", -1},
      {u"2023-02-29T00:00:00Z", std::nullopt},
      {u"1900-02-29T00:00:00Z", std::nullopt},
      {u"2023-04-31T00:00:00Z", std::nullopt},
      {u"2023-13-01T00:00:00Z", std::nullopt},
      {u"2023-00-01T00:00:00Z", std::nullopt},
      {u"2023-01-00T00:00:00Z", std::nullopt},
      {u"2023-01-01T24:00:00Z", std::nullopt},
      {u"2023-01-01T00:60:00Z", std::nullopt},
      {u"2023-01-01T00:00:61Z", std::nullopt},
      {u"2023-01-01T00:00:00+24:00", std::nullopt},
      {u"2023-01-01T00:00:00+01:60", std::nullopt},
      {u"2023-01-01T00:00:00", std::nullopt},
      {u"2023-01-01T00:00:00.Z", std::nullopt},
      {u"2023-01-01 00:00:00Z", std::nullopt},
      {u"2023-01-01T00:00:00Z ", std::nullopt},
      {u"2023-01-01T00:00:00+0100", std::nullopt},
      {u"23-01-01T00:00:00Z", std::nullopt},
      {u"2023-1-01T00:00:00Z", std::nullopt},
      {u"", std::nullopt},
      {u"not a date", std::nullopt},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(parse_rfc3339(text), expected) << std::string(text.begin(), text.end());
  }
}

TEST(Timestamp, WrittenFormReadsBack) {
  std::mt19937_64 random(5);
  std::uniform_int_distribution<std::int64_t> seconds(-62'167'219'200, 253'402'300'799);
  for (int i = 0; i < 20'000; ++i) {
    const std::int64_t value = seconds(random);
    ASSERT_EQ(parse_rfc3339(format_utc_timestamp(value)), value) << value;
  }
  const std::int64_t now = unix_seconds_now();
  EXPECT_GT(now, 1'700'000'000);
  EXPECT_EQ(parse_rfc3339(format_utc_timestamp(now)), now);
}

}  // namespace
}  // namespace wrenfold
