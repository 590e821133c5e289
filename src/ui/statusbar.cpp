#include "statusbar.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "editor.h"
#include "form.h"
#include "layout.h"
#include "main_window.h"
#include "main_window_state.h"
#include "window_class.h"
#include "paint_buffer.h"
#include "theme.h"

namespace wrenfold::ui {
namespace {

// One status bar per process; its snapshot is read by the paint code.
struct StatusBarState {
  StatusSnapshot snapshot;
  bool has_snapshot = false;
  std::uint64_t repaints = 0;
  std::vector<ClickableRegion> regions;
  unsigned hovered = 0;
  unsigned pressed = 0;
  bool tracking = false;
};

StatusBarState& bar() {
  static StatusBarState state;
  return state;
}

std::u16string decimal(std::uint64_t value) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value != 0);
  return digits;
}

const wchar_t* wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

int text_width(HDC dc, const std::u16string& text) {
  SIZE size = {0, 0};
  GetTextExtentPoint32W(dc, wide(text), static_cast<int>(text.size()), &size);
  return size.cx;
}

void draw_text(HDC dc, const std::u16string& text, RECT rect, COLORREF color, UINT align) {
  SetTextColor(dc, color);
  DrawTextW(dc, wide(text), static_cast<int>(text.size()), &rect, align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

// A clickable field ending at `right`: padded text with the hover or pressed fill behind it.
// Returns its left edge.
int draw_clickable(HDC dc, const std::u16string& text, int right, int height, unsigned dpi,
                   unsigned command, COLORREF color, std::vector<ClickableRegion>& regions) {
  const ThemeColors& palette = current_palette();
  const int padding = static_cast<int>(dpi / 12);
  const int field_height = static_cast<int>(22 * dpi / 96);
  const int width = text_width(dc, text) + 2 * padding;
  const int top = 1 + (height - 1 - field_height) / 2;
  const RECT field = {right - width, top, right, top + field_height};
  const StatusBarState& state = bar();
  if (state.pressed == command) fill_rect(dc, field, palette.pressed);
  else if (state.hovered == command) fill_rect(dc, field, palette.hover);
  draw_text(dc, text, RECT{field.left, 1, field.right, height}, color, DT_CENTER);
  regions.push_back({field, command});
  return field.left;
}

void paint(HWND window) {
  BufferedPaint paint(window);
  HDC dc = paint.dc();
  const int width = paint.width();
  const int height = paint.height();
  const unsigned dpi = window_dpi(window);
  SelectedObject selected_font(dc, ui_font(dpi, false, 0));
  const ThemeColors& palette = current_palette();
  const StatusSnapshot& snapshot = bar().snapshot;

  fill_rect(dc, RECT{0, 0, width, height}, palette.background);
  fill_rect(dc, RECT{0, 0, width, 1}, palette.divider);

  const int gap = static_cast<int>(2 * (dpi / 12));
  int x = static_cast<int>(dpi / 12 + dpi / 8);
  const int position_width = std::max(static_cast<int>(110 * dpi / 96), text_width(dc, snapshot.position));
  draw_text(dc, snapshot.position, RECT{x, 1, x + position_width, height}, palette.text, DT_LEFT);
  x += position_width + gap;
  const int count_width = text_width(dc, snapshot.count);
  draw_text(dc, snapshot.count, RECT{x, 1, x + count_width, height}, palette.text, DT_LEFT);
  x += count_width + gap;
  if (snapshot.message) {
    draw_text(dc, *snapshot.message, RECT{x, 1, width, height}, palette.secondary_text, DT_LEFT);
  }

  std::vector<ClickableRegion> regions;
  int right = width - static_cast<int>(dpi / 8);
  right = draw_clickable(dc, snapshot.encoding, right, height, dpi, 603, palette.text, regions);
  right = draw_clickable(dc, snapshot.line_ending, right, height, dpi, 602, palette.text, regions);
  if (snapshot.zoom) {
    const int slot = text_width(dc, *snapshot.zoom) + 2 * static_cast<int>(dpi / 12);
    draw_text(dc, *snapshot.zoom, RECT{right - slot, 1, right, height}, palette.text, DT_CENTER);
    right -= slot + static_cast<int>(dpi / 24);
  }
  if (snapshot.update) {
    draw_clickable(dc, *snapshot.update, right, height, dpi, 601, palette.accent, regions);
  }
  bar().regions = std::move(regions);
}

unsigned region_at(LPARAM lparam) {
  const POINT point = {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
  for (const ClickableRegion& region : bar().regions) {
    if (PtInRect(&region.rect, point)) return region.command;
  }
  return 0;
}

LRESULT CALLBACK status_bar_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  StatusBarState& state = bar();
  switch (message) {
    case WM_PAINT:
      paint(window);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_SETCURSOR: {
      POINT point;
      GetCursorPos(&point);
      ScreenToClient(window, &point);
      SetCursor(LoadCursorW(nullptr, region_at(MAKELPARAM(point.x, point.y)) != 0 ? IDC_HAND : IDC_ARROW));
      return TRUE;
    }
    case WM_MOUSEMOVE: {
      if (!state.tracking) {
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, window, 0};
        state.tracking = TrackMouseEvent(&track) != FALSE;
      }
      const unsigned hovered = region_at(lparam);
      if (hovered != state.hovered) {
        state.hovered = hovered;
        InvalidateRect(window, nullptr, FALSE);
      }
      return 0;
    }
    case WM_LBUTTONDOWN:
      state.pressed = region_at(lparam);
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_LBUTTONUP: {
      const unsigned released = region_at(lparam);
      const unsigned pressed = state.pressed;
      state.pressed = 0;
      InvalidateRect(window, nullptr, FALSE);
      if (released != 0 && released == pressed) {
        SendMessageW(GetParent(window), WM_COMMAND, released, reinterpret_cast<LPARAM>(window));
      }
      return 0;
    }
    case WM_MOUSELEAVE:
      state.tracking = false;
      state.hovered = 0;
      state.pressed = 0;
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

}  // namespace

StatusSnapshot make_status_snapshot(const StatusInputs& inputs) {
  StatusSnapshot snapshot;
  snapshot.position = u"Ln " + decimal(inputs.line) + u", Col " + decimal(inputs.column);
  snapshot.count = inputs.selected != 0
                       ? decimal(inputs.selected) + u" of " + decimal(inputs.total) + u" characters"
                       : decimal(inputs.total) + u" characters";
  snapshot.line_ending = std::u16string(line_ending_display_name(inputs.line_ending));
  snapshot.encoding = std::u16string(encoding_display_name(inputs.encoding));
  snapshot.message = inputs.message;
  if (inputs.available_update) snapshot.update = u"Update available: " + *inputs.available_update;
  if (inputs.zoom != 1.0) {
    snapshot.zoom = decimal(static_cast<std::uint64_t>(std::llround(inputs.zoom * 100))) + u"%";
  }
  return snapshot;
}

void refresh_status_bar(MainWindowState& state) {
  if (state.editor == nullptr) return;
  const EditorSelectionRange selection = editor_selection(state.editor);
  StatusInputs inputs;
  const std::size_t caret = selection.end;
  const std::uint64_t line = editor_line_index(state, caret);
  const std::size_t line_start = editor_line_start(state, caret);
  inputs.line = line + 1;
  inputs.column = caret - line_start + 1;
  inputs.total = editor_text_length(state.editor);
  inputs.selected = caret - selection.start;
  inputs.line_ending = state.line_ending;
  inputs.encoding = state.encoding;
  inputs.message = state.transient_message;
  inputs.available_update = state.available_update;
  inputs.zoom = state.zoom;
  StatusSnapshot snapshot = make_status_snapshot(inputs);
  StatusBarState& status = bar();
  if (status.has_snapshot && snapshot == status.snapshot) return;
  status.snapshot = std::move(snapshot);
  status.has_snapshot = true;
  ++status.repaints;
  if (state.status_bar != nullptr) InvalidateRect(state.status_bar, nullptr, FALSE);
}

const StatusSnapshot& current_status_snapshot() { return bar().snapshot; }

std::uint64_t status_bar_repaint_count() { return bar().repaints; }

const std::vector<ClickableRegion>& status_bar_regions() { return bar().regions; }

std::optional<RECT> status_bar_field_rect(unsigned command) {
  for (const ClickableRegion& region : bar().regions) {
    if (region.command == command) return region.rect;
  }
  return std::nullopt;
}

void show_transient_message(MainWindowState& state, std::u16string message) {
  state.transient_message = std::move(message);
  SetTimer(state.main_window, kTimerTransientMessage, 4000, nullptr);
  refresh_status_bar(state);
}

void register_status_bar_class(HINSTANCE instance) {
  register_window_class(instance, kStatusBarClass, status_bar_procedure, CS_HREDRAW | CS_VREDRAW);
}

}  // namespace wrenfold::ui
