#include "codec.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "platform.h"
#include "printable.h"

namespace wrenfold {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytes_of(std::initializer_list<int> values) {
  Bytes bytes;
  for (int v : values) bytes.push_back(static_cast<std::uint8_t>(v));
  return bytes;
}

Bytes bytes_of(std::string_view text) { return Bytes(text.begin(), text.end()); }

struct DecodeCase {
  Bytes input;
  Encoding encoding;
  LineEnding line_ending;
  std::u16string text;
  const char* why;
};

TEST(Decode, ChoosesEncodingAndDecodes) {
  const std::vector<DecodeCase> cases = {
      {{}, Encoding::Utf8, LineEnding::Windows, u"", "empty file"},
      {bytes_of({0xFF, 0xFE}), Encoding::Utf16Le, LineEnding::Windows, u"", "bare LE mark"},
      {bytes_of({0xFE, 0xFF}), Encoding::Utf16Be, LineEnding::Windows, u"", "bare BE mark"},
      {bytes_of({0xFF, 0xFE, 0x41}), Encoding::Utf16Le, LineEnding::Windows, u"\uFFFD",
       "odd byte after the mark"},
      {bytes_of({0xFE, 0xFF, 0x00, 0x41, 0x42}), Encoding::Utf16Be, LineEnding::Windows,
       u"A\uFFFD", "odd byte after a BE unit"},
      {bytes_of({0xEF, 0xBB, 0xBF}), Encoding::Utf8Bom, LineEnding::Windows, u"", "bare UTF-8 mark"},
      {bytes_of({0xEF, 0xBB, 0xBF, 0x61, 0xFF, 0x62}), Encoding::Utf8Bom, LineEnding::Windows,
       u"a\uFFFDb", "invalid byte after the UTF-8 mark is replaced"},
      {bytes_of({0x41, 0x00, 0x42, 0x00, 0x43, 0x00, 0x44, 0x00}), Encoding::Utf16Le,
       LineEnding::Windows, u"ABCD", "guessed little-endian"},
      {bytes_of({0x00, 0x41, 0x00, 0x42, 0x00, 0x43, 0x00, 0x44}), Encoding::Utf16Be,
       LineEnding::Windows, u"ABCD", "guessed big-endian"},
      {bytes_of({0x41, 0x00, 0x42}), Encoding::Utf8, LineEnding::Windows, std::u16string(u"A\0B", 3),
       "three bytes are never guessed as UTF-16"},
      {bytes_of({0x41, 0x00, 0x42, 0x00, 0x43}), Encoding::Utf8, LineEnding::Windows,
       std::u16string(u"A\0B\0C", 5), "odd lengths are never guessed as UTF-16"},
      {bytes_of({0xFF, 0xFE, 0x00, 0xD8, 0x41, 0x00}), Encoding::Utf16Le, LineEnding::Windows,
       u"\xD800"
       u"A",
       "lone surrogates are copied unchecked"},
      {bytes_of({0xFF, 0xFE, 0xFF, 0xFE}), Encoding::Utf16Le, LineEnding::Windows, u"\uFEFF",
       "only the first mark is consumed"},
      {bytes_of("caf\xC3\xA9 \xF0\x9F\x98\x80"), Encoding::Utf8, LineEnding::Windows,
       u"caf\u00E9 \U0001F600", "valid UTF-8"},
      {bytes_of({0xC3, 0xA9}), Encoding::Utf8, LineEnding::Windows, u"\u00E9",
       "two bytes of valid UTF-8"},
  };
  for (const DecodeCase& c : cases) {
    const DecodedText decoded = decode_file_bytes(c.input);
    EXPECT_EQ(decoded.encoding, c.encoding) << c.why;
    EXPECT_EQ(decoded.line_ending, c.line_ending) << c.why;
    EXPECT_EQ(printable(decoded.text), printable(c.text)) << c.why;
  }
}

TEST(Decode, FallsBackToAnsiWhenNotUtf8) {
  if (!platform::use_ansi_code_page(1252)) GTEST_SKIP() << "the system code page is not 1252";
  const std::vector<DecodeCase> cases = {
      {bytes_of({0x61, 0xFF, 0x62}), Encoding::Ansi, LineEnding::Windows, u"a\u00FFb",
       "the same invalid byte without a mark makes the file ANSI"},
      {bytes_of({0xEF, 0xBB}), Encoding::Ansi, LineEnding::Windows, u"\u00EF\u00BB",
       "a cut-off mark is no mark"},
      {bytes_of({0xED, 0xA0, 0x80}), Encoding::Ansi, LineEnding::Windows, u"\u00ED\u00A0\u20AC",
       "an encoded surrogate is not UTF-8"},
      {bytes_of({0xC0, 0xAF}), Encoding::Ansi, LineEnding::Windows, u"\u00C0\u00AF",
       "overlong forms are not UTF-8"},
      {bytes_of({'a', '\r', '\n', 0x80, '\n'}), Encoding::Ansi, LineEnding::Windows,
       u"a\r\u20AC\r", "breaks are normalised after the conversion"},
  };
  for (const DecodeCase& c : cases) {
    const DecodedText decoded = decode_file_bytes(c.input);
    EXPECT_EQ(decoded.encoding, c.encoding) << c.why;
    EXPECT_EQ(decoded.line_ending, c.line_ending) << c.why;
    EXPECT_EQ(printable(decoded.text), printable(c.text)) << c.why;
  }
}

// What a save would write back differently: every U+FFFD the decoder put in.
TEST(Decode, CountsWhatItReplaced) {
  const struct {
    Bytes input;
    std::size_t replaced;
    const char* why;
  } cases[] = {
      {bytes_of("plain"), 0, "well-formed UTF-8"},
      {bytes_of("\xEF\xBB\xBF\xEF\xBF\xBD"), 0, "a U+FFFD that the file holds is no loss"},
      {bytes_of({0xEF, 0xBB, 0xBF, 0x61, 0xFF, 0x62, 0xC3}), 2, "ill-formed UTF-8 after the mark"},
      {bytes_of({0xFF, 0xFE, 0x41, 0x00, 0x42}), 1, "UTF-16 with an odd last byte"},
      {bytes_of({0xFF, 0xFE, 0x00, 0xD8}), 0, "a lone surrogate is kept as it is"},
      {bytes_of({0x41, 0x00, 0x42, 0x00}), 0, "guessed UTF-16"},
  };
  for (const auto& c : cases) EXPECT_EQ(decode_file_bytes(c.input).replaced_sequences, c.replaced) << c.why;

  // A large file is decoded in pieces; the count covers all of them.
  Bytes large = bytes_of({0xEF, 0xBB, 0xBF});
  for (int block = 0; block < 5; ++block) {
    large.insert(large.end(), 100'000, 'a');
    large.push_back(0xFF);
  }
  SpanByteSource source(large);
  const Result<DecodedText> pieces = decode_byte_source(source, large.size());
  ASSERT_TRUE(pieces);
  EXPECT_EQ(pieces->replaced_sequences, 5u);

  if (platform::use_ansi_code_page(65001)) {
    EXPECT_EQ(decode_file_bytes(bytes_of({0x61, 0x93, 0x62, 0x94})).replaced_sequences, 2u)
        << "Windows-1252 quotes on a UTF-8 code page";
    platform::use_ansi_code_page(1252);
  }
}

TEST(Decode, AnsiInUtf8CodePageReplacesBadBytes) {
  if (!platform::use_ansi_code_page(65001)) GTEST_SKIP() << "the system code page is not 65001";
  const DecodedText decoded = decode_file_bytes(bytes_of({'a', 0xFF, 'b', '\n'}));
  EXPECT_EQ(decoded.encoding, Encoding::Ansi);
  EXPECT_EQ(decoded.line_ending, LineEnding::Unix);
  EXPECT_EQ(printable(decoded.text), printable(u"a\uFFFDb\r"));
  platform::use_ansi_code_page(1252);
}

TEST(Decode, KeepsZeroBytesAsCharacters) {
  const DecodedText decoded = decode_file_bytes(bytes_of({'a', 0, 'b'}));
  EXPECT_EQ(decoded.encoding, Encoding::Utf8);
  EXPECT_EQ(decoded.text, std::u16string(u"a\0b", 3));
}

// Builds an even-length file of `pairs` byte pairs with the given numbers of zero bytes at
// even and odd offsets; every other byte is a plain letter.
Bytes zero_pattern(std::size_t pairs, std::size_t even_zeros, std::size_t odd_zeros) {
  Bytes bytes(pairs * 2, 'x');
  for (std::size_t i = 0; i < even_zeros; ++i) bytes[2 * i] = 0;
  for (std::size_t i = 0; i < odd_zeros; ++i) bytes[2 * (pairs - 1 - i) + 1] = 0;
  return bytes;
}

TEST(Decode, Utf16GuessThresholdsAreStrict) {
  struct Case {
    std::size_t pairs, even_zeros, odd_zeros;
    Encoding expected;
    const char* why;
  };
  const std::vector<Case> cases = {
      {20, 0, 9, Encoding::Utf16Le, "odd zeros above 40%"},
      {20, 0, 8, Encoding::Utf8, "odd zeros exactly 40% is not enough"},
      {40, 1, 17, Encoding::Utf16Le, "even zeros below 5%"},
      {20, 1, 9, Encoding::Utf8, "even zeros exactly 5% is too many"},
      {20, 9, 0, Encoding::Utf16Be, "even zeros above 40%"},
      {20, 8, 0, Encoding::Utf8, "even zeros exactly 40% is not enough"},
      {20, 9, 1, Encoding::Utf8, "odd zeros exactly 5% is too many for big-endian"},
      {20, 10, 10, Encoding::Utf8, "zeros on both sides"},
      {2, 0, 1, Encoding::Utf16Le, "four bytes are enough to guess"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(decode_file_bytes(zero_pattern(c.pairs, c.even_zeros, c.odd_zeros)).encoding,
              c.expected)
        << c.why;
  }
}

TEST(Decode, Utf16GuessLooksOnlyAtTheFirst4096Bytes) {
  // UTF-16 LE for the sample, then bytes that are no UTF-16 at all: still UTF-16, and the
  // whole file is decoded.
  Bytes le;
  for (int i = 0; i < 2048; ++i) le.insert(le.end(), {'a', 0});
  le.insert(le.end(), {'x', 'y', 'z', 'w'});
  const DecodedText decoded = decode_file_bytes(le);
  EXPECT_EQ(decoded.encoding, Encoding::Utf16Le);
  ASSERT_EQ(decoded.text.size(), 2050u);
  EXPECT_EQ(decoded.text.substr(2048), u"\u7978\u777A");

  // Zero bytes only beyond the sample do not count.
  Bytes late(4096, 'a');
  for (int i = 0; i < 4096; ++i) late.insert(late.end(), {'a', 0});
  EXPECT_EQ(decode_file_bytes(late).encoding, Encoding::Utf8);
}

TEST(Decode, Utf16GuessWinsOverValidUtf8) {
  // ASCII interleaved with zero bytes is valid UTF-8 too, but the guess comes first.
  const DecodedText decoded = decode_file_bytes(bytes_of({'h', 0, 'i', 0, '\r', 0, '\n', 0}));
  EXPECT_EQ(decoded.encoding, Encoding::Utf16Le);
  EXPECT_EQ(decoded.text, u"hi\r");
  EXPECT_EQ(decoded.line_ending, LineEnding::Windows);
}

TEST(Decode, DetectsLineEndingFromTheFirstBreak) {
  struct Case {
    std::string input;
    LineEnding expected;
    std::u16string text;
  };
  const std::vector<Case> cases = {
      {"a\nb\r\nc", LineEnding::Unix, u"a\rb\rc"},
      {"a\r\nb\nc", LineEnding::Windows, u"a\rb\rc"},
      {"a\rb", LineEnding::Macintosh, u"a\rb"},
      {"ab\r", LineEnding::Macintosh, u"ab\r"},
      {"ab", LineEnding::Windows, u"ab"},
      {"\r\r\n\n", LineEnding::Macintosh, u"\r\r\r"},
      {"\n\n", LineEnding::Unix, u"\r\r"},
      {"a\r\n", LineEnding::Windows, u"a\r"},
  };
  for (const Case& c : cases) {
    const DecodedText decoded = decode_file_bytes(bytes_of(c.input));
    EXPECT_EQ(decoded.line_ending, c.expected) << c.input;
    EXPECT_EQ(printable(decoded.text), printable(c.text)) << c.input;

    // The same rules hold for the other encodings, whose breaks are handled after decoding.
    for (Encoding encoding : {Encoding::Utf8Bom, Encoding::Utf16Le, Encoding::Utf16Be}) {
      Bytes encoded;
      if (encoding == Encoding::Utf8Bom) {
        encoded = bytes_of({0xEF, 0xBB, 0xBF});
        encoded.insert(encoded.end(), c.input.begin(), c.input.end());
      } else {
        const bool big = encoding == Encoding::Utf16Be;
        encoded = big ? bytes_of({0xFE, 0xFF}) : bytes_of({0xFF, 0xFE});
        for (char ch : c.input) {
          encoded.push_back(big ? 0 : static_cast<std::uint8_t>(ch));
          encoded.push_back(big ? static_cast<std::uint8_t>(ch) : 0);
        }
      }
      const DecodedText other = decode_file_bytes(encoded);
      EXPECT_EQ(other.encoding, encoding);
      EXPECT_EQ(other.line_ending, c.expected) << c.input;
      EXPECT_EQ(printable(other.text), printable(c.text)) << c.input;
    }
  }
}

TEST(Decode, LongLinesAcrossVectorBlocks) {
  // Breaks and non-ASCII characters at every offset within and across 16-byte blocks.
  for (std::size_t offset = 0; offset < 40; ++offset) {
    std::string input(offset, 'a');
    input += "\r\n\xC3\xA9\n";
    input += std::string(offset, 'b');
    input += "\xE2\x82\xAC\r";
    const DecodedText decoded = decode_file_bytes(bytes_of(input));
    const std::u16string expected = std::u16string(offset, u'a') + u"\r\u00E9\r" +
                                    std::u16string(offset, u'b') + u"\u20AC\r";
    EXPECT_EQ(decoded.encoding, Encoding::Utf8);
    EXPECT_EQ(printable(decoded.text), printable(expected)) << offset;
  }
}

TEST(NormalizeLineBreaks, TurnsEveryBreakIntoOneCr) {
  struct Case {
    std::u16string input, expected;
  };
  const std::vector<Case> cases = {
      {u"", u""},          {u"\n", u"\r"},         {u"\r\n", u"\r"},
      {u"\r", u"\r"},      {u"\n\r", u"\r\r"},     {u"\r\r\n", u"\r\r"},
      {u"\n\n", u"\r\r"},  {u"a\r\nb\nc\rd", u"a\rb\rc\rd"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(printable(normalize_line_breaks(c.input)), printable(c.expected));
  }
}

TEST(NormalizeLineBreaks, CopiesNothing) {
  std::u16string without_lf(1000, u'x');
  without_lf[10] = u'\r';
  const char16_t* before = without_lf.data();
  const std::u16string same = normalize_line_breaks(std::move(without_lf));
  EXPECT_EQ(same.data(), before) << "text without LF must come back as the same buffer";

  std::u16string with_lf(1000, u'x');
  with_lf[10] = u'\r';
  with_lf[11] = u'\n';
  const char16_t* buffer = with_lf.data();
  const std::u16string normalized = normalize_line_breaks(std::move(with_lf));
  EXPECT_EQ(normalized.data(), buffer) << "normalisation works in place";
  EXPECT_EQ(normalized.size(), 999u);
}

struct EncodeCase {
  std::u16string text;
  Encoding encoding;
  LineEnding line_ending;
  Bytes expected;
};

TEST(Encode, WritesMarksBreaksAndUnits) {
  const std::vector<EncodeCase> cases = {
      {u"a\rb", Encoding::Utf16Be, LineEnding::Windows,
       bytes_of({0xFE, 0xFF, 0x00, 0x61, 0x00, 0x0D, 0x00, 0x0A, 0x00, 0x62})},
      {u"a\rb", Encoding::Utf16Le, LineEnding::Unix, bytes_of({0xFF, 0xFE, 0x61, 0, 0x0A, 0, 0x62, 0})},
      {u"a\rb", Encoding::Utf8, LineEnding::Macintosh, bytes_of("a\rb")},
      {u"a\rb\r", Encoding::Utf8Bom, LineEnding::Windows, bytes_of("\xEF\xBB\xBF" "a\r\nb\r\n")},
      {u"", Encoding::Utf8, LineEnding::Windows, {}},
      {u"", Encoding::Utf8Bom, LineEnding::Windows, bytes_of({0xEF, 0xBB, 0xBF})},
      {u"", Encoding::Utf16Le, LineEnding::Windows, bytes_of({0xFF, 0xFE})},
      {u"", Encoding::Utf16Be, LineEnding::Windows, bytes_of({0xFE, 0xFF})},
      {u"", Encoding::Ansi, LineEnding::Windows, {}},
      {u"x\xD800y", Encoding::Utf8, LineEnding::Windows, bytes_of("x\xEF\xBF\xBDy")},
      {u"\xDC00\xD800", Encoding::Utf8, LineEnding::Windows, bytes_of("\xEF\xBF\xBD\xEF\xBF\xBD")},
      {u"x\xD800", Encoding::Utf16Le, LineEnding::Windows, bytes_of({0xFF, 0xFE, 'x', 0, 0x00, 0xD8})},
      {u"\U0001F600\u00E9\u20AC", Encoding::Utf8, LineEnding::Windows,
       bytes_of("\xF0\x9F\x98\x80\xC3\xA9\xE2\x82\xAC")},
      // Text that still holds LF is normalised first: CR LF is one break, a lone LF another.
      {u"a\r\nb\nc", Encoding::Utf8, LineEnding::Windows, bytes_of("a\r\nb\r\nc")},
      {u"a\r\nb\nc", Encoding::Utf16Le, LineEnding::Macintosh,
       bytes_of({0xFF, 0xFE, 'a', 0, '\r', 0, 'b', 0, '\r', 0, 'c', 0})},
      {u"\n\r\n.", Encoding::Ansi, LineEnding::Unix, bytes_of("\n\n.")},
  };
  for (const EncodeCase& c : cases) {
    EXPECT_EQ(encode_for_save(c.text, c.encoding, c.line_ending), c.expected)
        << printable(c.text) << " as " << static_cast<int>(c.encoding) << "/"
        << static_cast<int>(c.line_ending);
  }
}

TEST(Encode, LongRunsAcrossVectorBlocks) {
  for (std::size_t offset = 0; offset < 40; ++offset) {
    const std::u16string text = std::u16string(offset, u'a') + u"\r\u00E9\n\U0001F600" +
                                std::u16string(offset, u'b') + u"\r";
    const std::string expected = std::string(offset, 'a') + "\r\n\xC3\xA9\r\n\xF0\x9F\x98\x80" +
                                 std::string(offset, 'b') + "\r\n";
    EXPECT_EQ(encode_for_save(text, Encoding::Utf8, LineEnding::Windows), bytes_of(expected))
        << offset;

    Bytes be = bytes_of({0xFE, 0xFF});
    for (char16_t unit : std::u16string(offset, u'a') + u"\n" + std::u16string(offset, u'b')) {
      be.push_back(static_cast<std::uint8_t>(unit >> 8));
      be.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    }
    const std::u16string unix_text =
        std::u16string(offset, u'a') + u"\r\n" + std::u16string(offset, u'b');
    EXPECT_EQ(encode_for_save(unix_text, Encoding::Utf16Be, LineEnding::Unix), be) << offset;
  }
}

// Random editor text: CR breaks, ASCII, Latin, Greek, CJK, astral characters.
std::u16string random_text(std::mt19937& rng, std::size_t length, bool allow_astral) {
  std::u16string text;
  std::uniform_int_distribution<int> kind(0, 9);
  while (text.size() < length) {
    switch (kind(rng)) {
      case 0: text += u'\r'; break;
      case 1: text += static_cast<char16_t>(0xA0 + rng() % 0x60); break;
      case 2: text += static_cast<char16_t>(0x391 + rng() % 0x30); break;
      case 3: text += static_cast<char16_t>(0x4E00 + rng() % 0x5000); break;
      case 4:
        if (allow_astral) {
          const char32_t cp = 0x10000 + rng() % 0x100000;
          text += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
          text += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        }
        break;
      default: text += static_cast<char16_t>(0x20 + rng() % 0x5F); break;
    }
  }
  return text;
}

TEST(RoundTrip, UnicodeEncodingsKeepEveryCharacterAndStyle) {
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    const std::u16string text = random_text(rng, rng() % 200, true);
    const bool has_break = text.find(u'\r') != std::u16string::npos;
    for (Encoding encoding :
         {Encoding::Utf8, Encoding::Utf8Bom, Encoding::Utf16Le, Encoding::Utf16Be}) {
      for (LineEnding style : {LineEnding::Windows, LineEnding::Unix, LineEnding::Macintosh}) {
        const DecodedText decoded = decode_file_bytes(encode_for_save(text, encoding, style));
        ASSERT_EQ(decoded.text, text) << round;
        ASSERT_EQ(decoded.encoding, encoding) << round;
        ASSERT_EQ(decoded.line_ending, has_break ? style : LineEnding::Windows) << round;
      }
    }
  }
}

TEST(RoundTrip, AnsiKeepsTheCodePageRepertoire) {
  if (!platform::use_ansi_code_page(1252)) GTEST_SKIP() << "the system code page is not 1252";
  const std::u16string high = u"\u20AC\u201A\u0192\u2026\u0160\u0152\u017D\u2018\u2122\u0161"
                              u"\u0178\u00A0\u00C9\u00E9\u00FF\u00D7";
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    std::u16string text;
    const std::size_t length = 1 + rng() % 100;
    while (text.size() < length) {
      text += rng() % 8 == 0 ? u'\r' : static_cast<char16_t>(0x20 + rng() % 0x5F);
      // A lone high byte followed by ASCII is never valid UTF-8, so the file stays ANSI.
      text += high[rng() % high.size()];
      text += u'.';
    }
    const bool has_break = text.find(u'\r') != std::u16string::npos;
    for (LineEnding style : {LineEnding::Windows, LineEnding::Unix, LineEnding::Macintosh}) {
      const DecodedText decoded = decode_file_bytes(encode_for_save(text, Encoding::Ansi, style));
      ASSERT_EQ(decoded.encoding, Encoding::Ansi);
      ASSERT_EQ(printable(decoded.text), printable(text));
      ASSERT_EQ(decoded.line_ending, has_break ? style : LineEnding::Windows);
    }
  }
}

TEST(Ansi, Windows1252MapsEveryByteLikeWindows) {
  if (!platform::use_ansi_code_page(1252)) GTEST_SKIP() << "the system code page is not 1252";
  const DecodedText decoded =
      decode_file_bytes(bytes_of({0x80, 0x81, 0x8D, 0x8F, 0x90, 0x9D, 0x9F, 0xA0, 0xFF}));
  EXPECT_EQ(decoded.encoding, Encoding::Ansi);
  EXPECT_EQ(printable(decoded.text),
            printable(u"\u20AC\u0081\u008D\u008F\u0090\u009D\u0178\u00A0\u00FF"));
  EXPECT_EQ(encode_for_save(u"\u2192", Encoding::Ansi, LineEnding::Windows), bytes_of("?"));
  EXPECT_EQ(encode_for_save(u"\u20AC", Encoding::Ansi, LineEnding::Windows), bytes_of({0x80}));
}

TEST(Ansi, LossCheckIn1252RefusesBestFit) {
  if (!platform::use_ansi_code_page(1252)) GTEST_SKIP() << "the system code page is not 1252";
  EXPECT_FALSE(ansi_would_lose_characters(u""));
  EXPECT_FALSE(ansi_would_lose_characters(u"plain text\r"));
  EXPECT_FALSE(ansi_would_lose_characters(u"\u20AC \u00E9 \u0178"));
  EXPECT_TRUE(ansi_would_lose_characters(u"a \u2192 b"));
  EXPECT_TRUE(ansi_would_lose_characters(u"\U0001F600"));
  EXPECT_TRUE(ansi_would_lose_characters(u"\xD800"));
  // A character with a best-fit stand-in still counts as lost.
  EXPECT_TRUE(ansi_would_lose_characters(u"\u0100"));
#ifdef _WIN32
  // Saving itself allows the system's best fit.
  EXPECT_EQ(encode_for_save(u"\u0100", Encoding::Ansi, LineEnding::Windows), bytes_of("A"));
#endif
}

TEST(Ansi, LossCheckInUtf8OnlyCatchesLoneSurrogates) {
  if (!platform::use_ansi_code_page(65001)) GTEST_SKIP() << "the system code page is not 65001";
  EXPECT_FALSE(ansi_would_lose_characters(u"\u2192 \U0001F600 \u4E00"));
  EXPECT_TRUE(ansi_would_lose_characters(u"a\xD800"));
  EXPECT_TRUE(ansi_would_lose_characters(u"\xDC00" u"a"));
  EXPECT_TRUE(ansi_would_lose_characters(u"\U0001F600\xDE00"));
  EXPECT_EQ(encode_for_save(u"\u2192", Encoding::Ansi, LineEnding::Windows),
            bytes_of("\xE2\x86\x92"));
  platform::use_ansi_code_page(1252);
}

TEST(DisplayNames, AreTheStatusBarTexts) {
  EXPECT_EQ(encoding_display_name(Encoding::Utf8), u"UTF-8");
  EXPECT_EQ(encoding_display_name(Encoding::Utf8Bom), u"UTF-8 with BOM");
  EXPECT_EQ(encoding_display_name(Encoding::Utf16Le), u"UTF-16 LE");
  EXPECT_EQ(encoding_display_name(Encoding::Utf16Be), u"UTF-16 BE");
  EXPECT_EQ(encoding_display_name(Encoding::Ansi), u"ANSI");
  EXPECT_EQ(line_ending_display_name(LineEnding::Windows), u"Windows (CRLF)");
  EXPECT_EQ(line_ending_display_name(LineEnding::Unix), u"Unix (LF)");
  EXPECT_EQ(line_ending_display_name(LineEnding::Macintosh), u"Macintosh (CR)");
}

// Python's bytes.decode('utf-8', 'replace') as the outside judge of maximal-subpart
// replacement, and of strict validity.
TEST(Utf8Oracle, AgreesWithPythonOnRandomAndAdversarialBytes) {
  std::FILE* file = std::fopen(WRENFOLD_UTF8_ORACLE, "rb");
  ASSERT_NE(file, nullptr) << WRENFOLD_UTF8_ORACLE;
  const auto read_u32 = [file](std::uint32_t& value) {
    std::uint8_t raw[4];
    if (std::fread(raw, 1, 4, file) != 4) return false;
    value = raw[0] | (raw[1] << 8) | (raw[2] << 16) | (static_cast<std::uint32_t>(raw[3]) << 24);
    return true;
  };
  std::size_t records = 0;
  std::size_t valid_records = 0;
  std::uint32_t length = 0;
  while (read_u32(length)) {
    Bytes input(length);
    ASSERT_EQ(std::fread(input.data(), 1, length, file), length);
    std::uint8_t valid = 0;
    std::uint32_t unit_count = 0;
    ASSERT_EQ(std::fread(&valid, 1, 1, file), 1u);
    ASSERT_TRUE(read_u32(unit_count));
    std::u16string expected(unit_count, u'\0');
    for (char16_t& unit : expected) {
      std::uint8_t raw[2];
      ASSERT_EQ(std::fread(raw, 1, 2, file), 2u);
      unit = static_cast<char16_t>(raw[0] | (raw[1] << 8));
    }
    ++records;

    Bytes with_mark = bytes_of({0xEF, 0xBB, 0xBF});
    with_mark.insert(with_mark.end(), input.begin(), input.end());
    const DecodedText lossy = decode_file_bytes(with_mark);
    ASSERT_EQ(printable(lossy.text), printable(expected)) << "record " << records;

    // Without a mark, valid input is UTF-8 and anything else ANSI (unless it looks like UTF-16).
    const DecodedText plain = decode_file_bytes(input);
    if (plain.encoding != Encoding::Utf16Le && plain.encoding != Encoding::Utf16Be) {
      ASSERT_EQ(plain.encoding, valid ? Encoding::Utf8 : Encoding::Ansi) << "record " << records;
      if (valid) {
        ++valid_records;
        ASSERT_EQ(plain.text, expected) << "record " << records;
      }
    }
  }
  std::fclose(file);
  EXPECT_GT(records, 10000u);
  EXPECT_GT(valid_records, 1000u);
}

}  // namespace
}  // namespace wrenfold
