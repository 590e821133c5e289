#include "popup.h"

#include <algorithm>
#include <vector>

#include "theme.h"
#include "win32_handles.h"

namespace wrenfold::ui {
namespace {

constexpr int kMaxItemText = 255;
constexpr LRESULT kExecuteItem = MNC_EXECUTE << 16;

// The context and format menus are built anew for every opening; reusing the record of an
// identical item keeps the list from growing with each of them.
thread_local std::vector<OwnerDrawnItem> t_items;
thread_local bool t_keyboard_cues = false;

// One brush per colour, kept for the thread's life: a menu that is open while the theme changes
// still paints with the old colour's brush, so it must not be deleted under it. There are only
// the two palettes' colours.
struct PopupBackgroundBrush {
  UniqueBrush brush;
  COLORREF color = 0;
};
thread_local std::vector<PopupBackgroundBrush> t_backgrounds;

HBRUSH popup_background_brush(COLORREF color) {
  const auto found = std::find_if(t_backgrounds.begin(), t_backgrounds.end(),
                                  [color](const PopupBackgroundBrush& kept) { return kept.color == color; });
  if (found != t_backgrounds.end()) return found->brush.get();
  t_backgrounds.push_back({UniqueBrush(CreateSolidBrush(color)), color});
  return t_backgrounds.back().brush.get();
}

ULONG_PTR record_item(OwnerDrawnItem item) {
  const auto found = std::find(t_items.begin(), t_items.end(), item);
  if (found != t_items.end()) return static_cast<ULONG_PTR>(found - t_items.begin()) + 1;
  t_items.push_back(std::move(item));
  return t_items.size();
}

OwnerDrawnItem split_item_text(std::u16string_view text, bool is_separator) {
  OwnerDrawnItem item;
  item.is_separator = is_separator;
  const std::size_t tab = text.find(u'\t');
  item.label = std::u16string(text.substr(0, tab));
  if (tab != std::u16string_view::npos) item.accelerator = std::u16string(text.substr(tab + 1));
  return item;
}

void prepare_items(HMENU menu) {
  const int count = GetMenuItemCount(menu);
  for (int position = 0; position < count; ++position) {
    wchar_t text[kMaxItemText + 1] = {};
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STRING | MIIM_DATA | MIIM_SUBMENU;
    info.dwTypeData = text;
    info.cch = kMaxItemText + 1;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info)) continue;
    if ((info.fType & MFT_OWNERDRAW) != 0) continue;
    const bool is_separator = (info.fType & MFT_SEPARATOR) != 0;
    const std::u16string_view read(reinterpret_cast<const char16_t*>(text), is_separator ? 0 : info.cch);

    MENUITEMINFOW owner_drawn = {};
    owner_drawn.cbSize = sizeof owner_drawn;
    owner_drawn.fMask = MIIM_FTYPE | MIIM_DATA;
    owner_drawn.fType = info.fType | MFT_OWNERDRAW;
    owner_drawn.dwItemData = record_item(split_item_text(read, is_separator));
    SetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &owner_drawn);
    if (info.hSubMenu != nullptr) prepare_items(info.hSubMenu);
  }
}

bool is_surrogate(wchar_t character) { return character >= 0xD800 && character <= 0xDFFF; }

char16_t lower(char16_t character) {
  wchar_t buffer[1] = {static_cast<wchar_t>(character)};
  CharLowerBuffW(buffer, 1);
  return static_cast<char16_t>(buffer[0]);
}

}  // namespace

COLORREF popup_selected_fill(bool dark) { return dark ? RGB(61, 61, 61) : RGB(236, 236, 236); }

COLORREF popup_separator_color(bool dark) { return dark ? RGB(69, 69, 69) : RGB(224, 224, 224); }

void prepare_popup_menu(HMENU menu) {
  prepare_items(menu);
  set_popup_menu_background(menu);
}

void set_popup_menu_background(HMENU menu) {
  MENUINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = MIM_BACKGROUND | MIM_APPLYTOSUBMENUS;
  info.hbrBack = popup_background_brush(popup_menu_background(current_palette().is_dark));
  SetMenuInfo(menu, &info);
}

const OwnerDrawnItem* owner_drawn_item(ULONG_PTR data) {
  if (data == 0 || data > t_items.size()) return nullptr;
  return &t_items[data - 1];
}

std::size_t owner_drawn_item_count() { return t_items.size(); }

void set_popup_keyboard_cues(bool shown) { t_keyboard_cues = shown; }

bool popup_keyboard_cues() { return t_keyboard_cues; }

std::optional<char16_t> label_mnemonic(std::u16string_view label) {
  for (std::size_t index = 0; index + 1 < label.size(); ++index) {
    if (label[index] != u'&') continue;
    if (label[index + 1] == u'&') {
      ++index;  // a literal ampersand
      continue;
    }
    return lower(label[index + 1]);
  }
  return std::nullopt;
}

std::u16string label_without_markers(std::u16string_view label) {
  std::u16string shown;
  for (std::size_t index = 0; index < label.size(); ++index) {
    if (label[index] == u'&') {
      if (++index == label.size()) break;
    }
    shown += label[index];
  }
  return shown;
}

std::optional<LRESULT> menu_char(wchar_t character, HMENU menu) {
  if (is_surrogate(character)) return std::nullopt;
  const char16_t wanted = lower(static_cast<char16_t>(character));
  const int count = GetMenuItemCount(menu);
  for (int position = 0; position < count; ++position) {
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STATE | MIIM_DATA;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info)) continue;
    if ((info.fState & (MFS_GRAYED | MFS_DISABLED)) != 0) continue;
    const OwnerDrawnItem* item = owner_drawn_item(info.dwItemData);
    if (item == nullptr || item->is_separator) continue;
    if (label_mnemonic(item->label) == wanted) return kExecuteItem | position;
  }
  return std::nullopt;
}

}  // namespace wrenfold::ui
