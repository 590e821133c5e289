#include "find_paint.h"

#include <algorithm>

#include "form.h"
#include "paint_buffer.h"
#include "win32_handles.h"

namespace wrenfold::ui {
namespace {

void draw_tab(HDC dc, const RECT& tab, const wchar_t* label, bool active, const FindPaintInput& input,
              const ThemeColors& palette) {
  SetTextColor(dc, active ? palette.text : palette.secondary_text);
  RECT text_rect = tab;
  const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE | (input.hide_accelerators ? DT_HIDEPREFIX : 0);
  DrawTextW(dc, label, -1, &text_rect, format);
  if (!active) return;
  const int inset = static_cast<int>(input.dpi / 12);
  const int thickness = std::max(static_cast<int>(input.dpi / 32), 1);
  const RECT bar = {tab.left + inset, tab.bottom - thickness, tab.right - inset, tab.bottom};
  fill_rect(dc, bar, palette.accent);
}

// A one-pixel line along each side of `box`.
void outline(HDC dc, const RECT& box, COLORREF color) {
  fill_rect(dc, RECT{box.left, box.top, box.right, box.top + 1}, color);
  fill_rect(dc, RECT{box.left, box.bottom - 1, box.right, box.bottom}, color);
  fill_rect(dc, RECT{box.left, box.top, box.left + 1, box.bottom}, color);
  fill_rect(dc, RECT{box.right - 1, box.top, box.right, box.bottom}, color);
}

void draw_chevron(HDC dc, int center_x, int center_y, bool down, unsigned dpi, COLORREF color) {
  const int short_arm = static_cast<int>(dpi / 48);
  const int long_arm = static_cast<int>(dpi / 24);
  UniquePen pen(CreatePen(PS_SOLID, std::max(static_cast<int>(dpi / 96), 1), color));
  const SelectedObject selected(dc, pen.get());
  POINT points[3];
  if (down) {
    points[0] = {center_x - long_arm, center_y - short_arm};
    points[1] = {center_x, center_y + short_arm};
    points[2] = {center_x + long_arm, center_y - short_arm};
  } else {
    points[0] = {center_x - short_arm, center_y - long_arm};
    points[1] = {center_x + short_arm, center_y};
    points[2] = {center_x - short_arm, center_y + long_arm};
  }
  Polyline(dc, points, 3);
}

}  // namespace

int tab_label_width(HWND window, const wchar_t* label, unsigned dpi) {
  WindowDc dc(window);
  const SelectedObject font(dc.get(), ui_font(dpi, false, 0));
  RECT measured = {0, 0, 0, 0};
  DrawTextW(dc.get(), label, -1, &measured, DT_CALCRECT | DT_SINGLELINE);
  return measured.right - measured.left;
}

void paint_find_window(HDC dc, const RECT& client, const FindPaintInput& input, const ThemeColors& palette) {
  fill_rect(dc, client, palette.chrome);
  const SelectedObject font(dc, ui_font(input.dpi, false, 0));
  SetBkMode(dc, TRANSPARENT);
  draw_tab(dc, input.tabs.find, kFindTabLabel, !input.replace_mode, input, palette);
  draw_tab(dc, input.tabs.replace, kReplaceTabLabel, input.replace_mode, input, palette);
  const COLORREF line = border_color(palette.is_dark);
  outline(dc, input.options_box, line);
  if (input.options_expanded) {
    const int y = input.options_box.top + static_cast<int>(input.dpi / 3);
    fill_rect(dc, RECT{input.options_box.left, y, input.options_box.right, y + 1}, line);
  }
}

void draw_options_header(const DRAWITEMSTRUCT& item, const std::u16string& summary, bool expanded,
                         unsigned dpi, const ThemeColors& palette) {
  HDC dc = item.hDC;
  const RECT& area = item.rcItem;
  fill_rect(dc, area, (item.itemState & ODS_SELECTED) != 0 ? palette.pressed : palette.chrome);
  const int center_y = (area.top + area.bottom) / 2;
  draw_chevron(dc, area.left + static_cast<int>(dpi * 14 / 96), center_y, expanded, dpi, palette.text);

  const SelectedObject font(dc, ui_font(dpi, false, 0));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, palette.text);
  RECT label = area;
  label.left += static_cast<int>(dpi * 30 / 96);
  const UINT prefix = (item.itemState & ODS_NOACCEL) != 0 ? DT_HIDEPREFIX : 0;
  DrawTextW(dc, L"&Options", -1, &label, DT_LEFT | DT_VCENTER | DT_SINGLELINE | prefix);

  if (!summary.empty()) {
    SetTextColor(dc, palette.secondary_text);
    RECT text = area;
    text.left += static_cast<int>(dpi * 110 / 96);
    text.right -= static_cast<int>(dpi / 8);
    DrawTextW(dc, reinterpret_cast<const wchar_t*>(summary.c_str()), static_cast<int>(summary.size()), &text,
              DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
  }
  if ((item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0) {
    RECT focus = area;
    const int inset = static_cast<int>(dpi / 48);
    InflateRect(&focus, -inset, -inset);
    SetTextColor(dc, palette.text);
    DrawFocusRect(dc, &focus);
  }
}

}  // namespace wrenfold::ui
