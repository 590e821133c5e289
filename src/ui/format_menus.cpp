#include "format_menus.h"

#include <string>

#include "codec.h"
#include "commands.h"
#include "document.h"
#include "main_window_state.h"
#include "recovery.h"
#include "popup.h"
#include "statusbar.h"

namespace wrenfold::ui {
namespace {

constexpr unsigned kLineEndingCount = 3;
constexpr unsigned kEncodingCount = 5;

void append_item(HMENU menu, unsigned id, std::u16string_view label, bool checked) {
  const std::u16string text(label);
  AppendMenuW(menu, MF_STRING | (checked ? MF_CHECKED : MF_UNCHECKED), id,
              reinterpret_cast<const wchar_t*>(text.c_str()));
}

// The screen point the menu's bottom-right corner goes to: the top-right corner of the field.
POINT menu_anchor(const MainWindowState& state, bool line_endings) {
  RECT field = {0, 0, 0, 0};
  if (const std::optional<RECT> found =
          status_bar_field_rect(line_endings ? kCommandLineEndingMenu : kCommandEncodingMenu)) {
    field = *found;
  } else if (state.status_bar != nullptr) {
    GetClientRect(state.status_bar, &field);
  }
  POINT anchor = {field.right, field.top};
  if (state.status_bar != nullptr) ClientToScreen(state.status_bar, &anchor);
  return anchor;
}

}  // namespace

HMENU build_format_menu(const MainWindowState& state, bool line_endings) {
  HMENU menu = CreatePopupMenu();
  if (line_endings) {
    for (unsigned index = 0; index < kLineEndingCount; ++index) {
      const auto value = static_cast<LineEnding>(index);
      append_item(menu, kFirstLineEndingItem + index, line_ending_display_name(value), value == state.line_ending);
    }
  } else {
    for (unsigned index = 0; index < kEncodingCount; ++index) {
      const auto value = static_cast<Encoding>(index);
      append_item(menu, kFirstEncodingItem + index, encoding_display_name(value), value == state.encoding);
    }
  }
  return menu;
}

void show_format_menu(MainWindowState& state, bool line_endings) {
  HMENU menu = build_format_menu(state, line_endings);
  prepare_popup_menu(menu);
  set_popup_keyboard_cues(false);
  const POINT anchor = menu_anchor(state, line_endings);
  const BOOL chosen = TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTALIGN | TPM_BOTTOMALIGN,
                                       anchor.x, anchor.y, state.main_window, nullptr);
  DestroyMenu(menu);
  apply_format_choice(state, static_cast<unsigned>(chosen));
}

void apply_format_choice(MainWindowState& state, unsigned item) {
  bool changed = false;
  if (item >= kFirstLineEndingItem && item < kFirstLineEndingItem + kLineEndingCount) {
    const auto value = static_cast<LineEnding>(item - kFirstLineEndingItem);
    changed = value != state.line_ending;
    state.line_ending = value;
  } else if (item >= kFirstEncodingItem && item < kFirstEncodingItem + kEncodingCount) {
    const auto value = static_cast<Encoding>(item - kFirstEncodingItem);
    changed = value != state.encoding;
    state.encoding = value;
  }
  if (changed && !state.modified) {
    state.modified = true;
    update_title(state);
  }
  if (changed) note_recovery_change(state);
  refresh_status_bar(state);
}

}  // namespace wrenfold::ui
