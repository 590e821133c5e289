#pragma once
// The self-drawn strip along the bottom: caret position, counts, a transient message, the
// document's line ending and encoding (both clickable), the zoom and an update notice.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "codec.h"

namespace wrenfold::ui {

struct MainWindowState;

inline constexpr wchar_t kStatusBarClass[] = L"WrenfoldStatusBar";

struct StatusSnapshot {
  std::u16string position;
  std::u16string count;
  std::u16string line_ending;
  std::u16string encoding;
  std::optional<std::u16string> message;
  std::optional<std::u16string> update;
  std::optional<std::u16string> zoom;

  bool operator==(const StatusSnapshot&) const = default;
};

struct StatusInputs {
  std::uint64_t line = 1;     // 1-based
  std::uint64_t column = 1;   // 1-based, in code units
  std::uint64_t selected = 0;
  std::uint64_t total = 0;
  LineEnding line_ending = LineEnding::Windows;
  Encoding encoding = Encoding::Utf8;
  std::optional<std::u16string> message;
  std::optional<std::u16string> available_update;
  double zoom = 1.0;
};

StatusSnapshot make_status_snapshot(const StatusInputs& inputs);

// Rebuilds the snapshot from the editor and the state; repaints only when a text changed.
void refresh_status_bar(MainWindowState& state);

// The snapshot of the last refresh, and how many refreshes changed it.
const StatusSnapshot& current_status_snapshot();
std::uint64_t status_bar_repaint_count();

// A field of the last paint that sends `command` when clicked.
struct ClickableRegion {
  RECT rect;
  unsigned command;
};
const std::vector<ClickableRegion>& status_bar_regions();

// Where the field sending `command` was last painted, in the bar's client coordinates.
std::optional<RECT> status_bar_field_rect(unsigned command);

// Shows `message` for four seconds (timer 2 of the main window clears it).
void show_transient_message(MainWindowState& state, std::u16string message);

void register_status_bar_class(HINSTANCE instance);

}  // namespace wrenfold::ui
