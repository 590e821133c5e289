#include "line_break_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "line_navigation.h"

namespace wrenfold {
namespace {

std::size_t naive_start_of_line_at(const std::u16string& text, std::size_t position) {
  position = std::min(position, text.size());
  const std::size_t before = position == 0 ? std::u16string::npos : text.rfind(u'\r', position - 1);
  return before == std::u16string::npos ? 0 : before + 1;
}

// Every answer of the index against a count over the text itself, at the positions where
// mistakes hide (block edges, around each break near an edit) and at random ones.
void expect_agrees(const LineBreakIndex& index, const std::u16string& text, std::mt19937& random,
                   std::size_t near) {
  ASSERT_EQ(index.length(), text.size());
  const std::uint64_t breaks = static_cast<std::uint64_t>(std::count(text.begin(), text.end(), u'\r'));
  ASSERT_EQ(index.line_count(), breaks + 1);
  std::vector<std::size_t> positions = {0, text.size(), text.size() + 5};
  for (std::size_t edge = 32'768; edge < text.size() + 2; edge += 32'768) {
    positions.insert(positions.end(), {edge - 1, edge, edge + 1});
  }
  for (std::size_t delta = 0; delta < 8; ++delta) positions.insert(positions.end(), {near + delta, near - std::min(near, delta)});
  std::uniform_int_distribution<std::size_t> anywhere(0, text.size());
  for (int i = 0; i < 12; ++i) positions.push_back(anywhere(random));
  for (const std::size_t position : positions) {
    SCOPED_TRACE(position);
    ASSERT_EQ(index.line_of(position) + 1, line_of_position(text, position));
    ASSERT_EQ(index.start_of_line_at(position), naive_start_of_line_at(text, position));
    const bool follows = position == 0 || (position <= text.size() && text[position - 1] == u'\r');
    ASSERT_EQ(index.follows_break(position), follows);
  }
  std::uniform_int_distribution<std::uint64_t> any_line(0, breaks + 1);
  for (const std::uint64_t line : {std::uint64_t{0}, breaks, breaks + 1, any_line(random), any_line(random)}) {
    SCOPED_TRACE(line);
    const std::optional<std::size_t> expected = line_start(text, line + 1);
    ASSERT_EQ(index.start_of_line(line), expected);
  }
}

std::u16string random_text(std::mt19937& random, std::size_t length, int break_one_in) {
  std::uniform_int_distribution<int> pick(0, break_one_in - 1);
  std::u16string text(length, u'a');
  for (char16_t& unit : text) {
    const int roll = pick(random);
    unit = roll == 0 ? u'\r' : roll == 1 ? u'\u00e9' : u'a';
  }
  return text;
}

TEST(LineBreakIndex, RandomEditsAgreeWithACountOverTheText) {
  std::mt19937 random(1234);
  // Dense and sparse breaks; texts that start empty, small, and span several blocks.
  for (const auto& [initial, break_one_in] : {std::pair<std::size_t, int>{0, 5}, {100, 60}, {150'000, 60},
                                              {100'000, 20'000}}) {
    SCOPED_TRACE(initial);
    std::u16string text = random_text(random, initial, break_one_in);
    LineBreakIndex index;
    index.assign(text);
    expect_agrees(index, text, random, 0);
    for (int step = 0; step < 120; ++step) {
      std::uniform_int_distribution<std::size_t> at(0, text.size());
      const std::size_t start = at(random);
      // Mostly keystroke-sized edits, sometimes ranges that cross whole blocks.
      const std::size_t span = step % 10 == 0 ? 70'000 : 3;
      const std::size_t removed = std::uniform_int_distribution<std::size_t>(0, std::min(span, text.size() - start))(random);
      const std::size_t inserted_length = std::uniform_int_distribution<std::size_t>(0, step % 9 == 0 ? 40'000 : 3)(random);
      const std::u16string inserted = random_text(random, inserted_length, break_one_in);
      ASSERT_TRUE(index.replace(start, removed, inserted));
      text.replace(start, removed, inserted);
      expect_agrees(index, text, random, start);
    }
  }
}

TEST(LineBreakIndex, DeletingEverythingAndStartingAgain) {
  std::mt19937 random(7);
  LineBreakIndex index;
  std::u16string text = random_text(random, 100'000, 10);
  index.assign(text);
  ASSERT_TRUE(index.replace(0, text.size(), u""));
  text.clear();
  expect_agrees(index, text, random, 0);
  EXPECT_EQ(index.start_of_line(1), std::nullopt);
  ASSERT_TRUE(index.replace(0, 0, u"\r\rab\r"));
  text = u"\r\rab\r";
  expect_agrees(index, text, random, 2);
}

TEST(LineBreakIndex, ARangeOutsideTheTextIsRefusedAndChangesNothing) {
  LineBreakIndex index;
  index.assign(u"one\rtwo");
  EXPECT_FALSE(index.replace(8, 0, u"x"));
  EXPECT_FALSE(index.replace(5, 3, u""));
  EXPECT_FALSE(index.replace(0, std::size_t(-1), u""));
  EXPECT_EQ(index.length(), 7u);
  EXPECT_EQ(index.line_count(), 2u);
  EXPECT_EQ(index.start_of_line_at(6), 4u);
}

TEST(LineBreakIndex, ThousandsOfKeystrokeEditsStayExact) {
  // Typing, Enter and Backspace one unit at a time, spread over the blocks, with the merging
  // of small blocks that this causes.
  std::mt19937 random(99);
  std::u16string text = random_text(random, 200'000, 60);
  LineBreakIndex index;
  index.assign(text);
  for (int i = 0; i < 6'000; ++i) {
    const std::size_t at = (static_cast<std::size_t>(i) * 7919) % (text.size() + 1);
    if (i % 3 == 2) {
      ASSERT_TRUE(index.replace(at == 0 ? 0 : at - 1, at == 0 ? 0 : 1, u""));
      if (at != 0) text.erase(at - 1, 1);
    } else {
      ASSERT_TRUE(index.replace(at, 0, i % 5 == 0 ? u"\r" : u"x"));
      text.insert(at, i % 5 == 0 ? u"\r" : u"x");
    }
  }
  expect_agrees(index, text, random, 100);
}

}  // namespace
}  // namespace wrenfold
