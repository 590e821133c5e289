// Where a new window goes relative to the one that opened it.

#include <windows.h>

#include <gtest/gtest.h>

#include "new_window.h"

namespace wrenfold::ui {
namespace {

TEST(NewWindow, CascadesAndFallsBackToTheWorkAreaCorner) {
  const RECT work_area = {0, 0, 1920, 1040};
  struct Row {
    RECT source;
    unsigned dpi;
    bool maximized;
    WindowPlacement expected;
    const char* why;
  };
  const Row rows[] = {
      {{100, 100, 900, 700}, 96, false, {132, 132, 800, 600, false}, "32 pixels at 96 DPI"},
      {{100, 100, 900, 700}, 144, false, {148, 148, 800, 600, false}, "48 pixels at 144 DPI"},
      {{100, 100, 900, 700}, 96, true, {132, 132, 800, 600, true}, "maximized follows the parent"},
      {{1120, 100, 1920, 700}, 96, false, {0, 0, 800, 600, false}, "touching the right edge"},
      {{100, 440, 900, 1040}, 96, false, {0, 0, 800, 600, false}, "touching the bottom edge"},
      {{1088, 408, 1888, 1008}, 96, false, {1120, 440, 800, 600, false}, "exactly fitting is kept"},
      {{-500, -300, 300, 300}, 96, false, {-468, -268, 800, 600, false}, "no other correction"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(cascaded_placement(row.source, row.dpi, work_area, row.maximized), row.expected) << row.why;
  }
  EXPECT_EQ(cascaded_placement({3040, 100, 3840, 700}, 96, {1920, 0, 3840, 1040}, false),
            (WindowPlacement{1920, 0, 800, 600, false}))
      << "the corner of the work area it was measured against";
}

}  // namespace
}  // namespace wrenfold::ui
