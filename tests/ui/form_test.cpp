#include "form.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <array>
#include <thread>
#include <vector>

#include "theme.h"

namespace wrenfold::ui {
namespace {

HWND create_parent() {
  return CreateWindowExW(0, L"STATIC", L"Parent", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

TEST(Form, CreateControlScalesEveryLengthByTheDpi) {
  const HWND parent = create_parent();
  ASSERT_NE(parent, nullptr);
  struct Row {
    unsigned dpi;
    RECT expected;  // client coordinates of the parent
  };
  // x 11, y 7, width 75, height 23 at 96 DPI; truncation shows at 120 and 144.
  const std::vector<Row> rows = {
      {96, {11, 7, 11 + 75, 7 + 23}},
      {120, {13, 8, 13 + 93, 8 + 28}},
      {144, {16, 10, 16 + 112, 10 + 34}},
      {192, {22, 14, 22 + 150, 14 + 46}},
  };
  for (const Row& row : rows) {
    const HWND control =
        create_control(parent, row.dpi, L"BUTTON", L"&Find next", BS_PUSHBUTTON, 11, 7, 75, 23, 42);
    ASSERT_NE(control, nullptr) << row.dpi;
    RECT rect = {};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    EXPECT_EQ(rect.left, row.expected.left) << row.dpi;
    EXPECT_EQ(rect.top, row.expected.top) << row.dpi;
    EXPECT_EQ(rect.right, row.expected.right) << row.dpi;
    EXPECT_EQ(rect.bottom, row.expected.bottom) << row.dpi;
    EXPECT_EQ(GetDlgCtrlID(control), 42);
    EXPECT_EQ(GetParent(control), parent);
    const LONG_PTR style = GetWindowLongPtrW(control, GWL_STYLE);
    EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE), WS_CHILD | WS_VISIBLE);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)),
              ui_font(row.dpi, false, 0));
    DestroyWindow(control);
  }
  DestroyWindow(parent);
}

TEST(Form, ScaleToDpiTruncates) {
  struct Row {
    unsigned value;
    unsigned dpi;
    int expected;
  };
  const std::vector<Row> rows = {
      {0, 144, 0},   {1, 96, 1},    {1, 144, 1},     {3, 144, 4},
      {7, 120, 8},   {95, 97, 95},  {96, 97, 97},    {100, 288, 300},
      {65535, 480, 327675},  // large sizes do not wrap
  };
  for (const Row& row : rows) {
    EXPECT_EQ(scale_to_dpi(row.value, row.dpi), row.expected) << row.value << " at " << row.dpi;
  }
}

LOGFONTW font_of(HFONT font) {
  LOGFONTW description = {};
  GetObjectW(font, sizeof(description), &description);
  return description;
}

LOGFONTW message_font(unsigned dpi) {
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof(metrics);
  SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0, dpi);
  return metrics.lfMessageFont;
}

TEST(Form, UiFontIsTheMessageFontCachedPerKey) {
  struct Row {
    unsigned dpi;
    bool bold;
    int extra_points;
    LONG height_change;  // added to the message font's (negative) height
  };
  const std::vector<Row> rows = {
      {96, false, 0, 0},   {96, true, 0, 0},
      {96, false, 1, -1},  // 96 / -72 truncates toward zero
      {96, false, 2, -2},  {120, false, 1, -1}, {144, false, 3, -6},
      {96, true, 4, -5},   {96, false, -1, 1},
  };
  std::vector<HFONT> handles;
  for (const Row& row : rows) {
    const HFONT font = ui_font(row.dpi, row.bold, row.extra_points);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(ui_font(row.dpi, row.bold, row.extra_points), font) << "same key, same handle";
    const LOGFONTW expected = message_font(row.dpi);
    const LOGFONTW actual = font_of(font);
    EXPECT_EQ(actual.lfHeight, expected.lfHeight + row.height_change)
        << row.dpi << " " << row.extra_points;
    EXPECT_EQ(actual.lfWeight, row.bold ? 600 : expected.lfWeight);
    EXPECT_STREQ(actual.lfFaceName, expected.lfFaceName);
    handles.push_back(font);
  }
  std::sort(handles.begin(), handles.end());
  EXPECT_EQ(std::adjacent_find(handles.begin(), handles.end()), handles.end())
      << "every key has its own font";
}

TEST(Form, CenteredPositionStaysInTheWorkArea) {
  struct Row {
    const char* why;
    RECT window;
    RECT owner;
    RECT work_area;
    POINT expected;
  };
  const RECT screen = {0, 0, 1920, 1040};
  const std::vector<Row> rows = {
      {"centred", {0, 0, 200, 100}, {100, 100, 500, 400}, screen, {200, 200}},
      {"the window's own position does not matter", {900, 900, 1100, 1000}, {100, 100, 500, 400},
       screen, {200, 200}},
      {"wider than the work area: the left edge wins", {0, 0, 2000, 100}, {100, 100, 500, 400},
       screen, {0, 200}},
      {"taller than the work area: the top edge wins", {0, 0, 200, 1200}, {100, 100, 500, 400},
       screen, {200, 0}},
      {"pushed back from the right and bottom edges", {0, 0, 400, 300}, {1700, 900, 1900, 1000},
       screen, {1520, 740}},
      {"pushed back from the left and top edges", {0, 0, 400, 300}, {-50, -60, 50, 40}, screen,
       {0, 0}},
      {"odd difference rounds toward zero", {0, 0, 301, 201}, {500, 500, 600, 600}, screen,
       {400, 450}},
      {"a monitor left of the primary one", {0, 0, 200, 100}, {-1900, 100, -1500, 400},
       {-1920, 0, 0, 1080}, {-1800, 200}},
      {"oversized on the left monitor", {0, 0, 2000, 100}, {-1900, 100, -1500, 400},
       {-1920, 0, 0, 1080}, {-1920, 200}},
  };
  for (const Row& row : rows) {
    const POINT position = centered_position(row.window, row.owner, row.work_area);
    EXPECT_EQ(position.x, row.expected.x) << row.why;
    EXPECT_EQ(position.y, row.expected.y) << row.why;
  }
}

TEST(Form, CenterOverOwnerMovesWithoutResizing) {
  const HWND owner = CreateWindowExW(0, L"STATIC", L"Owner", WS_POPUP, 200, 150, 600, 400,
                                     nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  const HWND window = CreateWindowExW(0, L"STATIC", L"Window", WS_POPUP, 0, 0, 300, 200, owner,
                                      nullptr, GetModuleHandleW(nullptr), nullptr);
  center_over_owner(window, owner);
  RECT rect = {};
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.left, 350);
  EXPECT_EQ(rect.top, 250);
  EXPECT_EQ(rect.right - rect.left, 300);
  EXPECT_EQ(rect.bottom - rect.top, 200);
  DestroyWindow(window);
  DestroyWindow(owner);
}

TEST(Form, ControlThemeRuleByClassAndButtonStyle) {
  struct Row {
    const wchar_t* class_name;
    LONG_PTR style;
    ControlThemeRule expected;
  };
  const std::vector<Row> rows = {
      {L"Edit", 0, ControlThemeRule::InputField},
      {L"EDIT", ES_MULTILINE, ControlThemeRule::InputField},
      {L"edit", 0, ControlThemeRule::InputField},
      {L"ComboBox", CBS_DROPDOWN, ControlThemeRule::InputField},
      {L"ComboBoxEx32", 0, ControlThemeRule::Explorer},
      {L"Button", BS_PUSHBUTTON, ControlThemeRule::Explorer},
      {L"Button", BS_DEFPUSHBUTTON, ControlThemeRule::Explorer},
      {L"Button", BS_AUTOCHECKBOX | WS_TABSTOP, ControlThemeRule::UnstyledInDark},
      {L"BUTTON", BS_CHECKBOX, ControlThemeRule::UnstyledInDark},
      {L"Button", BS_AUTORADIOBUTTON, ControlThemeRule::UnstyledInDark},
      {L"Button", BS_GROUPBOX, ControlThemeRule::UnstyledInDark},
      {L"Static", SS_LEFT, ControlThemeRule::Explorer},
      {L"Static", 0x0E, ControlThemeRule::Explorer},  // the button bits mean nothing elsewhere
      {L"RICHEDIT50W", 0, ControlThemeRule::Explorer},
      {L"msctls_progress32", 0, ControlThemeRule::Explorer},
      {L"", BS_CHECKBOX, ControlThemeRule::Explorer},  // an unreadable class name
  };
  for (const Row& row : rows) {
    EXPECT_EQ(control_theme_rule(row.class_name, row.style), row.expected)
        << static_cast<const void*>(row.class_name) << " " << row.style;
  }
}

class ControlColors : public testing::Test {
 protected:
  void SetUp() override {
    parent_ = create_parent();
    label_ = create_control(parent_, 96, L"STATIC", L"Label", 0, 0, 0, 50, 20, 1);
    secondary_ = create_control(parent_, 96, L"STATIC", L"Hint", 0, 0, 20, 50, 20, 2);
    error_ = create_control(parent_, 96, L"STATIC", L"Bad", 0, 0, 40, 50, 20, 11);
    preview_ = create_control(parent_, 96, L"STATIC", L"Aa", 0, 0, 60, 50, 20, 23);
    edit_ = create_control(parent_, 96, L"EDIT", L"", 0, 0, 80, 50, 20, 10);
    dc_ = CreateCompatibleDC(nullptr);
  }
  void TearDown() override {
    DeleteDC(dc_);
    DestroyWindow(parent_);
  }

  HBRUSH colors(UINT message, HWND control, const ControlColorRules& rules) {
    return reinterpret_cast<HBRUSH>(control_colors(parent_, message, dc_, control, rules));
  }

  HWND parent_ = nullptr;
  HWND label_ = nullptr;
  HWND secondary_ = nullptr;
  HWND error_ = nullptr;
  HWND preview_ = nullptr;
  HWND edit_ = nullptr;
  HDC dc_ = nullptr;
};

COLORREF brush_color(HBRUSH brush) {
  LOGBRUSH description = {};
  GetObjectW(brush, sizeof(description), &description);
  return description.lbColor;
}

TEST_F(ControlColors, TextAndBackgroundByControl) {
  const std::array secondary_ids = {2};
  const std::array input_like_ids = {23};
  const std::array error_ids = {11};
  const ControlColorRules go_to{secondary_ids, input_like_ids, error_ids, false};
  const ControlColorRules find{secondary_ids, {}, {}, true};
  struct Row {
    const char* why;
    const ThemeColors& palette;
    const ControlColorRules& rules;
    UINT message;
    const HWND* control;
    bool disabled;
    COLORREF text;
    COLORREF background;
  };
  const ThemeColors& dark = kDarkPalette;
  const ThemeColors& light = kLightPalette;
  const std::vector<Row> rows = {
      {"label", dark, go_to, WM_CTLCOLORSTATIC, &label_, false, dark.text,
       dark.chrome},
      {"label", light, go_to, WM_CTLCOLORSTATIC, &label_, false, light.text,
       light.chrome},
      {"secondary label", dark, go_to, WM_CTLCOLORSTATIC, &secondary_, false,
       dark.secondary_text, dark.chrome},
      {"error line, dark", dark, go_to, WM_CTLCOLORSTATIC, &error_, false,
       RGB(255, 153, 164), dark.chrome},
      {"error line, light", light, go_to, WM_CTLCOLORSTATIC, &error_, false,
       RGB(196, 43, 28), light.chrome},
      {"input-like static", dark, go_to, WM_CTLCOLORSTATIC, &preview_, false,
       dark.text, RGB(45, 45, 45)},
      {"edit box", dark, find, WM_CTLCOLOREDIT, &edit_, false, dark.text,
       RGB(45, 45, 45)},
      {"edit box", light, find, WM_CTLCOLOREDIT, &edit_, false, light.text,
       RGB(255, 255, 255)},
      {"list box", light, find, WM_CTLCOLORLISTBOX, &edit_, false, light.text,
       RGB(255, 255, 255)},
      {"button", dark, find, WM_CTLCOLORBTN, &label_, false, dark.text,
       dark.chrome},
      {"disabled where the window asks for it", dark, find, WM_CTLCOLORSTATIC,
       &secondary_, true, dark.disabled_text, dark.chrome},
      {"disabled where the window does not", dark, go_to, WM_CTLCOLORSTATIC,
       &label_, true, dark.text, dark.chrome},
      {"the error id is plain elsewhere", dark, find, WM_CTLCOLORSTATIC, &error_,
       false, dark.text, dark.chrome},
  };
  for (const Row& row : rows) {
    resolve_palette(row.palette.is_dark ? Theme::Dark : Theme::Light);
    const HWND control = *row.control;
    EnableWindow(control, !row.disabled);
    SetTextColor(dc_, RGB(1, 1, 1));
    SetBkColor(dc_, RGB(1, 1, 1));
    const HBRUSH brush = colors(row.message, control, row.rules);
    EXPECT_EQ(GetTextColor(dc_), row.text) << row.why;
    EXPECT_EQ(GetBkColor(dc_), row.background) << row.why;
    EXPECT_EQ(brush_color(brush), row.background) << row.why;
    EnableWindow(control, TRUE);
  }
}

TEST_F(ControlColors, TwoBackgroundsShareTwoBrushes) {
  const ControlColorRules rules{};
  // Fill both slots with colours that the rest of the test does not use.
  resolve_palette(Theme::Light);
  colors(WM_CTLCOLOREDIT, edit_, rules);
  colors(WM_CTLCOLORSTATIC, label_, rules);
  resolve_palette(Theme::Dark);
  const HBRUSH input = colors(WM_CTLCOLOREDIT, edit_, rules);
  const HBRUSH chrome = colors(WM_CTLCOLORSTATIC, label_, rules);
  ASSERT_NE(input, chrome);
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(colors(WM_CTLCOLOREDIT, edit_, rules), input);
    EXPECT_EQ(colors(WM_CTLCOLORSTATIC, label_, rules), chrome);
    EXPECT_EQ(colors(WM_CTLCOLORBTN, secondary_, rules), chrome);
  }
  // A third colour takes the place of the older one, whose brush is deleted; the newer stays.
  resolve_palette(Theme::Light);
  const HBRUSH light_chrome = colors(WM_CTLCOLORSTATIC, label_, rules);
  EXPECT_EQ(brush_color(light_chrome), kLightPalette.chrome);
  EXPECT_NE(brush_color(input), RGB(45, 45, 45)) << "the oldest brush is deleted";
  EXPECT_EQ(GetObjectType(chrome), static_cast<DWORD>(OBJ_BRUSH));
  resolve_palette(Theme::Dark);
  EXPECT_EQ(colors(WM_CTLCOLORSTATIC, label_, rules), chrome);
  EXPECT_EQ(colors(WM_CTLCOLORBTN, label_, rules), chrome);
}

TEST(Form, ControlColorsBeforeAnyPaletteGoToTheDefault) {
  // A thread that has not resolved a palette yet.
  std::thread([] {
    ASSERT_EQ(find_current_palette(), nullptr);
    const HWND parent = create_parent();
    const HWND label = create_control(parent, 96, L"STATIC", L"Label", 0, 0, 0, 50, 20, 1);
    const HDC dc = CreateCompatibleDC(nullptr);
    const std::array secondary_ids = {1};
    const LRESULT answer =
        control_colors(parent, WM_CTLCOLORSTATIC, dc, label, ControlColorRules{.secondary_text_ids = secondary_ids, .input_like_ids = {}, .error_text_ids = {}});
    EXPECT_EQ(answer, DefWindowProcW(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                     reinterpret_cast<LPARAM>(label)));
    EXPECT_NE(GetTextColor(dc), kLightPalette.secondary_text);
    DeleteDC(dc);
    DestroyWindow(parent);
  }).join();
}

TEST(Form, DialogBackgroundIsChrome) {
  const HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 40, 30, nullptr, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
  const HDC screen = GetDC(nullptr);
  const HDC dc = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateCompatibleBitmap(screen, 40, 30);
  ReleaseDC(nullptr, screen);
  const HGDIOBJ previous = SelectObject(dc, bitmap);
  for (const Theme theme : {Theme::Dark, Theme::Light}) {
    const ThemeColors palette = resolve_palette(theme);
    EXPECT_EQ(erase_dialog_background(window, dc), 1);
    EXPECT_EQ(GetPixel(dc, 0, 0), palette.chrome);
    EXPECT_EQ(GetPixel(dc, 39, 29), palette.chrome);
  }
  SelectObject(dc, previous);
  DeleteObject(bitmap);
  DeleteDC(dc);
  DestroyWindow(window);
}

}  // namespace
}  // namespace wrenfold::ui
