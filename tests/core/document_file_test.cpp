#include "document_file.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "codec.h"
#include "file_write.h"
#include "platform.h"
#include "temp_folder.h"

namespace wrenfold {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::core_path;
using testing::read_bytes;
using testing::TempFolder;
using testing::write_bytes;

// Hands out bytes in short reads of random length, as a pipe or a slow disk might, and can
// be told to fail on a given read.
class ChoppySource final : public ByteSource {
 public:
  ChoppySource(const Bytes& bytes, unsigned seed) : bytes_(bytes), rng_(seed) {}

  Result<std::size_t> read(std::span<std::uint8_t> buffer) override {
    if (reads_++ == fail_on_read_) return Error{u"the disk went away"};
    const std::size_t most = std::min(buffer.size(), bytes_.size() - position_);
    const std::size_t count = most == 0 ? 0 : 1 + rng_() % most;
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(position_), count, buffer.begin());
    position_ += count;
    return count;
  }
  Result<void> rewind() override {
    position_ = 0;
    ++rewinds_;
    return {};
  }

  int rewinds() const { return rewinds_; }
  void fail_on_read(int read) { fail_on_read_ = read; }

 private:
  const Bytes& bytes_;
  std::mt19937 rng_;
  std::size_t position_ = 0;
  int reads_ = 0;
  int fail_on_read_ = -1;
  int rewinds_ = 0;
};

void append(Bytes& bytes, std::string_view text) { bytes.insert(bytes.end(), text.begin(), text.end()); }

// About `size` bytes of UTF-8 in lines of every style, with two-, three- and four-byte
// characters; enough to take several pieces.
Bytes mixed_utf8(std::mt19937& rng, std::size_t size) {
  static constexpr std::string_view kParts[] = {"plain words ", "\xC3\xA9", "\xE2\x86\x92",
                                                "\xF0\x9F\x98\x80", "\r\n", "\n", "\r", "0123456789abcdef"};
  Bytes bytes;
  while (bytes.size() < size) append(bytes, kParts[rng() % std::size(kParts)]);
  return bytes;
}

void expect_same_as_whole_decode(const Bytes& bytes, const char* what) {
  const DecodedText whole = decode_file_bytes(bytes);
  for (unsigned seed = 1; seed <= 3; ++seed) {
    ChoppySource source(bytes, seed);
    const Result<DecodedText> pieces = decode_byte_source(source, bytes.size() / 2 + seed);
    ASSERT_TRUE(pieces.ok()) << what;
    EXPECT_EQ(pieces->encoding, whole.encoding) << what;
    EXPECT_EQ(pieces->line_ending, whole.line_ending) << what;
    ASSERT_EQ(pieces->text.size(), whole.text.size()) << what;
    EXPECT_TRUE(pieces->text == whole.text) << what;
  }
}

// Byte positions where a 64 KiB piece ends, give or take, so sequences and CR LF pairs get
// cut there.
constexpr std::size_t kPieceEnd = std::size_t{1} << 16;

TEST(DecodeInPieces, AgreesWithTheWholeDecodeWhateverTheReadsAre) {
  std::mt19937 rng(11);
  const Bytes utf8 = mixed_utf8(rng, 3 * kPieceEnd + 123);
  expect_same_as_whole_decode(utf8, "UTF-8");

  Bytes with_bom;
  append(with_bom, "\xEF\xBB\xBF");
  with_bom.insert(with_bom.end(), utf8.begin(), utf8.end());
  with_bom.push_back(0xFF);  // marked UTF-8 replaces what is ill-formed
  expect_same_as_whole_decode(with_bom, "UTF-8 with BOM and a bad byte");

  // Ill-formed far into the file: the attempt is given up and the whole file read as ANSI.
  Bytes late_bad = utf8;
  late_bad[2 * kPieceEnd + 5] = 0x80;
  expect_same_as_whole_decode(late_bad, "a bad byte in the third piece");

  // A character cut at the end of the file is ill-formed, not carried forever.
  Bytes cut_at_end = utf8;
  append(cut_at_end, "\xE2\x86");
  expect_same_as_whole_decode(cut_at_end, "a cut sequence at the end");

  const Bytes small = {'a', '\r', '\n', 'b'};
  expect_same_as_whole_decode(small, "a file inside one piece");
  expect_same_as_whole_decode({}, "an empty file");
}

TEST(DecodeInPieces, Utf16GoesWholeAndKeepsTheParityRule) {
  Bytes utf16le;
  for (int i = 0; i < 50'000; ++i) {
    utf16le.push_back(static_cast<std::uint8_t>('a' + i % 26));
    utf16le.push_back(0);
  }
  expect_same_as_whole_decode(utf16le, "guessed UTF-16 LE");

  Bytes odd = utf16le;
  odd.push_back('x');  // an odd length is never guessed as UTF-16
  expect_same_as_whole_decode(odd, "odd length");

  Bytes marked = {0xFE, 0xFF};
  for (int i = 0; i < 50'000; ++i) {
    marked.push_back(0x04);
    marked.push_back(static_cast<std::uint8_t>(i));
  }
  expect_same_as_whole_decode(marked, "UTF-16 BE with its mark");
}

TEST(DecodeInPieces, FindsTheFirstLineBreakAcrossPieceEnds) {
  for (std::size_t at : {kPieceEnd - 1, kPieceEnd, kPieceEnd + 1}) {
    for (std::string_view line_break : {"\r\n", "\r", "\n"}) {
      Bytes bytes(at, 'a');
      append(bytes, line_break);
      bytes.resize(bytes.size() + kPieceEnd, 'b');
      expect_same_as_whole_decode(bytes, "a break near a piece end");
    }
  }
  // Two-, three- and four-byte characters straddling the end of the first piece.
  for (std::string_view character : {"\xC3\xA9", "\xE2\x86\x92", "\xF0\x9F\x98\x80"}) {
    for (std::size_t before = 1; before <= 4; ++before) {
      Bytes bytes(kPieceEnd - before, 'a');
      append(bytes, character);
      bytes.resize(bytes.size() + 100, 'b');
      expect_same_as_whole_decode(bytes, "a character across a piece end");
    }
  }
}

TEST(DecodeInPieces, AReadFailureIsReportedNotHalfADocument) {
  std::mt19937 rng(5);
  const Bytes bytes = mixed_utf8(rng, 4 * kPieceEnd);
  for (int failing_read : {0, 3, 40}) {
    ChoppySource source(bytes, 9);
    source.fail_on_read(failing_read);
    const Result<DecodedText> decoded = decode_byte_source(source, bytes.size());
    ASSERT_FALSE(decoded.ok()) << failing_read;
    EXPECT_EQ(decoded.error().message, u"the disk went away");
  }
}

// Reads everything the encoder gives through buffers of random size.
Bytes drain(SaveEncoder& encoder, std::mt19937& rng) {
  Bytes bytes;
  std::vector<std::uint8_t> buffer(80);
  while (true) {
    const std::size_t room = 4 + rng() % 77;
    const Result<std::size_t> count = encoder.read(std::span(buffer).first(room));
    if (!count.ok() || *count == 0) return bytes;
    bytes.insert(bytes.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(*count));
  }
}

TEST(SaveEncoder, GivesTheBytesOfEncodeForSaveInAnyPieces) {
  std::mt19937 rng(3);
  std::u16string text;
  for (int i = 0; i < 400; ++i) {
    text += u"line \u00E9\u2192 ";
    text += static_cast<char16_t>(0xD83D);
    text += static_cast<char16_t>(0xDE00);
    text += i % 7 == 0 ? u"\xD800" : u"";  // a lone surrogate now and then
    text += i % 3 == 0 ? u"\r\n" : u"\r";  // an LF of a pair writes nothing
  }
  for (Encoding encoding : {Encoding::Utf8, Encoding::Utf8Bom, Encoding::Utf16Le, Encoding::Utf16Be,
                            Encoding::Ansi}) {
    for (LineEnding style : {LineEnding::Windows, LineEnding::Unix, LineEnding::Macintosh}) {
      const Bytes expected = encode_for_save(text, encoding, style);
      SaveEncoder encoder(text, encoding, style);
      ASSERT_EQ(drain(encoder, rng), expected) << static_cast<int>(encoding) << static_cast<int>(style);
      ASSERT_TRUE(encoder.rewind().ok());
      ASSERT_EQ(drain(encoder, rng), expected) << "after rewinding";
    }
  }
  SaveEncoder empty(u"", Encoding::Utf16Le, LineEnding::Windows);
  EXPECT_EQ(drain(empty, rng), (Bytes{0xFF, 0xFE}));
}

TEST(DocumentFile, SavesAndReadsBackEveryEncodingAndStyle) {
  TempFolder folder;
  const std::u16string path = core_path(folder / "note.txt");
  std::u16string text(100'000, u'x');
  for (std::size_t i = 0; i < text.size(); i += 97) text[i] = u'\r';
  text[50'000] = u'\u00E9';
  for (Encoding encoding : {Encoding::Utf8, Encoding::Utf8Bom, Encoding::Utf16Le, Encoding::Utf16Be}) {
    for (LineEnding style : {LineEnding::Windows, LineEnding::Unix, LineEnding::Macintosh}) {
      ASSERT_TRUE(save_document(path, text, encoding, style).ok());
      const Bytes expected = encode_for_save(text, encoding, style);
      EXPECT_EQ(read_bytes(folder / "note.txt"), std::string(expected.begin(), expected.end()));
      const Result<DecodedText> read = read_document(path);
      ASSERT_TRUE(read.ok());
      EXPECT_TRUE(read->text == text);
      EXPECT_EQ(read->encoding, encoding);
      EXPECT_EQ(read->line_ending, style);
    }
  }
  const Result<DecodedText> missing = read_document(core_path(folder / "missing.txt"));
  ASSERT_FALSE(missing.ok());
  EXPECT_NE(missing.error().message.find(u"(os error"), std::u16string::npos);
}

TEST(DocumentFile, ASaveThatFailsHalfWayLeavesTheOldFile) {
  TempFolder folder;
  write_bytes(folder / "note.txt", "old content");
  const std::u16string text(300'000, u'n');
  platform::simulate_disk_full_after(100'000);
  const Result<void> saved = save_document(core_path(folder / "note.txt"), text, Encoding::Utf8,
                                           LineEnding::Windows);
  platform::simulate_disk_full_after(std::nullopt);
  ASSERT_FALSE(saved.ok());
  EXPECT_EQ(read_bytes(folder / "note.txt"), "old content");
  EXPECT_EQ(folder.names(), std::vector<std::string>{"note.txt"});
}

}  // namespace
}  // namespace wrenfold
