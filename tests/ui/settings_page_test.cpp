// The Settings window on the real main window under Wine: what it shows, and that each change
// is stored and applied at once.

#include <windows.h>
#include <richedit.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "commands.h"
#include "main_window_fixture.h"
#include "modal_script.h"
#include "settings_page.h"
#include "theme.h"

namespace wrenfold::ui {
namespace {

using testing::ModalScript;

TEST(SettingsChoices, FamiliesSizesAndStyles) {
  EXPECT_EQ(family_list({L"Tahoma", L"@MS Gothic", L"arial", L"Liberation Mono", L"TAHOMA", L"Arial"}),
            (std::vector<std::wstring>{L"arial", L"Liberation Mono", L"Tahoma"}))
      << "vertical faces and case-only duplicates go; sorted ignoring case";
  const std::span<const int> sizes = offered_font_sizes();
  EXPECT_EQ(sizes[font_size_index(14)], 14);
  EXPECT_EQ(sizes[font_size_index(72)], 72);
  EXPECT_EQ(sizes[font_size_index(13)], 11) << "a size the list lacks shows 11";
  EXPECT_EQ(sizes[font_size_index(10.5)], 11);
  EXPECT_EQ(font_style_index(false, false), 0u);
  EXPECT_EQ(font_style_index(false, true), 1u);
  EXPECT_EQ(font_style_index(true, false), 2u);
  EXPECT_EQ(font_style_index(true, true), 3u);
}

std::wstring selected_text(HWND window, int id) {
  const HWND list = GetDlgItem(window, id);
  const LRESULT index = SendMessageW(list, CB_GETCURSEL, 0, 0);
  if (index < 0) return L"(none)";
  wchar_t text[128] = {};
  SendMessageW(list, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
  return text;
}

void choose(HWND window, int id, const wchar_t* entry) {
  const HWND list = GetDlgItem(window, id);
  const LRESULT index = SendMessageW(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(entry));
  ASSERT_GE(index, 0) << "no entry " << std::string(entry, entry + wcslen(entry));
  SendMessageW(list, CB_SETCURSEL, index, 0);
  SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

LOGFONTW font_of(HWND control) {
  LOGFONTW font = {};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
  return font;
}

class SettingsPageTest : public testing::MainWindowTest {
 protected:
  AppSettings initial_settings() override {
    AppSettings settings = MainWindowTest::initial_settings();
    settings.theme = Theme::Light;
    settings.font_family = u"liberation mono";  // matched ignoring case
    settings.font_size_points = 13;
    settings.font_italic = true;
    return settings;
  }

  bool open_with(ModalScript& script) {
    return script.run([this] { dispatch_command(state(), kCommandSettings); });
  }
};

TEST_F(SettingsPageTest, ShowsTheStoredChoices) {
  ModalScript script(L"WrenfoldSettings");
  script.then([this](HWND window) {
    wchar_t title[64] = {};
    GetWindowTextW(window, title, 64);
    EXPECT_STREQ(title, L"Settings");
    EXPECT_EQ(GetWindow(window, GW_OWNER), state().main_window);
    EXPECT_FALSE(IsWindowEnabled(state().main_window));
    EXPECT_EQ(SendDlgItemMessageW(window, 10, BM_GETCHECK, 0, 0), BST_CHECKED) << "Light";
    EXPECT_EQ(SendDlgItemMessageW(window, 11, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(selected_text(window, 20), L"Liberation Mono");
    EXPECT_EQ(selected_text(window, 21), L"Italic");
    EXPECT_EQ(selected_text(window, 22), L"11") << "13 is not offered";
    EXPECT_EQ(SendDlgItemMessageW(window, 30, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(window, 35))) << "no offered update";
    EXPECT_EQ(GetFocus(), GetDlgItem(window, 31)) << "Check for updates has the focus";
    const LOGFONTW preview = font_of(GetDlgItem(window, 23));
    EXPECT_EQ(preview.lfHeight, -17) << "13 points at 96 DPI";
    EXPECT_TRUE(preview.lfItalic);
    PostMessageW(GetDlgItem(window, 31), WM_KEYDOWN, VK_ESCAPE, 1);
  });
  ASSERT_TRUE(open_with(script));
  EXPECT_EQ(FindWindowW(L"WrenfoldSettings", nullptr), nullptr);
  EXPECT_TRUE(IsWindowEnabled(state().main_window));
  EXPECT_EQ(GetFocus(), state().editor);
  EXPECT_EQ(stored_settings().font_size_points, 13) << "only looking changes nothing";
}

TEST_F(SettingsPageTest, EachChangeIsStoredAndAppliedAtOnce) {
  ModalScript script(L"WrenfoldSettings");
  script.then([this](HWND window) {
    SendMessageW(GetDlgItem(window, 11), BM_CLICK, 0, 0);
    EXPECT_EQ(stored_settings().theme, Theme::Dark);
    EXPECT_TRUE(current_palette().is_dark) << "the main window follows at once";

    choose(window, 21, L"Bold Italic");
    choose(window, 22, L"14");
    const AppSettings stored = stored_settings();
    EXPECT_TRUE(stored.font_bold);
    EXPECT_TRUE(stored.font_italic);
    EXPECT_EQ(stored.font_size_points, 14);
    EXPECT_EQ(stored.font_family, u"Liberation Mono") << "the list's own spelling";
    const LOGFONTW preview = font_of(GetDlgItem(window, 23));
    EXPECT_EQ(preview.lfHeight, -19);
    EXPECT_EQ(preview.lfWeight, FW_BOLD);
    CHARFORMAT2W format = {};
    format.cbSize = sizeof format;
    SendMessageW(state().editor, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    EXPECT_EQ(format.yHeight, 14 * 20) << "the editor uses the new size";
    EXPECT_TRUE(format.dwEffects & CFE_BOLD);

    SendMessageW(GetDlgItem(window, 30), BM_CLICK, 0, 0);
    EXPECT_EQ(stored_settings().check_for_updates, std::optional<bool>(true));
    PostMessageW(window, WM_COMMAND, 2, 0);  // Close
  });
  ASSERT_TRUE(open_with(script));
  EXPECT_EQ(state().settings.read().theme, Theme::Dark) << "the window's working copy too";
}

CHARFORMAT2W editor_format(HWND editor, WPARAM which) {
  CHARFORMAT2W format = {};
  format.cbSize = sizeof format;
  if (which == SCF_SELECTION) SendMessageW(editor, EM_SETSEL, 0, -1);
  SendMessageW(editor, EM_GETCHARFORMAT, which, reinterpret_cast<LPARAM>(&format));
  return format;
}

TEST_F(SettingsPageTest, ThemeChangeAloneRecoloursTextAndCharacterBackground) {
  SetWindowTextW(state().editor, L"some text\rand a second line");
  state().modified = false;
  ModalScript script(L"WrenfoldSettings");
  for (const auto& [button, palette] : {std::pair{11, &kDarkPalette}, std::pair{10, &kLightPalette}}) {
    script.then([this, button, palette](HWND window) {
      SendMessageW(GetDlgItem(window, button), BM_CLICK, 0, 0);
      // No font change after it: the theme change itself must reach every character.
      for (const WPARAM which : {WPARAM{SCF_SELECTION}, WPARAM{SCF_DEFAULT}}) {
        const CHARFORMAT2W format = editor_format(state().editor, which);
        EXPECT_EQ(format.crTextColor, palette->text) << "format " << which;
        EXPECT_TRUE(format.dwMask & CFM_BACKCOLOR) << "one background over the whole text";
        EXPECT_FALSE(format.dwEffects & CFE_AUTOBACKCOLOR) << "format " << which;
        EXPECT_EQ(format.crBackColor, palette->background) << "format " << which;
      }
      EXPECT_FALSE(state().modified) << "a colour change is not an edit";
    });
  }
  script.then([](HWND window) { PostMessageW(window, WM_COMMAND, 2, 0); });
  ASSERT_TRUE(open_with(script));
}

TEST_F(SettingsPageTest, FocusComesBackAfterSwitchingAwayAndBack) {
  HWND elsewhere = nullptr;
  ModalScript script(L"WrenfoldSettings");
  script.then([&](HWND window) {
    SetFocus(GetDlgItem(window, 22));
    elsewhere = CreateWindowExW(0, L"STATIC", L"elsewhere", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    SetActiveWindow(elsewhere);
    EXPECT_NE(GetActiveWindow(), window);
    SetActiveWindow(window);
    EXPECT_EQ(GetActiveWindow(), window);
    EXPECT_EQ(GetFocus(), GetDlgItem(window, 22)) << "the Size list has the keyboard again";
    DestroyWindow(elsewhere);
    PostMessageW(window, WM_COMMAND, 2, 0);
  });
  ASSERT_TRUE(open_with(script));
}

class HugeFontSettingsPageTest : public SettingsPageTest {
 protected:
  AppSettings initial_settings() override {
    AppSettings settings = SettingsPageTest::initial_settings();
    settings.font_size_points = 1e12;  // hand-edited
    return settings;
  }
};

TEST_F(HugeFontSettingsPageTest, SizeBeyondAnyFontIsClampedForTheEditorAndThePreview) {
  const CHARFORMAT2W format = editor_format(state().editor, SCF_DEFAULT);
  EXPECT_EQ(format.yHeight, 1638 * 20) << "the largest size the editor takes";
  ModalScript script(L"WrenfoldSettings");
  script.then([](HWND window) {
    EXPECT_EQ(font_of(GetDlgItem(window, 23)).lfHeight, -2184) << "1638 points at 96 DPI";
    PostMessageW(window, WM_COMMAND, 2, 0);
  });
  ASSERT_TRUE(open_with(script));
  EXPECT_EQ(stored_settings().font_size_points, 1e12) << "the file keeps what it was given";
}

// Counts WM_THEMECHANGED for a window subclassed with it.
LRESULT CALLBACK count_theme_changes(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                     DWORD_PTR count) {
  if (message == WM_THEMECHANGED) ++*reinterpret_cast<int*>(count);
  return DefSubclassProc(window, message, wparam, lparam);
}

constexpr wchar_t kPersonalizeKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

// Sets the current user's apps mode for the test and puts the old value back afterwards.
class AppsModeOverride {
 public:
  explicit AppsModeOverride(DWORD apps_use_light_theme) {
    DWORD size = sizeof old_;
    had_ = RegGetValueW(HKEY_CURRENT_USER, kPersonalizeKey, L"AppsUseLightTheme", RRF_RT_REG_DWORD, nullptr, &old_,
                        &size) == ERROR_SUCCESS;
    set(apps_use_light_theme);
  }
  ~AppsModeOverride() {
    if (had_) {
      set(old_);
    } else {
      RegDeleteKeyValueW(HKEY_CURRENT_USER, kPersonalizeKey, L"AppsUseLightTheme");
    }
  }
  void set(DWORD value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, kPersonalizeKey, L"AppsUseLightTheme", REG_DWORD, &value, sizeof value);
  }

 private:
  bool had_ = false;
  DWORD old_ = 1;
};

class SystemThemeSettingsPageTest : public SettingsPageTest {
 protected:
  AppSettings initial_settings() override {
    AppSettings settings = SettingsPageTest::initial_settings();
    settings.theme = Theme::System;
    return settings;
  }
};

TEST_F(SystemThemeSettingsPageTest, SystemSwitchWhileOpenReThemesTheWindow) {
  AppsModeOverride apps_mode(1);
  resolve_palette(Theme::System);
  int theme_changes = 0;
  ModalScript script(L"WrenfoldSettings");
  script.then([&](HWND window) {
    EXPECT_FALSE(current_palette().is_dark);
    SetWindowSubclass(GetDlgItem(window, 22), count_theme_changes, 1, reinterpret_cast<DWORD_PTR>(&theme_changes));
    apps_mode.set(0);
    SendMessageW(state().main_window, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"));
    EXPECT_TRUE(current_palette().is_dark);
    EXPECT_GE(theme_changes, 1) << "the open Settings window's controls follow the switch";
    RemoveWindowSubclass(GetDlgItem(window, 22), count_theme_changes, 1);
    PostMessageW(window, WM_COMMAND, 2, 0);
  });
  ASSERT_TRUE(open_with(script));
}

}  // namespace
}  // namespace wrenfold::ui
