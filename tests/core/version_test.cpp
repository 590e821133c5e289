#include "version.h"

#include <gtest/gtest.h>

#include <vector>

namespace wrenfold {
namespace {

TEST(Version, Parses) {
  const std::vector<std::pair<std::u16string_view, std::optional<Version>>> cases = {
      {u"2.0.1", Version{2, 0, 1}},
      {u"2.0", Version{2, 0, 0}},
      {u"2.0.1.5", Version{2, 0, 1}},
      {u" \t2.1.0\n", Version{2, 1, 0}},
      {u"\u30002.1\u00A0", Version{2, 1, 0}},
      {u"4294967295.0.0", Version{4294967295u, 0, 0}},
      {u"010.02", Version{10, 2, 0}},
      {u"3", std::nullopt},
      {u"1.2.3.4.5", std::nullopt},
      {u"4294967296.0", std::nullopt},
      {u"2.1.0-beta", std::nullopt},
      {u"2.1.0+build", std::nullopt},
      {u"v2.1", std::nullopt},
      {u"+2.1", std::nullopt},
      {u"2..1", std::nullopt},
      {u"2.1.", std::nullopt},
      {u"2. 1", std::nullopt},
      {u"", std::nullopt},
      {u"2.\u0661", std::nullopt},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(parse_version(text), expected) << std::string(text.begin(), text.end());
  }
}

TEST(Version, OffersAreNewerOnlyWhenGreater) {
  const std::vector<std::pair<std::u16string_view, bool>> cases = {
      {u"2.0.1", false}, {u"2.0", false},   {u"2.0.1.5", false}, {u"2.0.0", false},
      {u"1.9.9", false}, {u"2.0.2", true},  {u"2.1", true},      {u"3.0.0", true},
      {u"10.0", true},   {u"2.0.10", true},
  };
  ASSERT_EQ(parse_version(kProgramVersionText), kProgramVersion);
  for (const auto& [offered, newer] : cases) {
    EXPECT_EQ(*parse_version(offered) > kProgramVersion, newer)
        << std::string(offered.begin(), offered.end());
  }
}

}  // namespace
}  // namespace wrenfold
