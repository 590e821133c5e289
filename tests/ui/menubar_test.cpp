// The menu bar: its arithmetic at 96 and 144 DPI, its painting read back from a bitmap, and the
// real main window driven through the program's own message loop. While a submenu is tracked
// the system's menu loop owns the thread, so a timer plays the user's part from inside it.

#include "menubar.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "commands.h"
#include "editor.h"
#include "layout.h"
#include "main_window_state.h"
#include "popup.h"
#include "main_window_fixture.h"
#include "modal_script.h"
#include "pump.h"
#include "settings.h"
#include "theme.h"
#include "win32_handles.h"
#include "win32_test_helpers.h"

namespace wrenfold::ui {
namespace {

using testing::menu_background_color;

using testing::ModalScript;
using testing::pump;

TEST(MenuBarLayout, TitlesAndSettingsButtonAt96And144Dpi) {
  struct Row {
    unsigned dpi;
    int height;          // from the main window's layout
    int first_left;
    int padding;
    int settings_width;
    int settings_margin;
  };
  const std::vector<Row> rows = {{96, 40, 4, 20, 40, 8}, {144, 60, 6, 30, 60, 12}};
  for (const Row& row : rows) {
    const LayoutInput input{800, 600, row.dpi, true, false, 1, 8};
    const int height = compute_layout(input).menu_bar.bottom;
    EXPECT_EQ(height, row.height) << row.dpi;
    const std::array<int, kMenuBarTitleCount> widths = menubar_title_widths(row.dpi);
    const MenuBarLayout layout = compute_menubar_layout(row.dpi, 800, height, widths);
    int left = row.first_left;
    for (int index = 0; index < kMenuBarTitleCount; ++index) {
      EXPECT_GT(widths[index], 0);
      EXPECT_EQ(layout[index].left, left) << row.dpi << " title " << index;
      EXPECT_EQ(layout[index].right, left + widths[index] + row.padding) << row.dpi << " title " << index;
      EXPECT_EQ(layout[index].top, 0);
      EXPECT_EQ(layout[index].bottom, height);
      left = layout[index].right;
    }
    const RECT& settings = layout[kMenuBarSettingsItem];
    EXPECT_EQ(settings.right, 800 - row.settings_margin) << row.dpi;
    EXPECT_EQ(settings.right - settings.left, row.settings_width) << row.dpi;
    EXPECT_EQ(settings.bottom - settings.top, row.height) << row.dpi << ": as high as the bar";
  }
  EXPECT_GT(menubar_title_widths(144)[0], menubar_title_widths(96)[0]) << "the font grows with the DPI";

  // The "&" takes no room.
  const WindowDc screen(nullptr);
  const SelectedObject font(screen.get(), menubar_font(96, false));
  SIZE file = {};
  GetTextExtentPoint32W(screen.get(), L"File", 4, &file);
  EXPECT_EQ(menubar_title_widths(96)[0], file.cx);
}

TEST(MenuBarLayout, HitTest) {
  const MenuBarLayout layout = compute_menubar_layout(96, 800, 40, {30, 30, 36});
  struct Row {
    POINT point;
    std::optional<int> item;
    const char* why;
  };
  const std::vector<Row> rows = {
      {{3, 20}, std::nullopt, "the margin before File"},
      {{4, 20}, 0, "File's left edge"},
      {{53, 20}, 0, "File's last column"},
      {{54, 20}, 1, "Edit starts where File ends"},
      {{159, 39}, 2, "View's bottom-right pixel"},
      {{160, 20}, std::nullopt, "after View"},
      {{751, 20}, std::nullopt, "just before the Settings button"},
      {{752, 0}, 3, "the Settings button"},
      {{791, 39}, 3, "its last pixel"},
      {{792, 20}, std::nullopt, "the right margin"},
      {{20, 40}, std::nullopt, "below the bar"},
      {{20, -1}, std::nullopt, "above it"},
  };
  for (const Row& row : rows) EXPECT_EQ(hit_test_layout(layout, row.point), row.item) << row.why;
}

int CALLBACK note_face(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool face_installed(const wchar_t* face) {
  LOGFONTW wanted = {};
  wanted.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
  bool found = false;
  const WindowDc screen(nullptr);
  EnumFontFamiliesExW(screen.get(), &wanted, note_face, reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

TEST(MenuBarFonts, FacesFallBackAndSizesScale) {
  struct Row {
    unsigned dpi;
    bool icon;
    LONG height;
    const wchar_t* preferred;
    const wchar_t* fallback;
  };
  const std::vector<Row> rows = {
      {96, false, -14, L"Segoe UI Variable Text", L"Segoe UI"},
      {144, false, -21, L"Segoe UI Variable Text", L"Segoe UI"},
      {96, true, -16, L"Segoe Fluent Icons", L"Segoe MDL2 Assets"},
      {144, true, -24, L"Segoe Fluent Icons", L"Segoe MDL2 Assets"},
  };
  for (const Row& row : rows) {
    const HFONT font = menubar_font(row.dpi, row.icon);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(menubar_font(row.dpi, row.icon), font) << "cached";
    LOGFONTW description = {};
    GetObjectW(font, sizeof description, &description);
    EXPECT_EQ(description.lfHeight, row.height);
    EXPECT_EQ(description.lfWeight, FW_NORMAL);
    EXPECT_FALSE(description.lfItalic || description.lfUnderline || description.lfStrikeOut);
    EXPECT_EQ(description.lfCharSet, DEFAULT_CHARSET);
    EXPECT_EQ(description.lfQuality, CLEARTYPE_QUALITY);
    const std::wstring expected = face_installed(row.preferred) ? row.preferred : row.fallback;
    EXPECT_EQ(std::wstring(description.lfFaceName), expected);
  }
  EXPECT_NE(menubar_font(96, false), menubar_font(96, true));
  EXPECT_NE(menubar_font(96, false), menubar_font(144, false));
}

// Paints the bar into a 32-bit bitmap from a state set up by the test.
class MenuBarPicture : public ::testing::Test {
 protected:
  static constexpr int kWidth = 400;
  static constexpr int kHeight = 40;

  void SetUp() override {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = -kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    bitmap_.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    pixels_ = static_cast<const DWORD*>(bits);
    dc_ = CreateCompatibleDC(nullptr);
    previous_ = SelectObject(dc_, bitmap_.get());
    layout_ = compute_menubar_layout(96, kWidth, kHeight, menubar_title_widths(96));
  }
  void TearDown() override {
    menubar_state() = MenuBarState{};
    SelectObject(dc_, previous_);
    DeleteDC(dc_);
  }

  void paint() {
    paint_menubar(dc_, 96, kWidth, kHeight);
    GdiFlush();
  }
  COLORREF pixel(int x, int y) const {
    const DWORD value = pixels_[y * kWidth + x];
    return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
  }
  // A point inside an item's rounded fill but away from its label.
  COLORREF fill_of(int item) const { return pixel(layout_[item].left + 4, kHeight / 2); }
  int count(const RECT& area, COLORREF color) const {
    int found = 0;
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x) found += pixel(x, y) == color ? 1 : 0;
    }
    return found;
  }

  UniqueBitmap bitmap_;
  const DWORD* pixels_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  MenuBarLayout layout_{};
};

TEST_F(MenuBarPicture, FillsFollowTheHotAndOpenItemsInBothPalettes) {
  for (const Theme theme : {Theme::Light, Theme::Dark}) {
    const ThemeColors palette = resolve_palette(theme);
    const char* name = palette.is_dark ? "dark" : "light";
    MenuBarState& state = menubar_state();
    state = MenuBarState{};
    paint();
    EXPECT_EQ(pixel(kWidth / 2, 5), palette.background) << name;
    EXPECT_EQ(count(RECT{0, kHeight - 1, kWidth, kHeight}, palette.divider), kWidth) << name << ": the bottom line";
    for (int item = 0; item < kMenuBarItemCount; ++item) EXPECT_EQ(fill_of(item), palette.background) << name;
    EXPECT_GT(count(layout_[0], palette.text), 0) << name << ": the title in the text colour";

    state.hot = true;
    state.hot_index = 1;
    paint();
    EXPECT_EQ(fill_of(1), palette.hover) << name;
    EXPECT_EQ(fill_of(0), palette.background) << name;
    // The fill is inset: d/24 from the top, d*5/96 - 1 short of the bottom's edge.
    EXPECT_EQ(pixel(layout_[1].left + 10, 3), palette.background) << name;
    EXPECT_EQ(pixel(layout_[1].left + 10, 4), palette.hover) << name;
    EXPECT_EQ(pixel(layout_[1].left + 10, kHeight - 5), palette.hover) << name;
    EXPECT_EQ(pixel(layout_[1].left + 10, kHeight - 4), palette.background) << name;

    state.open = true;
    state.open_index = 1;
    paint();
    EXPECT_EQ(fill_of(1), palette.pressed) << name << ": hot and open";
    state.hot_index = 3;
    paint();
    EXPECT_EQ(fill_of(1), palette.pressed) << name << ": open, the pointer elsewhere";
    EXPECT_EQ(fill_of(3), palette.hover) << name << ": the Settings button under the pointer";
  }
}

TEST_F(MenuBarPicture, UnderlinesOnlyWithCues) {
  const ThemeColors palette = resolve_palette(Theme::Light);
  paint();
  const int without = count(layout_[0], palette.text);
  menubar_state().show_cues = true;
  paint();
  EXPECT_GT(count(layout_[0], palette.text), without) << "F is underlined";
}

// Remembers the commands that reach the main window, leaving out the editor's notifications.
struct Recorder {
  HWND editor = nullptr;
  std::vector<unsigned> commands;
};

LRESULT CALLBACK record_messages(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                 DWORD_PTR data) {
  Recorder& recorder = *reinterpret_cast<Recorder*>(data);
  if (message == WM_COMMAND && reinterpret_cast<HWND>(lparam) != recorder.editor) {
    recorder.commands.push_back(LOWORD(wparam));
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

BOOL CALLBACK collect_popup(HWND window, LPARAM found) {
  wchar_t class_name[16] = {};
  GetClassNameW(window, class_name, 16);
  if (lstrcmpW(class_name, L"#32768") == 0 && IsWindowVisible(window)) {
    reinterpret_cast<std::vector<HMENU>*>(found)->push_back(
        reinterpret_cast<HMENU>(SendMessageW(window, MN_GETHMENU, 0, 0)));
  }
  return TRUE;
}

// The popup menus on screen, in no particular order.
std::vector<HMENU> open_popups() {
  std::vector<HMENU> found;
  EnumThreadWindows(GetCurrentThreadId(), collect_popup, reinterpret_cast<LPARAM>(&found));
  return found;
}

bool highlighted(HMENU menu, int position) {
  return (GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION) & MF_HILITE) != 0;
}

void set_alt(bool down) {
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_MENU] = down ? 0x80 : 0;
  SetKeyboardState(keys);
}

// What a timer does while the test waits, one step per tick.
using Step = std::function<void()>;
thread_local const std::vector<Step>* t_steps = nullptr;
thread_local std::size_t t_next_step = 0;
thread_local int t_ticks_after_script = 0;

void CALLBACK run_next_step(HWND, UINT, UINT_PTR, DWORD) {
  if (t_next_step < t_steps->size()) {
    (*t_steps)[t_next_step++]();
    return;
  }
  // Every step ran: a menu still open now would hang the test.
  if (!open_popups().empty() && ++t_ticks_after_script > 2) EndMenu();
}

class MainWindowMenus : public testing::MainWindowTest {
 protected:
  AppSettings initial_settings() override {
    AppSettings settings = MainWindowTest::initial_settings();
    settings.theme = Theme::Light;
    return settings;
  }

  void SetUp() override {
    MainWindowTest::SetUp();
    recorder_.editor = state_->editor;
    SetWindowSubclass(state_->main_window, record_messages, 1, reinterpret_cast<DWORD_PTR>(&recorder_));
    bar_ = state_->menu_bar;
    ASSERT_NE(bar_, nullptr);
    file_ = GetSubMenu(state_->main_menu, 0);
    edit_ = GetSubMenu(state_->main_menu, 1);
    view_ = GetSubMenu(state_->main_menu, 2);
    park_pointer();
  }
  void TearDown() override {
    set_alt(false);
    RemoveWindowSubclass(state_->main_window, record_messages, 1);
    MainWindowTest::TearDown();
  }

  // A key as the keyboard delivers it to the focused window, through the program's loop.
  void key(UINT message, UINT virtual_key, LPARAM lparam = 1) {
    PostMessageW(GetFocus(), message, virtual_key, lparam);
    pump(*state_, 30);
  }
  void press_alt() {
    set_alt(true);
    key(WM_SYSKEYDOWN, VK_MENU, 0x20000001);
  }
  void release_alt() {
    set_alt(false);
    key(WM_SYSKEYUP, VK_MENU, static_cast<LPARAM>(0xC0000001));
  }

  POINT title_center(int item, bool screen) const {
    const RECT rect = menubar_layout(bar_)[item];
    POINT point = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    if (screen) ClientToScreen(bar_, &point);
    return point;
  }

  // Real pointer input at a title: moving there, or clicking it.
  void pointer_at(int item, bool click) {
    const POINT point = title_center(item, true);
    INPUT inputs[3] = {};
    for (INPUT& input : inputs) input.type = INPUT_MOUSE;
    inputs[0].mi.dx = point.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    inputs[0].mi.dy = point.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(click ? 3 : 1, inputs, sizeof(INPUT));
  }

  // The screen pointer stays where the last test left it; over the bar it would make a title hot
  // and switch menus, so it goes to a corner of the screen that the window does not cover.
  void park_pointer() {
    RECT window = {};
    GetWindowRect(state_->main_window, &window);
    const int right = GetSystemMetrics(SM_CXSCREEN) - 1;
    const int bottom = GetSystemMetrics(SM_CYSCREEN) - 1;
    for (const POINT corner : {POINT{right, bottom}, POINT{0, bottom}, POINT{right, 0}, POINT{0, 0}}) {
      if (PtInRect(&window, corner)) continue;
      SetCursorPos(corner.x, corner.y);
      break;
    }
    pump(*state_, 30);
    SendMessageW(bar_, WM_MOUSELEAVE, 0, 0);
    ASSERT_FALSE(menubar_state().hot);
  }

  // Starts something that opens a menu, then runs `steps` one per 150 ms tick, and waits until
  // they all ran and no menu is left open.
  void run(const std::function<void()>& start, const std::vector<Step>& steps) {
    t_steps = &steps;
    t_next_step = 0;
    t_ticks_after_script = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 150, run_next_step);
    start();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(150 * steps.size() + 3000);
    while ((t_next_step < steps.size() || !open_popups().empty()) && std::chrono::steady_clock::now() < deadline) {
      pump(*state_, 20);
    }
    pump(*state_, 50);
    KillTimer(nullptr, timer);
    EXPECT_EQ(t_next_step, steps.size()) << "every step ran";
    EXPECT_EQ(t_ticks_after_script, 0) << "the menu closed by itself";
    t_steps = nullptr;
  }

  Recorder recorder_;
  HWND bar_ = nullptr;
  HMENU file_ = nullptr;
  HMENU edit_ = nullptr;
  HMENU view_ = nullptr;
};

TEST_F(MainWindowMenus, IsTheMainWindowsTopStrip) {
  wchar_t class_name[32] = {};
  GetClassNameW(bar_, class_name, 32);
  EXPECT_STREQ(class_name, kMenuBarClass);
  EXPECT_EQ(GetParent(bar_), state_->main_window);
  RECT bar = {};
  GetClientRect(bar_, &bar);
  RECT main = {};
  GetClientRect(state_->main_window, &main);
  EXPECT_EQ(bar.bottom, 40);
  EXPECT_EQ(bar.right, main.right);
  EXPECT_EQ(menubar_layout(bar_)[kMenuBarSettingsItem].right, main.right - 8);
  EXPECT_EQ(SendMessageW(bar_, WM_GETDLGCODE, 0, 0), DLGC_WANTALLKEYS);
  EXPECT_EQ(GetMenuItemCount(state_->main_menu), 3);
  EXPECT_EQ(GetMenu(state_->main_window), nullptr) << "never attached to the frame";
}

TEST_F(MainWindowMenus, HotItemFollowsThePointer) {
  const auto move_to = [&](POINT point) {
    SendMessageW(bar_, WM_MOUSEMOVE, 0, MAKELPARAM(point.x, point.y));
  };
  const MenuBarState& bar = menubar_state();
  move_to(title_center(1, false));
  EXPECT_TRUE(bar.hot);
  EXPECT_EQ(bar.hot_index, 1);
  move_to(title_center(kMenuBarSettingsItem, false));
  EXPECT_EQ(bar.hot_index, kMenuBarSettingsItem);
  move_to(POINT{300, 20});
  EXPECT_FALSE(bar.hot) << "between View and the Settings button";
  move_to(title_center(0, false));
  SendMessageW(bar_, WM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(bar.hot) << "the pointer left";
  EXPECT_FALSE(bar.mouse_tracked);

  // In keyboard mode the highlight stays when the pointer leaves.
  SetFocus(bar_);
  move_to(title_center(2, false));
  SendMessageW(bar_, WM_MOUSELEAVE, 0, 0);
  EXPECT_TRUE(bar.hot);
  EXPECT_EQ(bar.hot_index, 2);
}

TEST_F(MainWindowMenus, AltAloneTogglesKeyboardMode) {
  const MenuBarState& bar = menubar_state();
  ASSERT_EQ(GetFocus(), state_->editor);
  press_alt();
  EXPECT_TRUE(bar.show_cues) << "underlines as soon as Alt is down";
  EXPECT_FALSE(bar.hot);
  release_alt();
  EXPECT_EQ(GetFocus(), bar_);
  EXPECT_TRUE(bar.hot);
  EXPECT_EQ(bar.hot_index, 0);
  EXPECT_TRUE(bar.show_cues);

  press_alt();
  release_alt();
  EXPECT_EQ(GetFocus(), state_->editor) << "the second Alt gives the focus back";
  EXPECT_FALSE(bar.hot);
  EXPECT_FALSE(bar.show_cues);

  // Alt with another key in between is a shortcut, not a way into the bar.
  press_alt();
  key(WM_SYSKEYDOWN, 'Q', 0x20000001);
  release_alt();
  EXPECT_EQ(GetFocus(), state_->editor);
  EXPECT_FALSE(bar.show_cues);

  key(WM_SYSKEYDOWN, VK_F10);
  EXPECT_EQ(GetFocus(), bar_);
  EXPECT_TRUE(bar.hot);
  EXPECT_EQ(bar.hot_index, 0);
  EXPECT_TRUE(bar.show_cues);
}

TEST_F(MainWindowMenus, ArrowsMoveOverAllFourItemsAndEscapeLeaves) {
  const MenuBarState& bar = menubar_state();
  key(WM_SYSKEYDOWN, VK_F10);
  ASSERT_EQ(GetFocus(), bar_);
  key(WM_KEYDOWN, VK_LEFT);
  EXPECT_EQ(bar.hot_index, kMenuBarSettingsItem) << "Left from File wraps to the Settings button";
  key(WM_KEYDOWN, VK_RIGHT);
  EXPECT_EQ(bar.hot_index, 0);
  key(WM_KEYDOWN, VK_RIGHT);
  key(WM_KEYDOWN, VK_RIGHT);
  EXPECT_EQ(bar.hot_index, 2);
  key(WM_KEYDOWN, 'Q');
  EXPECT_EQ(GetFocus(), bar_) << "other keys do nothing";
  key(WM_KEYDOWN, VK_ESCAPE);
  EXPECT_EQ(GetFocus(), state_->editor);
  EXPECT_FALSE(bar.hot);
  EXPECT_FALSE(bar.show_cues);
  EXPECT_TRUE(open_popups().empty());
}

TEST_F(MainWindowMenus, SettingsButtonOpensTheSettingsWindowAndNeverAMenu) {
  const MenuBarState& bar = menubar_state();
  // Each way in opens the Settings window once, with no menu tracked meanwhile.
  const auto opens_settings = [&](const std::function<void()>& press) {
    ModalScript script(L"WrenfoldSettings");
    bool menu_seen = true;
    script.then([&](HWND) {
      menu_seen = bar.open || bar.filter_hook != nullptr || !open_popups().empty();
      PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1);
    });
    const bool opened = script.run(press);
    return opened && !menu_seen;
  };
  const POINT gear = title_center(kMenuBarSettingsItem, false);
  EXPECT_TRUE(opens_settings([&] {
    PostMessageW(bar_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(gear.x, gear.y));
    pump(*state_, 30);
  })) << "a click";
  EXPECT_FALSE(bar.hot);

  EXPECT_TRUE(opens_settings([&] {
    set_alt(true);
    key(WM_SYSKEYDOWN, 'T', 0x20000001);
    set_alt(false);
  })) << "Alt+T";
  EXPECT_FALSE(bar.show_cues);

  // From keyboard mode: Left onto the button, Enter; the focus goes back to the editor.
  key(WM_SYSKEYDOWN, VK_F10);
  key(WM_KEYDOWN, VK_LEFT);
  EXPECT_TRUE(opens_settings([&] { key(WM_KEYDOWN, VK_RETURN); })) << "Enter on the button";
  EXPECT_EQ(recorder_.commands, std::vector<unsigned>(3, kCommandSettings));
  EXPECT_EQ(GetFocus(), state_->editor);
  EXPECT_FALSE(bar.hot);
  EXPECT_FALSE(bar.show_cues);
}

TEST_F(MainWindowMenus, ClickOpensATitlesMenuAndEscapeClosesIt) {
  const MenuBarState& bar = menubar_state();
  const POINT file = title_center(0, false);
  std::vector<HMENU> seen;
  bool open_while_shown = false;
  bool hook_while_shown = false;
  bool first_item_highlighted = true;
  run([&] { PostMessageW(bar_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(file.x, file.y)); },
      {[&] {
         seen = open_popups();
         open_while_shown = bar.open && bar.open_index == 0;
         hook_while_shown = bar.filter_hook != nullptr;
         first_item_highlighted = highlighted(file_, 0);
         PostMessageW(state_->main_window, WM_KEYDOWN, VK_ESCAPE, 0);
       }});
  EXPECT_EQ(seen, std::vector<HMENU>{file_});
  EXPECT_TRUE(open_while_shown);
  EXPECT_TRUE(hook_while_shown);
  EXPECT_FALSE(first_item_highlighted) << "opened by the mouse: nothing selected";
  EXPECT_FALSE(bar.open);
  EXPECT_FALSE(bar.hot);
  EXPECT_EQ(bar.filter_hook, nullptr);
  EXPECT_TRUE(recorder_.commands.empty());
}

TEST_F(MainWindowMenus, ArrowsMoveBetweenTheMenus) {
  const MenuBarState& bar = menubar_state();
  HMENU zoom = GetSubMenu(view_, 0);
  std::vector<std::vector<HMENU>> seen;
  std::vector<int> open_index;
  std::vector<bool> first_highlighted;
  const auto look = [&](HMENU menu) {
    seen.push_back(open_popups());
    std::sort(seen.back().begin(), seen.back().end());
    open_index.push_back(bar.open_index);
    first_highlighted.push_back(highlighted(menu, 0));
  };
  const auto press = [&](UINT virtual_key) { PostMessageW(state_->main_window, WM_KEYDOWN, virtual_key, 0); };
  run([&] {
        set_alt(true);
        key(WM_SYSKEYDOWN, 'F', 0x20000001);
      },
      {[&] { look(file_); set_alt(false); press(VK_RIGHT); },
       [&] { look(edit_); press(VK_LEFT); },
       [&] { look(file_); press(VK_LEFT); },
       [&] { look(view_); press(VK_RIGHT); },  // Zoom is selected: Right opens its submenu
       [&] { look(zoom); press(VK_LEFT); },     // in the submenu, Left only closes it
       [&] { look(view_); press(VK_ESCAPE); }});
  ASSERT_EQ(seen.size(), 6u);
  const std::vector<int> expected_index = {0, 1, 0, 2, 2, 2};
  EXPECT_EQ(open_index, expected_index);
  EXPECT_EQ(seen[0], std::vector<HMENU>{file_}) << "Alt+F";
  EXPECT_EQ(seen[1], std::vector<HMENU>{edit_}) << "Right from File";
  EXPECT_EQ(seen[2], std::vector<HMENU>{file_}) << "Left from Edit";
  EXPECT_EQ(seen[3], std::vector<HMENU>{view_}) << "Left from File wraps to View";
  std::vector<HMENU> view_and_zoom = {view_, zoom};
  std::sort(view_and_zoom.begin(), view_and_zoom.end());
  EXPECT_EQ(seen[4], view_and_zoom) << "Right on Zoom opens the submenu";
  EXPECT_EQ(seen[5], std::vector<HMENU>{view_}) << "Left in the submenu goes back to View";
  for (std::size_t index = 0; index < 5; ++index) {
    EXPECT_TRUE(first_highlighted[index]) << "opened by keyboard: first item selected, step " << index;
  }
  EXPECT_FALSE(bar.open);
  EXPECT_FALSE(bar.hot) << "the bar never had the focus";
  EXPECT_FALSE(bar.show_cues);
  EXPECT_EQ(GetFocus(), state_->editor);
}

TEST_F(MainWindowMenus, PointerMovesBetweenTheMenusAndAClickOnTheOpenTitleCloses) {
  const MenuBarState& bar = menubar_state();
  std::vector<std::vector<HMENU>> seen;
  const auto look = [&] { seen.push_back(open_popups()); };
  run([&] { pointer_at(0, true); },
      {[&] { look(); pointer_at(kMenuBarSettingsItem, false); },
       [&] { look(); pointer_at(1, false); },
       [&] { look(); pointer_at(1, true); },
       [&] { look(); }});
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0], std::vector<HMENU>{file_}) << "a click opens File";
  EXPECT_EQ(seen[1], std::vector<HMENU>{file_}) << "over the Settings button nothing changes";
  EXPECT_EQ(seen[2], std::vector<HMENU>{edit_}) << "over Edit, Edit opens";
  EXPECT_TRUE(seen[3].empty()) << "a click on the open title closes it";
  EXPECT_FALSE(bar.open);
  EXPECT_TRUE(recorder_.commands.empty()) << "the Settings button was only passed over";
}

TEST_F(MainWindowMenus, EnterInKeyboardModeOpensAMenuThatStaysOpen) {
  const MenuBarState& bar = menubar_state();
  key(WM_SYSKEYDOWN, VK_F10);
  std::vector<std::vector<HMENU>> seen;
  bool first_highlighted = false;
  run([&] { key(WM_KEYDOWN, VK_RETURN); },
      {[&] { seen.push_back(open_popups()); first_highlighted = highlighted(file_, 0); },
       [&] { seen.push_back(open_popups()); PostMessageW(state_->main_window, WM_KEYDOWN, VK_ESCAPE, 0); }});
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], std::vector<HMENU>{file_});
  EXPECT_EQ(seen[1], std::vector<HMENU>{file_}) << "Enter's character did not reach the menu";
  EXPECT_TRUE(first_highlighted);
  EXPECT_TRUE(recorder_.commands.empty()) << "nothing was executed";
  // Still in keyboard mode after Escape closed the menu.
  EXPECT_EQ(GetFocus(), bar_);
  EXPECT_TRUE(bar.hot);
  EXPECT_EQ(bar.hot_index, 0);
  EXPECT_TRUE(bar.show_cues);
}

TEST_F(MainWindowMenus, ChoosingACommandInKeyboardModeGivesTheKeysBackToTheEditor) {
  const MenuBarState& bar = menubar_state();
  SetWindowTextW(state_->editor, L"abc");
  key(WM_SYSKEYDOWN, VK_F10);
  key(WM_KEYDOWN, VK_RIGHT);
  run([&] { key(WM_KEYDOWN, VK_RETURN); },
      {[&] { PostMessageW(state_->main_window, WM_CHAR, L'a', 0); }});
  EXPECT_EQ(recorder_.commands, std::vector<unsigned>{kCommandSelectAll});
  EXPECT_EQ(editor_selection(state_->editor).end, 3u);
  EXPECT_EQ(GetFocus(), state_->editor);
  EXPECT_FALSE(bar.hot);
  EXPECT_FALSE(bar.show_cues);
}

TEST_F(MainWindowMenus, AMnemonicInAnOpenMenuRunsItsCommand) {
  SetWindowTextW(state_->editor, L"some text");
  set_editor_selection(state_->editor, 0, 0);
  run([&] {
        set_alt(true);
        key(WM_SYSKEYDOWN, 'E', 0x20000001);
      },
      {[&] {
        set_alt(false);
        PostMessageW(state_->main_window, WM_CHAR, L'a', 0);
      }});
  EXPECT_TRUE(open_popups().empty());
  EXPECT_EQ(recorder_.commands, std::vector<unsigned>{kCommandSelectAll});
  const EditorSelectionRange selection = editor_selection(state_->editor);
  EXPECT_EQ(selection.start, 0u);
  EXPECT_EQ(selection.end, 9u);
}

TEST_F(MainWindowMenus, MainWindowAnswersForItsMenusItems) {
  MENUITEMINFOW info = {};
  info.cbSize = sizeof info;
  info.fMask = MIIM_FTYPE | MIIM_DATA;
  ASSERT_TRUE(GetMenuItemInfoW(file_, 0, TRUE, &info));
  EXPECT_TRUE(info.fType & MFT_OWNERDRAW);
  MEASUREITEMSTRUCT measure = {};
  measure.CtlType = ODT_MENU;
  measure.itemData = info.dwItemData;
  EXPECT_EQ(SendMessageW(state_->main_window, WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure)), TRUE);
  EXPECT_EQ(measure.itemHeight, 32u);
  EXPECT_EQ(SendMessageW(state_->main_window, WM_MENUCHAR, MAKEWPARAM(L'x', MF_POPUP),
                         reinterpret_cast<LPARAM>(file_)),
            0x20000 | 7) << "E&xit is the eighth item";

  // WM_MENUSELECT keeps what the filter hook needs.
  SendMessageW(state_->main_window, WM_MENUSELECT, MAKEWPARAM(0, MF_POPUP | MF_HILITE), reinterpret_cast<LPARAM>(view_));
  EXPECT_EQ(menubar_state().current_menu, view_);
  EXPECT_TRUE(menubar_state().current_has_submenu);
  SendMessageW(state_->main_window, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
  EXPECT_EQ(menubar_state().current_menu, view_) << "a closing menu reports no handle";
  SendMessageW(state_->main_window, WM_MENUSELECT, MAKEWPARAM(kCommandCut, MF_HILITE), reinterpret_cast<LPARAM>(edit_));
  EXPECT_EQ(menubar_state().current_menu, edit_);
  EXPECT_FALSE(menubar_state().current_has_submenu);
}

TEST_F(MainWindowMenus, ThemeChangeRecoloursTheClosedMenus) {
  HMENU zoom = GetSubMenu(view_, 0);
  for (HMENU menu : {file_, edit_, view_, zoom}) EXPECT_EQ(menu_background_color(menu), RGB(251, 251, 251));
  state_->settings.use()->theme = Theme::Dark;
  apply_theme(*state_);
  for (HMENU menu : {file_, edit_, view_, zoom}) EXPECT_EQ(menu_background_color(menu), RGB(44, 44, 44));
  state_->settings.use()->theme = Theme::Light;
  apply_theme(*state_);
  for (HMENU menu : {file_, edit_, view_, zoom}) EXPECT_EQ(menu_background_color(menu), RGB(251, 251, 251));
}

bool all_owner_drawn(HMENU menu) {
  const int count = GetMenuItemCount(menu);
  for (int position = 0; position < count; ++position) {
    MENUITEMINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_DATA;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info)) return false;
    if ((info.fType & MFT_OWNERDRAW) == 0 || owner_drawn_item(info.dwItemData) == nullptr) return false;
  }
  return count > 0;
}

TEST_F(MainWindowMenus, ContextAndFormatMenusAreDrawnByTheProgram) {
  struct Seen {
    std::vector<HMENU> popups;
    bool owner_drawn = false;
    bool cues = false;
    COLORREF background = CLR_INVALID;
  };
  const auto look = [](Seen& seen) {
    seen.popups = open_popups();
    if (seen.popups.size() != 1) return;
    seen.owner_drawn = all_owner_drawn(seen.popups[0]);
    seen.cues = popup_keyboard_cues();
    seen.background = menu_background_color(seen.popups[0]);
  };
  const auto escape = [&] { PostMessageW(state_->main_window, WM_KEYDOWN, VK_ESCAPE, 0); };

  resolve_palette(Theme::Dark);  // as a theme change leaves it
  Seen from_keyboard;
  run([&] { PostMessageW(state_->editor, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(state_->editor), -1); },
      {[&] { look(from_keyboard); escape(); }});
  ASSERT_EQ(from_keyboard.popups.size(), 1u);
  EXPECT_TRUE(from_keyboard.owner_drawn);
  EXPECT_TRUE(from_keyboard.cues) << "the Menu key shows underlines";
  EXPECT_EQ(from_keyboard.background, RGB(44, 44, 44));

  resolve_palette(Theme::Light);
  Seen by_mouse;
  RECT editor = {};
  GetWindowRect(state_->editor, &editor);
  run([&] {
        PostMessageW(state_->editor, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(state_->editor),
                     MAKELPARAM(editor.left + 50, editor.top + 50));
      },
      {[&] { look(by_mouse); escape(); }});
  ASSERT_EQ(by_mouse.popups.size(), 1u);
  EXPECT_TRUE(by_mouse.owner_drawn);
  EXPECT_FALSE(by_mouse.cues);
  EXPECT_EQ(by_mouse.background, RGB(251, 251, 251));

  set_popup_keyboard_cues(true);
  Seen encodings;
  run([&] { PostMessageW(state_->main_window, WM_COMMAND, kCommandEncodingMenu, 0); },
      {[&] { look(encodings); escape(); }});
  ASSERT_EQ(encodings.popups.size(), 1u);
  EXPECT_TRUE(encodings.owner_drawn);
  EXPECT_FALSE(encodings.cues) << "opened from a click on the status bar";
  EXPECT_EQ(state_->encoding, Encoding::Utf8) << "nothing chosen";
}

}  // namespace
}  // namespace wrenfold::ui
