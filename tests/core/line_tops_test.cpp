#include "line_tops.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace wrenfold {
namespace {

// Screens of lines mostly one row of 16, some of a taller font, some wrapped onto several
// rows, the first pair known and the last asked, as the gutter does: every top in view must
// come out as the screen has it, with no question where every line is one row, and no more
// questions than lines in view otherwise.
TEST(LineTops, EveryTopMatchesTheScreenWithFewQuestions) {
  std::mt19937 rng(5);
  for (int round = 0; round < 300; ++round) {
    const std::size_t count = 2 + rng() % 80;
    const int odd_rows = round % 3 == 0 ? 0 : static_cast<int>(rng() % 4);
    std::vector<int> screen(count);
    int top = static_cast<int>(rng() % 9);
    for (std::size_t i = 0; i < count; ++i) {
      screen[i] = top;
      const bool odd = odd_rows > 0 && rng() % 20 < static_cast<unsigned>(odd_rows) && i > 0;
      top += odd ? (rng() % 2 == 0 ? 24 : 16 * static_cast<int>(2 + rng() % 3)) : 16;
    }
    const int row = 16;
    const int bottom = screen[0] + 16 * static_cast<int>(rng() % 90);
    std::vector<int> tops(count, -1);
    tops[0] = screen[0];
    tops[1] = screen[1];
    tops.back() = screen.back();
    int asked = 0;
    fill_line_tops(tops, 1, count - 1, row, bottom, [&](std::size_t at) {
      ++asked;
      return screen.at(at);
    });
    std::size_t in_view = 0;
    for (std::size_t i = 0; i < count; ++i) {
      if (screen[i] > bottom) break;
      ++in_view;
      ASSERT_EQ(tops[i], screen[i]) << "round " << round << ", line " << i;
    }
    if (in_view < count) {
      // The first line below the view is known (or the last asked), those after it need not be.
      ASSERT_GT(tops[in_view], bottom) << "round " << round;
    }
    if (odd_rows == 0) {
      EXPECT_EQ(asked, 0);
    } else {
      EXPECT_LE(asked, static_cast<int>(in_view) + 8) << "round " << round;
    }
  }
}

// One row of a taller fallback font in a screenful costs a few questions, not one per line.
TEST(LineTops, OneTallerRowIsFoundByHalving) {
  std::vector<int> screen;
  for (int i = 0, top = 0; i < 60; ++i, top += i == 37 ? 24 : 16) screen.push_back(top);
  std::vector<int> tops(screen.size(), -1);
  tops[0] = screen[0];
  tops[1] = screen[1];
  tops.back() = screen.back();
  int asked = 0;
  fill_line_tops(tops, 1, tops.size() - 1, 16, 10000, [&](std::size_t at) {
    ++asked;
    return screen.at(at);
  });
  EXPECT_EQ(tops, screen);
  EXPECT_LE(asked, 12);
}

}  // namespace
}  // namespace wrenfold
