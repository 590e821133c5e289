#pragma once
// Popup menus drawn by the program in the current palette: the menu bar's File, Edit and View
// menus, the editor's context menu and the status bar's format menus. A menu is prepared once
// after it is built; its owner window then forwards WM_MEASUREITEM, WM_DRAWITEM and
// WM_MENUCHAR here.

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace wrenfold::ui {

// What an owner-drawn item shows. The item's data value is its position in the thread's list
// plus 1; 0 marks an item that was not prepared here.
struct OwnerDrawnItem {
  std::u16string label;        // the text before the first tab, "&" markers included
  std::u16string accelerator;  // the text after it, may be empty
  bool is_separator = false;

  bool operator==(const OwnerDrawnItem&) const = default;
};

COLORREF popup_selected_fill(bool dark);
COLORREF popup_separator_color(bool dark);

// Makes every item of `menu` and of its submenus owner-drawn and gives the menu (and its
// submenus) the popup background of the current palette. Items already owner-drawn are left
// as they are, so preparing twice changes nothing.
void prepare_popup_menu(HMENU menu);

// The popup background of the current palette for `menu` and its submenus; done again on every
// theme change so that the next opening shows the new colour.
void set_popup_menu_background(HMENU menu);

// The record behind a data value, or null for 0 and values outside the list.
const OwnerDrawnItem* owner_drawn_item(ULONG_PTR data);

// Number of records the thread holds.
std::size_t owner_drawn_item_count();

// Whether mnemonic underlines are drawn: set when a menu is opened with the keyboard.
void set_popup_keyboard_cues(bool shown);
bool popup_keyboard_cues();

// The lower-cased mnemonic of a label (the character after a single "&"; "&&" is a literal
// ampersand), or none.
std::optional<char16_t> label_mnemonic(std::u16string_view label);

// The label as drawn without underlines: "&" markers dropped, "&&" as one ampersand.
// (DT_HIDEPREFIX does the same on Windows, but not everywhere the program runs.)
std::u16string label_without_markers(std::u16string_view label);

// Sizes and places within one item at `dpi`, worked out without a window.
struct MenuItemGeometry {
  RECT selection;      // the rounded fill of a selected item (RoundRect coordinates)
  RECT check_column;   // where the check mark is centred
  RECT text;           // label left-aligned and accelerator right-aligned in it
  RECT arrow_column;   // where the submenu arrow is centred
  RECT separator;      // the 1-pixel separator line
  int corner = 0;      // corner diameter of the selection fill
};
MenuItemGeometry menu_item_geometry(const RECT& item, unsigned dpi);

// The size asked for in WM_MEASUREITEM; text widths are measured in the menu bar's text font at
// `dpi`, `menu_check_width` is what the system adds by itself.
SIZE menu_item_size(const OwnerDrawnItem& item, unsigned dpi, int label_width,
                    int accelerator_width, int menu_check_width);

// WM_MEASUREITEM and WM_DRAWITEM of `window`, the menu's owner; false when the item is not one
// of ours (the caller then does the default processing).
bool measure_menu_item(HWND window, MEASUREITEMSTRUCT& measure);
bool draw_menu_item(HWND window, const DRAWITEMSTRUCT& draw);

// WM_MENUCHAR: executes the first enabled item of `menu` whose mnemonic is `character`;
// none when nothing matches (default processing).
std::optional<LRESULT> menu_char(wchar_t character, HMENU menu);

}  // namespace wrenfold::ui
