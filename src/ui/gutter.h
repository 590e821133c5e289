#pragma once
// The line numbers beside the text: one per logical line, on its first display line.

#include <windows.h>

#include <cstdint>
#include <vector>

namespace wrenfold::ui {

struct MainWindowState;

// One number drawn in the gutter: at the top of the display line that starts a logical line.
struct GutterLabel {
  int top;
  std::uint64_t number;  // 1-based
  bool caret_line;       // drawn in the text colour rather than the muted one

  bool operator==(const GutterLabel&) const = default;
};

// The numbers of every logical line whose first display line is visible, top to bottom.
std::vector<GutterLabel> gutter_labels(MainWindowState& state);

inline constexpr wchar_t kGutterClass[] = L"WrenfoldGutter";

void register_gutter_class(HINSTANCE instance);

}  // namespace wrenfold::ui
