#include "theme.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>
#include <richedit.h>

#include <thread>
#include <vector>

#include "commands.h"
#include "find_options.h"
#include "find_window.h"
#include "form.h"
#include "main_window_state.h"
#include "startup.h"

namespace wrenfold::ui {
namespace {

constexpr wchar_t kPersonalizeKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
constexpr wchar_t kAppsUseLightTheme[] = L"AppsUseLightTheme";

TEST(Theme, PalettesHoldTheirStoredWords) {
  struct Row {
    const char* field;
    COLORREF ThemeColors::*member;
    COLORREF light;
    COLORREF dark;
  };
  const std::vector<Row> rows = {
      {"background", &ThemeColors::background, 0xF9F9F9, 0x282828},
      {"text", &ThemeColors::text, 0x1A1A1A, 0xFFFFFF},
      {"secondary_text", &ThemeColors::secondary_text, 0x5D5D5D, 0xC5C5C5},
      {"muted_text", &ThemeColors::muted_text, 0x8B8B8B, 0x9C9C9C},
      {"divider", &ThemeColors::divider, 0xE5E5E5, 0x1C1C1C},
      {"hover", &ThemeColors::hover, 0xEEEEEE, 0x363636},
      {"pressed", &ThemeColors::pressed, 0xE4E4E4, 0x313131},
      {"accent", &ThemeColors::accent, 0xB85F00, 0xFFCD60},
      {"chrome", &ThemeColors::chrome, 0xF3F3F3, 0x202020},
      {"disabled_text", &ThemeColors::disabled_text, 0xA0A0A0, 0x787878},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(kLightPalette.*row.member, row.light) << row.field;
    EXPECT_EQ(kDarkPalette.*row.member, row.dark) << row.field;
  }
  EXPECT_FALSE(kLightPalette.is_dark);
  EXPECT_TRUE(kDarkPalette.is_dark);
}

// Puts the current user's "AppsUseLightTheme" back as it was, whatever the test wrote.
class AppsModeRestorer {
 public:
  AppsModeRestorer() {
    HKEY key = nullptr;
    DWORD disposition = 0;
    RegCreateKeyExW(HKEY_CURRENT_USER, kPersonalizeKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &key, &disposition);
    key_created_ = disposition == REG_CREATED_NEW_KEY;
    DWORD size = sizeof(data_);
    had_value_ = RegQueryValueExW(key, kAppsUseLightTheme, nullptr, &type_, data_, &size) ==
                 ERROR_SUCCESS;
    size_ = size;
    RegCloseKey(key);
  }
  ~AppsModeRestorer() {
    if (had_value_) {
      RegSetKeyValueW(HKEY_CURRENT_USER, kPersonalizeKey, kAppsUseLightTheme, type_, data_, size_);
    } else {
      RegDeleteKeyValueW(HKEY_CURRENT_USER, kPersonalizeKey, kAppsUseLightTheme);
    }
    if (key_created_) RegDeleteKeyW(HKEY_CURRENT_USER, kPersonalizeKey);
  }

 private:
  bool key_created_ = false;
  bool had_value_ = false;
  DWORD type_ = 0;
  BYTE data_[256] = {};
  DWORD size_ = 0;
};

void write_dword(DWORD value) {
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kPersonalizeKey, kAppsUseLightTheme, REG_DWORD,
                            &value, sizeof(value)),
            ERROR_SUCCESS);
}

TEST(Theme, SystemFollowsTheAppsModeValue) {
  const AppsModeRestorer restorer;
  struct Row {
    const char* why;
    void (*write)();
    bool dark;
  };
  const std::vector<Row> rows = {
      {"0 means dark apps", [] { write_dword(0); }, true},
      {"1 means light apps", [] { write_dword(1); }, false},
      {"any other number is not 0", [] { write_dword(2); }, false},
      {"a missing value", [] { RegDeleteKeyValueW(HKEY_CURRENT_USER, kPersonalizeKey,
                                                  kAppsUseLightTheme); },
       false},
      {"\"0\" stored as a string is the wrong type",
       [] {
         const wchar_t zero[] = L"0";
         RegSetKeyValueW(HKEY_CURRENT_USER, kPersonalizeKey, kAppsUseLightTheme, REG_SZ, zero,
                         sizeof(zero));
       },
       false},
      {"0 stored as eight bytes is the wrong type",
       [] {
         const ULONGLONG zero = 0;
         RegSetKeyValueW(HKEY_CURRENT_USER, kPersonalizeKey, kAppsUseLightTheme, REG_QWORD,
                         &zero, sizeof(zero));
       },
       false},
  };
  for (const Row& row : rows) {
    row.write();
    const ThemeColors palette = resolve_palette(Theme::System);
    EXPECT_EQ(palette.is_dark, row.dark) << row.why;
    EXPECT_EQ(palette.background, row.dark ? kDarkPalette.background : kLightPalette.background)
        << row.why;
    EXPECT_EQ(current_palette().is_dark, row.dark) << row.why;
  }
}

TEST(Theme, LightAndDarkIgnoreTheSystem) {
  const AppsModeRestorer restorer;
  write_dword(0);
  EXPECT_FALSE(resolve_palette(Theme::Light).is_dark);
  EXPECT_FALSE(current_palette().is_dark);
  write_dword(1);
  EXPECT_TRUE(resolve_palette(Theme::Dark).is_dark);
  EXPECT_EQ(current_palette().chrome, kDarkPalette.chrome);
}

TEST(Theme, EachThreadHasItsOwnPalette) {
  resolve_palette(Theme::Dark);
  const ThemeColors* seen_by_other_thread = &kLightPalette;
  std::thread([&] { seen_by_other_thread = find_current_palette(); }).join();
  EXPECT_EQ(seen_by_other_thread, nullptr);
  ASSERT_NE(find_current_palette(), nullptr);
  EXPECT_TRUE(find_current_palette()->is_dark);
}

// Counts WM_THEMECHANGED for a window subclassed with it.
LRESULT CALLBACK count_theme_changes(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                     UINT_PTR, DWORD_PTR count) {
  if (message == WM_THEMECHANGED) ++*reinterpret_cast<int*>(count);
  return DefSubclassProc(window, message, wparam, lparam);
}

TEST(Theme, MissingEntryPointsAreSkipped) {
  const ThemeEntryPoints& entry_points = load_theme_entry_points();
  EXPECT_EQ(&entry_points, &load_theme_entry_points()) << "loaded once";
  // Whatever the system offers, switching the process mode must not call through a missing
  // pointer, and a window still gets its style and the notification.
  set_process_dark_mode(true);
  set_process_dark_mode(false);
  const HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  int theme_changes = 0;
  SetWindowSubclass(window, count_theme_changes, 1, reinterpret_cast<DWORD_PTR>(&theme_changes));
  set_window_theme(window, true, L"Explorer");
  EXPECT_GE(theme_changes, 1);
  RemoveWindowSubclass(window, count_theme_changes, 1);
  DestroyWindow(window);
}

class EditorColors : public testing::Test {
 protected:
  void SetUp() override {
    LoadLibraryExW(L"msftedit.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    editor_ = CreateWindowExW(0, L"RICHEDIT50W", L"", WS_POPUP | ES_MULTILINE, 0, 0, 200, 100,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(editor_, nullptr);
    SendMessageW(editor_, EM_SETTEXTMODE, TM_PLAINTEXT, 0);
  }
  void TearDown() override { DestroyWindow(editor_); }

  CHARFORMAT2W format(WPARAM which) {
    CHARFORMAT2W format = {};
    format.cbSize = sizeof(format);
    SendMessageW(editor_, EM_GETCHARFORMAT, which, reinterpret_cast<LPARAM>(&format));
    return format;
  }

  HWND editor_ = nullptr;
};

TEST_F(EditorColors, TextAndBackgroundFollowThePalette) {
  SetWindowTextW(editor_, L"first line\rsecond line");
  for (const ThemeColors* palette : {&kDarkPalette, &kLightPalette, &kDarkPalette}) {
    set_editor_colors(editor_, *palette);
    SendMessageW(editor_, EM_SETSEL, 0, -1);
    const CHARFORMAT2W whole = format(SCF_SELECTION);
    EXPECT_TRUE(whole.dwMask & CFM_COLOR) << "one colour over the whole text";
    EXPECT_FALSE(whole.dwEffects & CFE_AUTOCOLOR);
    EXPECT_EQ(whole.crTextColor, palette->text);
    EXPECT_FALSE(whole.dwEffects & CFE_AUTOBACKCOLOR);
    EXPECT_EQ(whole.crBackColor, palette->background);
    const CHARFORMAT2W typed = format(SCF_DEFAULT);
    EXPECT_FALSE(typed.dwEffects & CFE_AUTOCOLOR);
    EXPECT_EQ(typed.crTextColor, palette->text);
    EXPECT_EQ(typed.crBackColor, palette->background);
    // The message answers the colour it replaces.
    EXPECT_EQ(static_cast<COLORREF>(SendMessageW(editor_, EM_SETBKGNDCOLOR, 0, RGB(1, 2, 3))),
              palette->background);
  }
}

TEST_F(EditorColors, TextTypedIntoARichTextControlTakesTheColoursToo) {
  // There the whole text's format leaves the default alone, so it needs its own pass.
  ASSERT_TRUE(SendMessageW(editor_, EM_SETTEXTMODE, TM_RICHTEXT, 0) == 0);
  set_editor_colors(editor_, kDarkPalette);
  const CHARFORMAT2W typed = format(SCF_DEFAULT);
  EXPECT_FALSE(typed.dwEffects & CFE_AUTOCOLOR);
  EXPECT_EQ(typed.crTextColor, kDarkPalette.text);
  EXPECT_EQ(typed.crBackColor, kDarkPalette.background);
}

class ApplyTheme : public testing::Test {
 protected:
  void SetUp() override {
    OleInitialize(nullptr);
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    settings_path_ = reinterpret_cast<const char16_t*>(folder);
    settings_path_ += u"wrenfold-theme-test-settings.json";
    AppSettings settings;
    settings.theme = Theme::Light;
    settings.check_for_updates = false;
    ASSERT_TRUE(save_settings(settings_path_, settings).ok());
    StartOptions options;
    options.settings_path = settings_path_;
    options.command_line = u"ui_tests.exe";
    state_ = &start_main_window(GetModuleHandleW(nullptr), options);

    // Opened once and hidden again: shown later with its contents, it must match the theme then.
    open_find_window(*state_, false);
    find_ = find_replace_window();
    ASSERT_NE(find_, nullptr);
    SendMessageW(find_, WM_CLOSE, 0, 0);
    ASSERT_FALSE(IsWindowVisible(find_));
    find_field_ = GetDlgItem(find_, kFindWhatBox);
    SetWindowSubclass(find_field_, count_theme_changes, 1,
                      reinterpret_cast<DWORD_PTR>(&find_field_theme_changes_));
  }
  void TearDown() override {
    state_->modified = false;
    DestroyWindow(state_->main_window);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
    remove_main_window_state();
    const std::wstring path(settings_path_.begin(), settings_path_.end());
    DeleteFileW(path.c_str());
    OleUninitialize();
  }

  CHARFORMAT2W whole_text_format() {
    SendMessageW(state_->editor, EM_SETSEL, 0, -1);
    CHARFORMAT2W format = {};
    format.cbSize = sizeof(format);
    SendMessageW(state_->editor, EM_GETCHARFORMAT, SCF_SELECTION,
                 reinterpret_cast<LPARAM>(&format));
    return format;
  }

  std::u16string settings_path_;
  MainWindowState* state_ = nullptr;
  HWND find_ = nullptr;
  HWND find_field_ = nullptr;
  int find_field_theme_changes_ = 0;
};

TEST_F(ApplyTheme, RecoloursEverythingWithoutTouchingTheDocument) {
  SetWindowTextW(state_->editor, L"some text\rand more");
  state_->modified = false;
  for (const Theme theme : {Theme::Dark, Theme::Light}) {
    state_->settings.use()->theme = theme;
    const ThemeColors& expected = theme == Theme::Dark ? kDarkPalette : kLightPalette;
    find_field_theme_changes_ = 0;
    apply_theme(*state_);
    EXPECT_EQ(current_palette().is_dark, expected.is_dark);
    EXPECT_EQ(whole_text_format().crTextColor, expected.text);
    EXPECT_EQ(whole_text_format().crBackColor, expected.background);
    EXPECT_EQ(static_cast<COLORREF>(
                  SendMessageW(state_->editor, EM_SETBKGNDCOLOR, 0, expected.background)),
              expected.background);
    EXPECT_FALSE(state_->modified) << "a colour change is not an edit";
    EXPECT_FALSE(state_->loading);
    EXPECT_GE(find_field_theme_changes_, 1) << "the Find and Replace window follows";
  }
}

TEST_F(ApplyTheme, MainWindowPaintsItsBackgroundInTheResolvedPalette) {
  const HDC screen = GetDC(nullptr);
  const HDC dc = CreateCompatibleDC(screen);
  const HBITMAP bitmap = CreateCompatibleBitmap(screen, 8, 8);
  ReleaseDC(nullptr, screen);
  const HGDIOBJ old = SelectObject(dc, bitmap);
  for (const auto& [theme, word] : {std::pair{Theme::Dark, COLORREF{0x282828}}, std::pair{Theme::Light, COLORREF{0xF9F9F9}}}) {
    state_->settings.use()->theme = theme;
    apply_theme(*state_);
    SendMessageW(state_->main_window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    EXPECT_EQ(GetPixel(dc, 1, 1), word) << "theme " << static_cast<int>(theme);
  }
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

// Counts the character-format messages that lay out the whole text: the whole text's format
// and, in a plain-text control, the default format.
LRESULT CALLBACK count_whole_text_formats(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                                          UINT_PTR, DWORD_PTR count) {
  if (message == EM_SETCHARFORMAT && (wparam == SCF_DEFAULT || (wparam & SCF_ALL) != 0)) ++*reinterpret_cast<int*>(count);
  return DefSubclassProc(window, message, wparam, lparam);
}

TEST_F(ApplyTheme, ViewSettingsFormatTheWholeTextOnceWithFontAndColours) {
  SetWindowTextW(state_->editor, L"some text\rand more");
  state_->modified = false;
  {
    GuardedSettings::Use settings = state_->settings.use();
    settings->theme = Theme::Dark;
    settings->font_size_points = 15;
  }
  int whole_text_formats = 0;
  SetWindowSubclass(state_->editor, count_whole_text_formats, 2,
                    reinterpret_cast<DWORD_PTR>(&whole_text_formats));
  apply_view_settings(*state_);
  RemoveWindowSubclass(state_->editor, count_whole_text_formats, 2);
  EXPECT_EQ(whole_text_formats, 1);
  const CHARFORMAT2W format = whole_text_format();
  EXPECT_EQ(format.yHeight, 15 * 20);
  EXPECT_EQ(format.crTextColor, kDarkPalette.text);
  EXPECT_EQ(format.crBackColor, kDarkPalette.background);
  EXPECT_FALSE(state_->modified);
}

}  // namespace
}  // namespace wrenfold::ui
