#include "document_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wrenfold {
namespace {

TEST(LargeFile, AsksOnlyAboveOneHundredMebibytes) {
  EXPECT_EQ(large_file_question(u"a.txt", 0, u","), std::nullopt);
  EXPECT_EQ(large_file_question(u"a.txt", kLargeFileBytes, u","), std::nullopt) << "exactly 100 MiB opens";
  EXPECT_EQ(large_file_question(u"a.txt", kLargeFileBytes + 1, u","),
            std::optional<std::u16string>(
                u"a.txt is 100 MB. Large files can take a while to open and use a lot of memory.\n\nOpen it anyway?"));
}

TEST(LargeFile, SizeRoundsToNearestAndGroupsDigits) {
  struct Row {
    std::uint64_t size;
    std::u16string separator;
    std::u16string expected;
  };
  constexpr std::uint64_t kMiB = 1'048'576;
  const std::vector<Row> rows = {
      {150 * kMiB + kMiB / 2 - 1, u",", u"150"},
      {150 * kMiB + kMiB / 2, u",", u"151"},
      {1234 * kMiB, u",", u"1,234"},
      {1234567 * kMiB, u"\u00A0", u"1\u00A0234\u00A0567"},
      {UINT64_MAX, u".", u"17.592.186.044.416"},
  };
  for (const Row& row : rows) EXPECT_EQ(megabytes_text(row.size, row.separator), row.expected) << row.size;
}

TEST(DocumentPaths, FileNameAndParent) {
  EXPECT_EQ(path_file_name(u"C:\\a\\b.txt"), u"b.txt");
  EXPECT_EQ(path_file_name(u"C:/a/b.txt"), u"b.txt");
  EXPECT_EQ(path_file_name(u"C:\\a\\"), u"");
  EXPECT_EQ(path_file_name(u"plain"), u"plain");

  EXPECT_EQ(path_parent(u"C:\\a\\b.txt"), std::optional<std::u16string>(u"C:\\a"));
  EXPECT_EQ(path_parent(u"C:\\b.txt"), std::optional<std::u16string>(u"C:\\")) << "the root, not the drive's folder";
  EXPECT_EQ(path_parent(u"C:\\a\\\\b.txt"), std::optional<std::u16string>(u"C:\\a"));
  EXPECT_EQ(path_parent(u"/b.txt"), std::optional<std::u16string>(u"/"));
  EXPECT_EQ(path_parent(u"C:\\"), std::nullopt);
  EXPECT_EQ(path_parent(u"b.txt"), std::nullopt);
}

TEST(DocumentPaths, SameComponents) {
  EXPECT_TRUE(same_path_components(u"C:\\a\\b.txt", u"C:/a//b.txt"));
  EXPECT_TRUE(same_path_components(u"C:\\a\\", u"C:\\a"));
  EXPECT_FALSE(same_path_components(u"C:\\a\\b.txt", u"C:\\a\\B.txt"));
  EXPECT_FALSE(same_path_components(u"C:\\a\\b", u"C:\\a\\b\\c"));
  EXPECT_FALSE(same_path_components(u"\\a", u"a"));
}

TEST(ReloadSelection, ClampedToTheNewText) {
  struct Row {
    SelectionRange before;
    std::size_t old_length;
    std::size_t new_length;
    SelectionRange expected;
  };
  const std::vector<Row> rows = {
      {{2, 5}, 10, 20, {2, 5}},    // longer text: unchanged
      {{4, 15}, 17, 8, {4, 8}},    // end beyond the new text
      {{12, 15}, 17, 8, {8, 8}},   // both beyond: a caret at the end
      {{3, 3}, 10, 0, {0, 0}},     // emptied file
      {{2, 30}, 10, 40, {2, 10}},  // an end past the old text is cut to it
  };
  for (const Row& row : rows) {
    EXPECT_EQ(clamp_restored_selection(row.before, row.old_length, row.new_length), row.expected)
        << row.before.start << "-" << row.before.end;
  }
}

}  // namespace
}  // namespace wrenfold
