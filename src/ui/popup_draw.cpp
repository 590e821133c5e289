// Measuring and drawing the owner-drawn popup menu items.

#include <algorithm>
#include <string>
#include <string_view>

#include "layout.h"
#include "menubar.h"
#include "paint_buffer.h"
#include "popup.h"
#include "theme.h"
#include "win32_handles.h"

namespace wrenfold::ui {
namespace {

constexpr wchar_t kCheckMarkGlyph[] = L"\uE73E";
constexpr wchar_t kSubmenuArrowGlyph[] = L"\uE76C";

const wchar_t* wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

int text_width(HDC dc, const std::u16string& text, UINT format) {
  if (text.empty()) return 0;
  RECT rect = {0, 0, 0, 0};
  DrawTextW(dc, wide(text), static_cast<int>(text.size()), &rect, format | DT_SINGLELINE | DT_CALCRECT);
  return rect.right - rect.left;
}

void draw_text(HDC dc, const std::wstring_view text, RECT rect, COLORREF color, UINT format) {
  SetTextColor(dc, color);
  DrawTextW(dc, text.data(), static_cast<int>(text.size()), &rect, format | DT_SINGLELINE | DT_VCENTER);
}

// The submenu an item opens, found through its data value in the menu that holds it.
bool opens_submenu(HMENU menu, ULONG_PTR data) {
  const int count = GetMenuItemCount(menu);
  for (int position = 0; position < count; ++position) {
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_DATA | MIIM_SUBMENU;
    if (GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info) && info.dwItemData == data) {
      return info.hSubMenu != nullptr;
    }
  }
  return false;
}

}  // namespace

MenuItemGeometry menu_item_geometry(const RECT& item, unsigned dpi) {
  const int d = static_cast<int>(dpi);
  const int unit = d / 24;
  const int check_width = d * 36 / 96;
  const int arrow_width = d * 28 / 96;
  const int middle = (item.top + item.bottom) / 2;
  MenuItemGeometry geometry;
  geometry.selection = {item.left + unit, item.top + d / 48, item.right - unit + 1, item.bottom - d / 48 + 1};
  geometry.check_column = {item.left, item.top, item.left + check_width, item.bottom};
  geometry.text = {item.left + check_width, item.top, item.right - arrow_width, item.bottom};
  geometry.arrow_column = {item.right - arrow_width, item.top, item.right, item.bottom};
  geometry.separator = {item.left + unit, middle, item.right - unit, middle + 1};
  geometry.corner = d / 12;
  return geometry;
}

SIZE menu_item_size(const OwnerDrawnItem& item, unsigned dpi, int label_width, int accelerator_width,
                    int menu_check_width) {
  const int d = static_cast<int>(dpi);
  if (item.is_separator) return SIZE{0, d * 9 / 96};
  int width = label_width + d * 36 / 96 + d * 28 / 96;
  if (!item.accelerator.empty()) width += d * 40 / 96 + accelerator_width;
  width -= menu_check_width;
  return SIZE{std::max(width, 0), d / 3};
}

bool measure_menu_item(HWND window, MEASUREITEMSTRUCT& measure) {
  if (measure.CtlType != ODT_MENU) return false;
  const OwnerDrawnItem* item = owner_drawn_item(measure.itemData);
  if (item == nullptr) return false;
  const unsigned dpi = window_dpi(window);
  int label_width = 0;
  int accelerator_width = 0;
  if (!item->is_separator) {
    const WindowDc dc(window);
    const SelectedObject font(dc.get(), menubar_font(dpi, false));
    label_width = text_width(dc.get(), item->label, 0);
    accelerator_width = text_width(dc.get(), item->accelerator, DT_NOPREFIX);
  }
  const SIZE size = menu_item_size(*item, dpi, label_width, accelerator_width,
                                   GetSystemMetricsForDpi(SM_CXMENUCHECK, dpi));
  measure.itemWidth = static_cast<UINT>(size.cx);
  measure.itemHeight = static_cast<UINT>(size.cy);
  return true;
}

bool draw_menu_item(HWND window, const DRAWITEMSTRUCT& draw) {
  if (draw.CtlType != ODT_MENU) return false;
  const OwnerDrawnItem* item = owner_drawn_item(draw.itemData);
  if (item == nullptr) return false;
  const unsigned dpi = window_dpi(window);
  const ThemeColors& palette = current_palette();
  HDC dc = draw.hDC;
  const RECT& rect = draw.rcItem;
  const MenuItemGeometry geometry = menu_item_geometry(rect, dpi);
  const int saved = SaveDC(dc);
  SetBkMode(dc, TRANSPARENT);

  fill_rect(dc, rect, popup_menu_background(palette.is_dark));
  if (item->is_separator) {
    fill_rect(dc, geometry.separator, popup_separator_color(palette.is_dark));
    RestoreDC(dc, saved);
    return true;
  }
  const bool disabled = (draw.itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
  if ((draw.itemState & ODS_SELECTED) != 0 && !disabled) {
    fill_round_rect(dc, geometry.selection, geometry.corner, popup_selected_fill(palette.is_dark));
  }
  const COLORREF text_color = disabled ? palette.disabled_text : palette.text;
  if ((draw.itemState & ODS_CHECKED) != 0) {
    const SelectedObject font(dc, menubar_font(dpi, true));
    draw_text(dc, kCheckMarkGlyph, geometry.check_column, text_color, DT_CENTER | DT_NOPREFIX);
  }
  {
    const SelectedObject font(dc, menubar_font(dpi, false));
    // Not clipped: the system's own addition to the measured width is not the same everywhere,
    // and the arrow column beside the label is empty on items without a submenu.
    const std::u16string label = popup_keyboard_cues() ? item->label : label_without_markers(item->label);
    draw_text(dc, std::wstring_view(wide(label), label.size()), geometry.text, text_color,
              DT_LEFT | DT_NOCLIP | (popup_keyboard_cues() ? 0 : DT_NOPREFIX));
    if (!item->accelerator.empty()) {
      draw_text(dc, std::wstring_view(wide(item->accelerator), item->accelerator.size()), geometry.text,
                disabled ? palette.disabled_text : palette.secondary_text, DT_RIGHT | DT_NOPREFIX);
    }
  }
  const bool submenu = opens_submenu(reinterpret_cast<HMENU>(draw.hwndItem), draw.itemData);
  if (submenu) {
    const SelectedObject font(dc, menubar_font(dpi * 3 / 4, true));
    draw_text(dc, kSubmenuArrowGlyph, geometry.arrow_column, text_color, DT_CENTER | DT_NOPREFIX);
  }
  RestoreDC(dc, saved);
  // After the restore, so that it outlives it: the system then draws no arrow of its own.
  if (submenu) ExcludeClipRect(dc, rect.left, rect.top, rect.right, rect.bottom);
  return true;
}

}  // namespace wrenfold::ui
