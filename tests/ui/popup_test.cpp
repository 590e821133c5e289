// Owner-drawn popup menus: preparing a built menu, the mnemonic lookup, and measuring and
// drawing items into a bitmap whose pixels are then read back, in both palettes.

#include "popup.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "menubar.h"
#include "theme.h"
#include "win32_handles.h"
#include "win32_test_helpers.h"

namespace wrenfold::ui {
namespace {

using testing::menu_background_color;

constexpr COLORREF kUntouched = RGB(255, 0, 255);

MENUITEMINFOW item_info(HMENU menu, int position) {
  MENUITEMINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = MIIM_FTYPE | MIIM_DATA | MIIM_SUBMENU | MIIM_STATE;
  EXPECT_TRUE(GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info));
  return info;
}

// A File-like menu: accelerators, a separator, a greyed item and a submenu.
HMENU build_sample_menu() {
  HMENU zoom = CreatePopupMenu();
  AppendMenuW(zoom, MF_STRING, 11, L"Zoom &in\tCtrl+Plus");
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, 1, L"&New\tCtrl+N");
  AppendMenuW(menu, MF_STRING | MF_GRAYED, 2, L"&Print\tCtrl+P");
  AppendMenuW(menu, MF_STRING, 3, L"&Paste");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(zoom), L"&Zoom");
  return menu;
}

class PopupMenu : public ::testing::Test {
 protected:
  void SetUp() override { resolve_palette(Theme::Light); }
};

TEST_F(PopupMenu, PreparingMakesEveryItemOwnerDrawnOnce) {
  HMENU menu = build_sample_menu();
  prepare_popup_menu(menu);
  struct Row {
    int position;
    const char16_t* label;
    const char16_t* accelerator;
    bool separator;
  };
  const std::vector<Row> rows = {
      {0, u"&New", u"Ctrl+N", false}, {1, u"&Print", u"Ctrl+P", false}, {2, u"&Paste", u"", false},
      {3, u"", u"", true},            {4, u"&Zoom", u"", false},
  };
  std::vector<ULONG_PTR> data;
  for (const Row& row : rows) {
    const MENUITEMINFOW info = item_info(menu, row.position);
    EXPECT_TRUE(info.fType & MFT_OWNERDRAW) << row.position;
    const OwnerDrawnItem* item = owner_drawn_item(info.dwItemData);
    ASSERT_NE(item, nullptr) << row.position;
    EXPECT_EQ(item->label, row.label);
    EXPECT_EQ(item->accelerator, row.accelerator);
    EXPECT_EQ(item->is_separator, row.separator);
    data.push_back(info.dwItemData);
  }
  EXPECT_TRUE(item_info(menu, 3).fType & MFT_SEPARATOR) << "still a separator for the system";
  EXPECT_TRUE(item_info(menu, 1).fState & MFS_GRAYED) << "the state is left alone";
  HMENU zoom = GetSubMenu(menu, 4);
  const MENUITEMINFOW zoom_in = item_info(zoom, 0);
  EXPECT_TRUE(zoom_in.fType & MFT_OWNERDRAW) << "submenus too";
  ASSERT_NE(owner_drawn_item(zoom_in.dwItemData), nullptr);
  EXPECT_EQ(owner_drawn_item(zoom_in.dwItemData)->accelerator, u"Ctrl+Plus");
  EXPECT_EQ(menu_background_color(menu), RGB(251, 251, 251));
  EXPECT_EQ(menu_background_color(zoom), RGB(251, 251, 251));

  // Preparing again, or preparing an identical menu built anew (a context menu is built for
  // every opening), changes nothing and adds no records.
  const std::size_t records = owner_drawn_item_count();
  prepare_popup_menu(menu);
  for (std::size_t position = 0; position < data.size(); ++position) {
    EXPECT_EQ(item_info(menu, static_cast<int>(position)).dwItemData, data[position]);
  }
  HMENU again = build_sample_menu();
  prepare_popup_menu(again);
  EXPECT_EQ(item_info(again, 0).dwItemData, data[0]);
  EXPECT_EQ(owner_drawn_item_count(), records);
  DestroyMenu(again);
  DestroyMenu(menu);

  EXPECT_EQ(owner_drawn_item(0), nullptr);
  EXPECT_EQ(owner_drawn_item(records + 1), nullptr);
}

TEST_F(PopupMenu, BackgroundFollowsThePaletteOnEachSetting) {
  HMENU menu = build_sample_menu();
  prepare_popup_menu(menu);
  resolve_palette(Theme::Dark);
  set_popup_menu_background(menu);
  EXPECT_EQ(menu_background_color(menu), RGB(44, 44, 44));
  EXPECT_EQ(menu_background_color(GetSubMenu(menu, 4)), RGB(44, 44, 44));
  resolve_palette(Theme::Light);
  set_popup_menu_background(menu);
  EXPECT_EQ(menu_background_color(menu), RGB(251, 251, 251));
  DestroyMenu(menu);
}

TEST_F(PopupMenu, AnOpenMenuKeepsItsBrushThroughThemeSwitches) {
  // The context menu, open in the light theme while the system switches to dark and back.
  HMENU open = build_sample_menu();
  prepare_popup_menu(open);
  MENUINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = MIM_BACKGROUND;
  ASSERT_TRUE(GetMenuInfo(open, &info));
  const HBRUSH open_brush = info.hbrBack;
  HMENU main_menu_popup = build_sample_menu();
  for (const Theme theme : {Theme::Dark, Theme::Light, Theme::Dark}) {
    resolve_palette(theme);
    set_popup_menu_background(main_menu_popup);  // what the theme change does
    EXPECT_EQ(GetObjectType(open_brush), static_cast<DWORD>(OBJ_BRUSH)) << "the open menu's brush still exists";
    EXPECT_EQ(menu_background_color(open), RGB(251, 251, 251));
  }
  EXPECT_EQ(menu_background_color(main_menu_popup), RGB(44, 44, 44));
  DestroyMenu(main_menu_popup);
  DestroyMenu(open);
}

TEST(PopupLabels, MnemonicsAndMarkers) {
  struct Row {
    const char16_t* label;
    std::optional<char16_t> mnemonic;
    const char16_t* shown;
  };
  const std::vector<Row> rows = {
      {u"&New", u'n', u"New"},
      {u"Save &as", u'a', u"Save as"},
      {u"E&xit", u'x', u"Exit"},
      {u"&&Copy", std::nullopt, u"&Copy"},
      {u"Fish && &Chips", u'c', u"Fish & Chips"},
      {u"Trailing&", std::nullopt, u"Trailing"},
      {u"No mnemonic", std::nullopt, u"No mnemonic"},
      {u"&\u00C9t\u00E9", u'\u00E9', u"\u00C9t\u00E9"},
      {u"", std::nullopt, u""},
  };
  for (const Row& row : rows) {
    const std::u16string label(row.label);
    EXPECT_EQ(label_mnemonic(label), row.mnemonic) << std::string(label.begin(), label.end());
    EXPECT_EQ(label_without_markers(label), row.shown) << std::string(label.begin(), label.end());
  }
}

TEST_F(PopupMenu, MenuCharExecutesTheFirstEnabledMatch) {
  HMENU menu = build_sample_menu();
  prepare_popup_menu(menu);
  AppendMenuW(menu, MF_STRING, 9, L"&Quit");  // not prepared: nothing is known of its label
  struct Row {
    wchar_t character;
    std::optional<LRESULT> result;
    const char* why;
  };
  const std::vector<Row> rows = {
      {L'n', 0x20000, "New at position 0"},
      {L'N', 0x20000, "upper case is lowered"},
      {L'p', 0x20002, "Print is greyed, so Paste"},
      {L'z', 0x20004, "an item with a submenu"},
      {L'q', std::nullopt, "an item that was not prepared"},
      {L'i', std::nullopt, "submenu items are not searched"},
      {L'x', std::nullopt, "no item has it"},
      {static_cast<wchar_t>(0xD83D), std::nullopt, "a surrogate half"},
  };
  for (const Row& row : rows) EXPECT_EQ(menu_char(row.character, menu), row.result) << row.why;
  DestroyMenu(menu);
}

TEST(PopupGeometry, SizesAndPlacesAt96And144Dpi) {
  const OwnerDrawnItem plain{u"&New", u"", false};
  const OwnerDrawnItem with_accelerator{u"&New", u"Ctrl+N", false};
  const OwnerDrawnItem separator{u"", u"", true};
  struct Row {
    unsigned dpi;
    SIZE plain;
    SIZE with_accelerator;
    SIZE separator;
  };
  // label 50, accelerator 30, the system's own check width 13
  const std::vector<Row> rows = {
      {96, {50 + 36 + 28 - 13, 32}, {50 + 36 + 28 + 40 + 30 - 13, 32}, {0, 9}},
      {144, {50 + 54 + 42 - 13, 48}, {50 + 54 + 42 + 60 + 30 - 13, 48}, {0, 13}},
  };
  for (const Row& row : rows) {
    const SIZE plain_size = menu_item_size(plain, row.dpi, 50, 0, 13);
    EXPECT_EQ(plain_size.cx, row.plain.cx) << row.dpi;
    EXPECT_EQ(plain_size.cy, row.plain.cy) << row.dpi;
    const SIZE accelerator_size = menu_item_size(with_accelerator, row.dpi, 50, 30, 13);
    EXPECT_EQ(accelerator_size.cx, row.with_accelerator.cx) << row.dpi;
    EXPECT_EQ(accelerator_size.cy, row.with_accelerator.cy) << row.dpi;
    const SIZE separator_size = menu_item_size(separator, row.dpi, 0, 0, 13);
    EXPECT_EQ(separator_size.cx, row.separator.cx) << row.dpi;
    EXPECT_EQ(separator_size.cy, row.separator.cy) << row.dpi;
  }
  EXPECT_EQ(menu_item_size(plain, 96, 0, 0, 100).cx, 0) << "never below 0";

  const MenuItemGeometry at96 = menu_item_geometry(RECT{0, 0, 200, 32}, 96);
  EXPECT_EQ(at96.selection.left, 4);
  EXPECT_EQ(at96.selection.top, 2);
  EXPECT_EQ(at96.selection.right, 197);
  EXPECT_EQ(at96.selection.bottom, 31);
  EXPECT_EQ(at96.corner, 8);
  EXPECT_EQ(at96.text.left, 36);
  EXPECT_EQ(at96.text.right, 172);
  EXPECT_EQ(at96.separator.top, 16);
  EXPECT_EQ(at96.separator.left, 4);
  EXPECT_EQ(at96.separator.right, 196);
  const MenuItemGeometry at144 = menu_item_geometry(RECT{10, 100, 310, 148}, 144);
  EXPECT_EQ(at144.selection.left, 16);
  EXPECT_EQ(at144.selection.top, 103);
  EXPECT_EQ(at144.selection.right, 305);
  EXPECT_EQ(at144.selection.bottom, 146);
  EXPECT_EQ(at144.corner, 12);
  EXPECT_EQ(at144.check_column.right, 64);
  EXPECT_EQ(at144.arrow_column.left, 268);
  EXPECT_EQ(at144.separator.top, 124);
}

// Draws items into a 32-bit bitmap the size of one item and reads its pixels back.
class DrawnItem : public ::testing::Test {
 protected:
  static constexpr int kWidth = 240;
  static constexpr int kHeight = 32;

  void SetUp() override {
    resolve_palette(Theme::Light);
    owner_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner_, nullptr);
    menu_ = build_sample_menu();
    prepare_popup_menu(menu_);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = -kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    pixels_ = static_cast<const DWORD*>(bits);
    dc_ = CreateCompatibleDC(nullptr);
    previous_ = SelectObject(dc_, bitmap_.get());
  }
  void TearDown() override {
    set_popup_keyboard_cues(false);
    SelectObject(dc_, previous_);
    DeleteDC(dc_);
    DestroyMenu(menu_);
    DestroyWindow(owner_);
  }

  // Draws the sample menu's item at `position` with `state` over a magenta bitmap.
  bool draw(int position, UINT state) {
    SelectClipRgn(dc_, nullptr);
    UniqueBrush magenta(CreateSolidBrush(kUntouched));
    const RECT whole = {0, 0, kWidth, kHeight};
    FillRect(dc_, &whole, magenta.get());
    DRAWITEMSTRUCT draw = {};
    draw.CtlType = ODT_MENU;
    draw.itemID = static_cast<UINT>(position);
    draw.itemAction = ODA_DRAWENTIRE;
    draw.itemState = state;
    draw.hwndItem = reinterpret_cast<HWND>(menu_);
    draw.hDC = dc_;
    draw.rcItem = whole;
    draw.itemData = item_info(menu_, position).dwItemData;
    const bool handled = draw_menu_item(owner_, draw);
    GdiFlush();
    return handled;
  }

  COLORREF pixel(int x, int y) const {
    const DWORD value = pixels_[y * kWidth + x];
    return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
  }

  int count(const RECT& area, COLORREF color) const {
    int found = 0;
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x) found += pixel(x, y) == color ? 1 : 0;
    }
    return found;
  }

  HWND owner_ = nullptr;
  HMENU menu_ = nullptr;
  UniqueBitmap bitmap_;
  const DWORD* pixels_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

TEST_F(DrawnItem, ColoursFollowTheStateInBothPalettes) {
  const RECT label_area = {36, 0, 120, kHeight};
  const RECT accelerator_area = {150, 0, 212, kHeight};
  for (const Theme theme : {Theme::Light, Theme::Dark}) {
    const ThemeColors palette = resolve_palette(theme);
    const COLORREF background = popup_menu_background(palette.is_dark);
    const char* name = palette.is_dark ? "dark" : "light";

    ASSERT_TRUE(draw(0, 0)) << name;
    EXPECT_EQ(pixel(0, 0), background) << name;
    EXPECT_EQ(pixel(kWidth - 1, kHeight - 1), background) << name;
    EXPECT_EQ(pixel(10, 16), background) << name << ": no selection fill";
    EXPECT_GT(count(label_area, palette.text), 0) << name << ": the label in the text colour";
    EXPECT_GT(count(accelerator_area, palette.secondary_text), 0) << name << ": the accelerator";
    EXPECT_EQ(count(accelerator_area, palette.text), 0) << name;
    EXPECT_EQ(count(RECT{0, 0, 36, kHeight}, background), 36 * kHeight) << name << ": no check mark";

    ASSERT_TRUE(draw(0, ODS_SELECTED)) << name;
    EXPECT_EQ(pixel(10, 16), popup_selected_fill(palette.is_dark)) << name;
    EXPECT_EQ(pixel(2, 16), background) << name << ": inset from the item's edge";
    EXPECT_EQ(pixel(kWidth - 3, 16), background) << name;

    // Greyed and selected: greyed text, no highlight.
    ASSERT_TRUE(draw(1, ODS_SELECTED | ODS_GRAYED)) << name;
    EXPECT_EQ(pixel(10, 16), background) << name;
    EXPECT_GT(count(label_area, palette.disabled_text), 0) << name;
    EXPECT_EQ(count(label_area, palette.text), 0) << name;
    EXPECT_GT(count(accelerator_area, palette.disabled_text), 0) << name;
    EXPECT_EQ(count(accelerator_area, palette.secondary_text), 0) << name;

    ASSERT_TRUE(draw(3, 0)) << name;
    const COLORREF line = popup_separator_color(palette.is_dark);
    EXPECT_EQ(count(RECT{0, 16, kWidth, 17}, line), kWidth - 2 * 4) << name << ": one line, inset 4";
    EXPECT_EQ(pixel(3, 16), background) << name;
    EXPECT_EQ(pixel(4, 16), line) << name;
    EXPECT_EQ(pixel(kWidth - 5, 16), line) << name;
    EXPECT_EQ(count(RECT{0, 0, kWidth, 16}, line), 0) << name;
    EXPECT_EQ(count(RECT{0, 17, kWidth, kHeight}, line), 0) << name;
  }
}

TEST_F(DrawnItem, CheckMarkAndSubmenuArrow) {
  const RECT check_column = {0, 0, 36, kHeight};
  const RECT arrow_column = {kWidth - 28, 0, kWidth, kHeight};
  const COLORREF background = popup_menu_background(false);
  ASSERT_TRUE(draw(2, ODS_CHECKED));
  EXPECT_LT(count(check_column, background), 36 * kHeight) << "the check glyph";
  EXPECT_EQ(count(arrow_column, background), 28 * kHeight) << "no arrow on a plain item";
  // A plain item leaves the clipping alone: a later fill reaches it.
  UniqueBrush red(CreateSolidBrush(RGB(255, 0, 0)));
  const RECT whole = {0, 0, kWidth, kHeight};
  FillRect(dc_, &whole, red.get());
  GdiFlush();
  EXPECT_EQ(pixel(kWidth / 2, kHeight / 2), RGB(255, 0, 0));

  ASSERT_TRUE(draw(4, 0));
  EXPECT_LT(count(arrow_column, background), 28 * kHeight) << "the chevron";
  EXPECT_EQ(count(check_column, background), 36 * kHeight);
  // The item is excluded from further drawing, so the system draws no arrow of its own.
  FillRect(dc_, &whole, red.get());
  GdiFlush();
  EXPECT_EQ(count(whole, RGB(255, 0, 0)), 0);
}

TEST_F(DrawnItem, UnderlinesOnlyWithKeyboardCues) {
  const RECT label_area = {36, 0, 120, kHeight};
  const COLORREF text = current_palette().text;
  set_popup_keyboard_cues(false);
  ASSERT_TRUE(draw(0, 0));
  const int without = count(label_area, text);
  set_popup_keyboard_cues(true);
  ASSERT_TRUE(draw(0, 0));
  const int with = count(label_area, text);
  EXPECT_GT(with, without) << "the underline under N";
}

TEST_F(DrawnItem, ItemsThatAreNotOursAreLeftToTheSystem) {
  DRAWITEMSTRUCT draw = {};
  draw.CtlType = ODT_MENU;
  draw.hwndItem = reinterpret_cast<HWND>(menu_);
  draw.hDC = dc_;
  draw.rcItem = {0, 0, kWidth, kHeight};
  draw.itemData = 0;
  EXPECT_FALSE(draw_menu_item(owner_, draw));
  draw.itemData = owner_drawn_item_count() + 1;
  EXPECT_FALSE(draw_menu_item(owner_, draw));
  draw.CtlType = ODT_BUTTON;
  draw.itemData = item_info(menu_, 0).dwItemData;
  EXPECT_FALSE(draw_menu_item(owner_, draw));

  MEASUREITEMSTRUCT measure = {};
  measure.CtlType = ODT_MENU;
  measure.itemData = 0;
  EXPECT_FALSE(measure_menu_item(owner_, measure));
  measure.itemData = owner_drawn_item_count() + 1;
  EXPECT_FALSE(measure_menu_item(owner_, measure));
}

TEST_F(DrawnItem, MeasuresTheLabelWithoutItsMarker) {
  const auto measured = [&](int position) {
    MEASUREITEMSTRUCT measure = {};
    measure.CtlType = ODT_MENU;
    measure.itemData = item_info(menu_, position).dwItemData;
    EXPECT_TRUE(measure_menu_item(owner_, measure));
    return measure;
  };
  const WindowDc dc(owner_);
  const SelectedObject font(dc.get(), menubar_font(96, false));
  const auto extent = [&](const wchar_t* text) {
    SIZE size = {};
    GetTextExtentPoint32W(dc.get(), text, lstrlenW(text), &size);
    return static_cast<int>(size.cx);
  };
  const int check = GetSystemMetricsForDpi(SM_CXMENUCHECK, 96);
  const MEASUREITEMSTRUCT paste = measured(2);
  EXPECT_EQ(paste.itemHeight, 32u);
  EXPECT_EQ(static_cast<int>(paste.itemWidth), extent(L"Paste") + 36 + 28 - check);
  const MEASUREITEMSTRUCT item_new = measured(0);
  EXPECT_EQ(static_cast<int>(item_new.itemWidth), extent(L"New") + 36 + 28 + 40 + extent(L"Ctrl+N") - check);
  const MEASUREITEMSTRUCT separator = measured(3);
  EXPECT_EQ(separator.itemHeight, 9u);
  EXPECT_EQ(separator.itemWidth, 0u);
}

}  // namespace
}  // namespace wrenfold::ui
