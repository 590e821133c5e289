#include "base64.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wrenfold {
namespace {

std::vector<std::uint8_t> bytes_of(std::string_view text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

TEST(Base64, DecodesTheStandardAlphabet) {
  const std::vector<std::pair<std::u16string_view, std::vector<std::uint8_t>>> cases = {
      {u"", {}},
      {u"Zg==", bytes_of("f")},
      {u"Zm8=", bytes_of("fo")},
      {u"Zm9v", bytes_of("foo")},
      {u"Zm9vYmFy", bytes_of("foobar")},
      {u"/+8=", {0xFF, 0xEF}},
      {u"AAEC/f7/", {0x00, 0x01, 0x02, 0xFD, 0xFE, 0xFF}},
      {u" \tZm9v\r\n", bytes_of("foo")},  // white space at the ends only
      {u"\u00A0Zm8=\u3000", bytes_of("fo")},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(decode_base64(text), expected) << std::string(text.begin(), text.end());
  }
}

TEST(Base64, RefusesAnythingElse) {
  const std::vector<std::u16string_view> cases = {
      u"Zg=",        // length not a multiple of 4
      u"Zg",
      u"Zm9vY",
      u"Z===",       // three padding characters
      u"====",
      u"Zg==Zm9v",   // padding inside the text
      u"Zm=v",
      u"Zm9v\nYmFy", // a line break inside
      u"Zm9v YmFy",
      u"Zm-_",       // the URL-safe alphabet
      u"Zh==",       // bits beyond the data
      u"Zm9=",
      u"Zm9\u00E9",
      std::u16string_view(u"Zm9\0", 4),
  };
  for (std::u16string_view text : cases) {
    EXPECT_EQ(decode_base64(text), std::nullopt) << std::string(text.begin(), text.end());
  }
}

}  // namespace
}  // namespace wrenfold
