#include "recovery_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "platform.h"
#include "recovery_writer.h"
#include "temp_folder.h"

namespace wrenfold {
namespace {

using testing::TempFolder;
using testing::core_path;
using namespace std::string_literals;

RecoveryHeader sample_header() {
  RecoveryHeader header;
  header.path = u"C:\\Notes\\plan \u00e9t\u00e9.txt";
  header.encoding = Encoding::Utf16Be;
  header.line_ending = LineEnding::Unix;
  header.disk_stamp = std::pair<std::uint64_t, std::uint64_t>{133'000'000'000'000'000ULL, 4096};
  header.saved_at = 1'796'000'000;
  header.owner_process = 4242;
  return header;
}

void expect_same(const RecoveryContent& read, const RecoveryHeader& header, std::u16string_view text) {
  EXPECT_EQ(read.header.path, header.path);
  EXPECT_EQ(read.header.encoding, header.encoding);
  EXPECT_EQ(read.header.line_ending, header.line_ending);
  EXPECT_EQ(read.header.disk_stamp, header.disk_stamp);
  EXPECT_EQ(read.header.saved_at, header.saved_at);
  EXPECT_EQ(read.header.owner_process, header.owner_process);
  EXPECT_EQ(read.text, text);
}

TEST(RecoveryFile, EveryEncodingAndLineEndingComesBackWithAndWithoutAPath) {
  // CR line breaks, an unpaired surrogate, a pair, U+0000 and U+FFFF: the text comes back unit
  // for unit, whatever the document's encoding would make of it on save.
  const std::u16string text = u"first\rsecond \u20ac\r\xD800 \xD83D\xDE00 x\0y\xFFFF\r"s;
  for (int encoding = 0; encoding <= 4; ++encoding) {
    for (int line_ending = 0; line_ending <= 2; ++line_ending) {
      for (const bool with_path : {true, false}) {
        RecoveryHeader header = sample_header();
        header.encoding = static_cast<Encoding>(encoding);
        header.line_ending = static_cast<LineEnding>(line_ending);
        if (!with_path) {
          header.path.reset();
          header.disk_stamp.reset();
        }
        SCOPED_TRACE(::testing::Message() << "encoding " << encoding << ", line ending " << line_ending
                                          << (with_path ? ", path" : ", untitled"));
        const Result<RecoveryContent> read = parse_recovery_file(format_recovery_file(header, text));
        ASSERT_TRUE(read.ok()) << std::string(read.error().message.begin(), read.error().message.end());
        expect_same(*read, header, text);
      }
    }
  }
}

TEST(RecoveryFile, EmptyTextAndAnEmptyPathAreKeptApartFromNone) {
  RecoveryHeader header = sample_header();
  header.path = u"";
  const Result<RecoveryContent> read = parse_recovery_file(format_recovery_file(header, u""));
  ASSERT_TRUE(read.ok());
  expect_same(*read, header, u"");
}

TEST(RecoveryFile, PiecesOfAnySizeMakeTheSameBytes) {
  // Odd buffer sizes cut units in half, between the header, the path and the text.
  const RecoveryHeader header = sample_header();
  const std::u16string text = u"piece\rby piece \u20ac";
  const std::vector<std::uint8_t> whole = format_recovery_file(header, text);
  for (const std::size_t size : {4u, 5u, 7u, 64u}) {
    RecoveryFileSource source(header, text);
    std::vector<std::uint8_t> joined;
    std::vector<std::uint8_t> buffer(size);
    for (int pass = 0; pass < 2; ++pass) {  // and again after a rewind
      joined.clear();
      ASSERT_TRUE(source.rewind().ok());
      while (const std::size_t got = *source.read(buffer)) joined.insert(joined.end(), buffer.begin(), buffer.begin() + got);
      EXPECT_EQ(joined, whole) << "pieces of " << size << ", pass " << pass;
    }
  }
}

TEST(RecoveryFile, EveryCutShortFileIsReported) {
  const std::vector<std::uint8_t> whole = format_recovery_file(sample_header(), u"some text\rmore");
  for (std::size_t length = 0; length < whole.size(); ++length) {
    const std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + length);
    EXPECT_FALSE(parse_recovery_file(cut).ok()) << "cut to " << length << " of " << whole.size() << " bytes";
  }
}

TEST(RecoveryFile, DamageAnywhereIsReported) {
  const std::vector<std::uint8_t> whole = format_recovery_file(sample_header(), u"some text\rmore");
  for (std::size_t index = 0; index < whole.size(); ++index) {
    std::vector<std::uint8_t> damaged = whole;
    damaged[index] ^= 0x01;
    EXPECT_FALSE(parse_recovery_file(damaged).ok()) << "byte " << index;
  }
  std::vector<std::uint8_t> longer = whole;
  longer.push_back(0);
  longer.push_back(0);
  EXPECT_FALSE(parse_recovery_file(longer).ok());
}

TEST(RecoveryFile, HugeCountsInAForgedHeaderAreRefusedWithoutReadingPastTheEnd) {
  const std::string forged =
      "Wrenfold recovery file 1\npath: 18446744073709551615\nencoding: utf-8\nline-ending: crlf\n"
      "disk-stamp: none\nsaved: 2026-12-08T08:00:00+00:00\nowner: 1\ntext: 9223372036854775808\n"
      "checksum: 0000000000000000\n\nab";
  const std::vector<std::uint8_t> bytes(forged.begin(), forged.end());
  EXPECT_FALSE(parse_recovery_file(bytes).ok());
}

TEST(RecoveryTiming, WritesAfterAPauseAtLeastEveryTenSecondsAndAtMostFivePercentOfTheTime) {
  struct Row {
    RecoveryTiming timing;
    std::uint64_t due;
    const char* why;
  };
  const Row rows[] = {
      {{5'000, 5'000, std::nullopt, 0}, 6'000, "one second after a single change"},
      {{5'000, 9'500, std::nullopt, 0}, 10'500, "postponed by later changes"},
      {{5'000, 14'990, std::nullopt, 0}, 15'000, "continuous typing still writes after ten seconds"},
      {{5'000, 5'000, 4'000, 10}, 6'000, "a cheap write does not hold the next one back"},
      {{5'000, 5'000, 4'000, 1'000}, 23'000, "a write of one second waits nineteen more"},
  };
  for (const Row& row : rows) EXPECT_EQ(recovery_write_due_ms(row.timing), row.due) << row.why;
}

TEST(RecoveryWriter, WritesInTheBackgroundAndARemovalIsNeverUndoneByAnOlderWrite) {
  TempFolder folder;
  const std::u16string path = core_path(folder / "recovery" / "a.recovery");
  std::atomic<int> writes{0};
  RecoveryWriter writer([&](std::uint64_t, bool ok) { writes += ok ? 1 : 0; });
  auto text = std::make_shared<const std::u16string>(u"typed\rtext");

  writer.write(path, sample_header(), text);
  writer.wait_until_idle();
  // The folder is made on the way.
  const platform::SystemResult<std::vector<std::uint8_t>> bytes = platform::read_file(path);
  ASSERT_FALSE(bytes.error);
  const Result<RecoveryContent> read = parse_recovery_file(bytes.value);
  ASSERT_TRUE(read.ok());
  EXPECT_EQ(read->text, *text);
  EXPECT_EQ(writes.load(), 1);

  // A burst of writes then a removal: however the worker interleaves, nothing is left.
  for (int round = 0; round < 20; ++round) {
    writer.write(path, sample_header(), text);
    writer.remove(path);
  }
  writer.wait_until_idle();
  EXPECT_FALSE(platform::entry_exists(path));

  // A write asked for after a removal still happens.
  writer.remove(path);
  writer.write(path, sample_header(), text);
  writer.wait_until_idle();
  EXPECT_TRUE(platform::entry_exists(path));
}

}  // namespace
}  // namespace wrenfold
