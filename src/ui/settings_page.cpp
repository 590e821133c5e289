#include "settings_page.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cwctype>
#include <optional>

#include "commands.h"
#include "font_size.h"
#include "form.h"
#include "main_window_state.h"
#include "settings_change.h"
#include "update_install.h"
#include "theme.h"
#include "update_schedule.h"
#include "version.h"
#include "window_class.h"

namespace wrenfold::ui {
namespace {

constexpr wchar_t kSettingsClass[] = L"WrenfoldSettings";
constexpr DWORD kSettingsStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kSettingsExtendedStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
constexpr unsigned kClientWidth = 520;
constexpr unsigned kClientHeight = 540;
constexpr unsigned kClientHeightWithOffer = 676;

enum ControlId : int {
  kClose = 2,
  kLight = 10,
  kDark = 11,
  kSystem = 12,
  kFamily = 20,
  kStyle = 21,
  kSize = 22,
  kPreview = 23,
  kCheckAutomatically = 30,
  kCheckNow = 31,
  kUpdateStatus = 32,
  kOfferHeading = 33,
  kReleaseNotes = 34,
  kUpdateNow = 35,
  kProgress = 36,
  kInstallNote = 37,
  kLink = 40,
  kSectionHeading = 50,
  kUpdatesNote = 51,
  kAboutHeading = 52,
  kProductLine = 53,
  kTagline = 54,
};

constexpr int kSecondaryTextIds[] = {kUpdateStatus, kReleaseNotes, kInstallNote, kUpdatesNote, kTagline};
constexpr int kInputLikeIds[] = {kPreview};
constexpr int kFontSizes[] = {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72};
constexpr const wchar_t* kStyleNames[] = {L"Regular", L"Italic", L"Bold", L"Bold Italic"};
constexpr wchar_t kTaglineText[] = L"A bare-minimum plain-text editor: no tabs, no formatting, no AI.";

// The About rows and Close sit lower while an offered update is shown.
struct MovingRow {
  int id;
  unsigned x;
  unsigned y_without_offer;
  unsigned y_with_offer;
};
constexpr MovingRow kMovingRows[] = {{kAboutHeading, 24, 420, 556}, {kProductLine, 24, 450, 586},
                                     {kTagline, 24, 470, 606},      {kLink, 24, 494, 630},
                                     {kClose, 412, 500, 636}};

struct SettingsPage {
  HWND window = nullptr;
  unsigned dpi = 96;
  bool close = false;
  bool filling = false;  // set while the controls get their first values
  HWND focus = nullptr;  // the control that had the keyboard when the window was last left
  UniqueFont preview_font;
};

thread_local SettingsPage* t_page = nullptr;

const std::vector<std::wstring>& system_font_families() {
  static const std::vector<std::wstring> families = [] {
    std::vector<std::wstring> faces;
    const HDC screen = GetDC(nullptr);
    LOGFONTW wanted = {};
    wanted.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExW(
        screen, &wanted,
        [](const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM found) -> int {
          reinterpret_cast<std::vector<std::wstring>*>(found)->emplace_back(font->lfFaceName);
          return 1;
        },
        reinterpret_cast<LPARAM>(&faces), 0);
    ReleaseDC(nullptr, screen);
    return family_list(std::move(faces));
  }();
  return families;
}

std::wstring ascii_lower(std::wstring_view text) {
  std::wstring lower(text);
  for (wchar_t& unit : lower) {
    if (unit >= L'A' && unit <= L'Z') unit = static_cast<wchar_t>(unit - L'A' + L'a');
  }
  return lower;
}

HWND control(int id) { return GetDlgItem(t_page->window, id); }

int selected_index(int id) { return static_cast<int>(SendMessageW(control(id), CB_GETCURSEL, 0, 0)); }

void set_preview_font(SettingsPage& page, const AppSettings& settings) {
  const int height = -static_cast<int>(std::lround(page.dpi * usable_font_points(settings.font_size_points) / 72.0));
  UniqueFont font(CreateFontW(height, 0, 0, 0, settings.font_bold ? FW_BOLD : FW_NORMAL, settings.font_italic, FALSE,
                              FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                              DEFAULT_PITCH, reinterpret_cast<const wchar_t*>(settings.font_family.c_str())));
  SendMessageW(GetDlgItem(page.window, kPreview), WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
  page.preview_font = std::move(font);  // the previous one goes only once the control let go of it
}

LRESULT erase_settings_background(const SettingsPage& page, HDC dc) {
  erase_dialog_background(page.window, dc);
  const bool dark = current_palette().is_dark;
  const UniqueBrush fill(CreateSolidBrush(input_background(dark)));
  const GdiObject<HPEN> outline(CreatePen(PS_SOLID, 1, border_color(dark)));
  const HGDIOBJ old_brush = SelectObject(dc, fill.get());
  const HGDIOBJ old_pen = SelectObject(dc, outline.get());
  const int corner = static_cast<int>(page.dpi / 12);
  RoundRect(dc, scale_to_dpi(40, page.dpi), scale_to_dpi(222, page.dpi), scale_to_dpi(496, page.dpi),
            scale_to_dpi(278, page.dpi), corner, corner);
  SelectObject(dc, old_pen);
  SelectObject(dc, old_brush);
  return 1;
}

LRESULT on_command(SettingsPage& page, int id, int notification) {
  MainWindowState& state = main_window_state();
  switch (id) {
    case IDOK:
    case kClose: page.close = true; break;
    case kLight:
    case kDark:
    case kSystem:
      if (notification == BN_CLICKED && !page.filling) {
        set_theme_from_settings_window(id == kLight ? Theme::Light : id == kDark ? Theme::Dark : Theme::System);
      }
      break;
    case kFamily:
    case kStyle:
    case kSize:
      if (notification == CBN_SELCHANGE && !page.filling) set_font_from_settings_window();
      break;
    case kCheckNow:
      if (notification == BN_CLICKED) check_for_updates_now();
      break;
    case kUpdateNow:
      if (notification == BN_CLICKED) start_update_install();
      break;
    case kCheckAutomatically:
      if (notification == BN_CLICKED && !page.filling) {
        const bool checked = SendMessageW(control(kCheckAutomatically), BM_GETCHECK, 0, 0) == BST_CHECKED;
        store_settings_change(state, [checked](AppSettings& settings) { settings.check_for_updates = checked; });
      }
      break;
    default: break;
  }
  return 0;
}

LRESULT CALLBACK settings_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  SettingsPage* page = t_page;
  if (page == nullptr || page->window != window) return DefWindowProcW(window, message, wparam, lparam);
  switch (message) {
    case WM_CLOSE:
      page->close = true;
      return 0;
    case WM_COMMAND: return on_command(*page, LOWORD(wparam), HIWORD(wparam));
    case WM_ACTIVATE:
      // Left with Alt+Tab and come back to, the keyboard goes back where it was, not to the window.
      if (LOWORD(wparam) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window, focus)) page->focus = focus;
      } else if (page->focus != nullptr && IsWindow(page->focus) && IsWindowEnabled(page->focus) &&
                 IsWindowVisible(page->focus)) {
        SetFocus(page->focus);
        return 0;
      }
      break;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header->idFrom == kLink && (header->code == NM_CLICK || header->code == NM_RETURN)) {
        ShellExecuteW(window, L"open", kMakerPage, nullptr, nullptr, SW_SHOWNORMAL);
      }
      return 0;
    }
    case WM_ERASEBKGND: return erase_settings_background(*page, reinterpret_cast<HDC>(wparam));
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
      return control_colors(window, message, reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam),
                            ControlColorRules{kSecondaryTextIds, kInputLikeIds, {}, false});
    default: break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

HWND add(SettingsPage& page, const wchar_t* class_name, const wchar_t* text, DWORD style, unsigned x, unsigned y,
         unsigned width, unsigned height, int id) {
  return create_control(page.window, page.dpi, class_name, text, style, x, y, width, height,
                        static_cast<std::uint16_t>(id));
}

void add_heading(SettingsPage& page, const wchar_t* text, unsigned y, int id) {
  const HWND heading = add(page, L"STATIC", text, SS_NOPREFIX, 24, y, 472, 24, id);
  SendMessageW(heading, WM_SETFONT, reinterpret_cast<WPARAM>(ui_font(page.dpi, true, 2)), FALSE);
}

void create_controls(SettingsPage& page) {
  constexpr DWORD kList = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
  add_heading(page, L"Appearance", 16, kSectionHeading);
  add(page, L"STATIC", L"Theme", SS_NOPREFIX, 24, 48, 120, 20, 0);
  add(page, L"BUTTON", L"Light", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 40, 70, 100, 22, kLight);
  add(page, L"BUTTON", L"Dark", BS_AUTORADIOBUTTON, 140, 70, 100, 22, kDark);
  add(page, L"BUTTON", L"Use system setting", BS_AUTORADIOBUTTON, 240, 70, 180, 22, kSystem);
  add(page, L"STATIC", L"Font", SS_NOPREFIX, 24, 106, 120, 20, 0);
  add(page, L"STATIC", L"Family", SS_NOPREFIX, 40, 132, 80, 20, 0);
  add(page, L"COMBOBOX", L"", kList, 128, 128, 280, 400, kFamily);
  add(page, L"STATIC", L"Style", SS_NOPREFIX, 40, 164, 80, 20, 0);
  add(page, L"COMBOBOX", L"", kList, 128, 160, 280, 200, kStyle);
  add(page, L"STATIC", L"Size", SS_NOPREFIX, 40, 196, 80, 20, 0);
  add(page, L"COMBOBOX", L"", kList, 128, 192, 280, 300, kSize);
  add(page, L"STATIC", L"The quick brown fox jumps over the lazy dog.", SS_NOPREFIX | SS_CENTERIMAGE | SS_ENDELLIPSIS,
      54, 228, 428, 44, kPreview);

  add_heading(page, L"Updates", 296, kSectionHeading);
  add(page, L"BUTTON", L"Check for updates automatically", BS_AUTOCHECKBOX | WS_TABSTOP, 24, 326, 472, 22,
      kCheckAutomatically);
  const std::wstring note = std::wstring(L"At most once a day, from ") + kMakerDomain + L". Nothing is installed without asking.";
  add(page, L"STATIC", note.c_str(), SS_NOPREFIX, 42, 348, 454, 20, kUpdatesNote);
  add(page, L"BUTTON", L"Check for updates", BS_PUSHBUTTON | WS_TABSTOP, 24, 376, 150, 28, kCheckNow);
  add(page, L"STATIC", L"", SS_NOPREFIX, 186, 382, 310, 20, kUpdateStatus);
  const HWND offer = add(page, L"STATIC", L"", SS_NOPREFIX, 24, 414, 472, 22, kOfferHeading);
  SendMessageW(offer, WM_SETFONT, reinterpret_cast<WPARAM>(ui_font(page.dpi, true, 0)), FALSE);
  add(page, L"STATIC", L"", SS_NOPREFIX, 24, 438, 472, 36, kReleaseNotes);
  add(page, L"BUTTON", L"Update now", BS_PUSHBUTTON | WS_TABSTOP, 24, 478, 120, 28, kUpdateNow);
  add(page, PROGRESS_CLASSW, L"", 0, 156, 484, 200, 16, kProgress);
  add(page, L"STATIC",
      L"Wrenfold closes, installs the update and starts again. You'll be asked to save unsaved changes first.",
      SS_NOPREFIX, 24, 512, 472, 36, kInstallNote);

  // While no offered update is shown, the About rows sit higher.
  add_heading(page, L"About this app", 420, kAboutHeading);
  add(page, L"STATIC", L"Wrenfold 2.0.1", SS_NOPREFIX, 24, 450, 472, 20, kProductLine);
  add(page, L"STATIC", kTaglineText, SS_NOPREFIX, 24, 470, 472, 20, kTagline);
  const std::wstring link = std::wstring(L"<a href=\"") + kMakerPage + L"\">" + kMakerDomain + L"</a>";
  add(page, WC_LINK, link.c_str(), WS_TABSTOP, 24, 494, 300, 20, kLink);
  add(page, L"BUTTON", L"Close", BS_PUSHBUTTON | WS_TABSTOP, 412, 500, 84, 28, kClose);

  SendMessageW(control(kProgress), PBM_SETRANGE32, 0, 1000);
  for (int id = kOfferHeading; id <= kInstallNote; ++id) ShowWindow(control(id), SW_HIDE);
}

void fill_controls(SettingsPage& page, const AppSettings& settings) {
  page.filling = true;
  const int theme_id = settings.theme == Theme::Light ? kLight : settings.theme == Theme::Dark ? kDark : kSystem;
  CheckRadioButton(page.window, kLight, kSystem, theme_id);

  const std::wstring wanted_family =
      ascii_lower(std::wstring(settings.font_family.begin(), settings.font_family.end()));
  const std::vector<std::wstring>& families = system_font_families();
  for (std::size_t i = 0; i < families.size(); ++i) {
    SendMessageW(control(kFamily), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(families[i].c_str()));
    if (ascii_lower(families[i]) == wanted_family) SendMessageW(control(kFamily), CB_SETCURSEL, i, 0);
  }
  for (const wchar_t* style : kStyleNames) {
    SendMessageW(control(kStyle), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(style));
  }
  SendMessageW(control(kStyle), CB_SETCURSEL, font_style_index(settings.font_bold, settings.font_italic), 0);
  for (int size : kFontSizes) {
    SendMessageW(control(kSize), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_wstring(size).c_str()));
  }
  SendMessageW(control(kSize), CB_SETCURSEL, font_size_index(settings.font_size_points), 0);
  SendMessageW(control(kCheckAutomatically), BM_SETCHECK,
               settings.check_for_updates.value_or(false) ? BST_CHECKED : BST_UNCHECKED, 0);
  set_preview_font(page, settings);
  page.filling = false;
}

void show_offer(SettingsPage& page, bool shown) {
  for (int id = kOfferHeading; id <= kInstallNote; ++id) ShowWindow(control(id), shown ? SW_SHOW : SW_HIDE);
  for (const MovingRow& row : kMovingRows) {
    SetWindowPos(control(row.id), nullptr, scale_to_dpi(row.x, page.dpi),
                 scale_to_dpi(shown ? row.y_with_offer : row.y_without_offer, page.dpi), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  RECT bounds = {0, 0, scale_to_dpi(kClientWidth, page.dpi),
                 scale_to_dpi(shown ? kClientHeightWithOffer : kClientHeight, page.dpi)};
  AdjustWindowRectExForDpi(&bounds, kSettingsStyle, FALSE, kSettingsExtendedStyle, page.dpi);
  SetWindowPos(page.window, nullptr, 0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(page.window, nullptr, TRUE);
}

void set_text(int id, const std::u16string& text) {
  SetWindowTextW(control(id), reinterpret_cast<const wchar_t*>(text.c_str()));
}

HWND create_settings_window(SettingsPage& page, HWND owner) {
  const UINT owner_dpi = GetDpiForWindow(owner);
  page.dpi = owner_dpi == 0 ? 96 : owner_dpi;
  RECT bounds = {0, 0, scale_to_dpi(kClientWidth, page.dpi), scale_to_dpi(kClientHeight, page.dpi)};
  AdjustWindowRectExForDpi(&bounds, kSettingsStyle, FALSE, kSettingsExtendedStyle, page.dpi);
  return CreateWindowExW(kSettingsExtendedStyle, kSettingsClass, L"Settings", kSettingsStyle, 0, 0,
                         bounds.right - bounds.left, bounds.bottom - bounds.top, owner, nullptr,
                         GetModuleHandleW(nullptr), nullptr);
}

void register_settings_class() {
  static const bool registered = [] {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const auto icon = [instance](int size) {
      return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    };
    register_window_class(instance, kSettingsClass, settings_procedure, CS_HREDRAW | CS_VREDRAW, icon(32), icon(16));
    return true;
  }();
  (void)registered;
}

}  // namespace

std::span<const int> offered_font_sizes() { return kFontSizes; }

std::size_t font_size_index(double points) {
  const auto found = std::find_if(std::begin(kFontSizes), std::end(kFontSizes),
                                  [points](int size) { return static_cast<double>(size) == points; });
  const auto chosen = found != std::end(kFontSizes) ? found : std::find(std::begin(kFontSizes), std::end(kFontSizes), 11);
  return static_cast<std::size_t>(chosen - std::begin(kFontSizes));
}

std::size_t font_style_index(bool bold, bool italic) { return (bold ? 2u : 0u) + (italic ? 1u : 0u); }

std::vector<std::wstring> family_list(std::vector<std::wstring> faces) {
  std::vector<std::wstring> kept;
  std::vector<std::wstring> kept_lower;
  for (std::wstring& face : faces) {
    if (face.empty() || face.front() == L'@') continue;
    std::wstring lower = ascii_lower(face);
    if (std::find(kept_lower.begin(), kept_lower.end(), lower) != kept_lower.end()) continue;
    kept_lower.push_back(std::move(lower));
    kept.push_back(std::move(face));
  }
  std::vector<std::size_t> order(kept.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return kept_lower[a] < kept_lower[b]; });
  std::vector<std::wstring> sorted;
  sorted.reserve(kept.size());
  for (std::size_t i : order) sorted.push_back(std::move(kept[i]));
  return sorted;
}

void refresh_update_area(const UpdateCheckResult& result) {
  if (t_page == nullptr) return;
  EnableWindow(control(kCheckNow), TRUE);
  switch (result.outcome) {
    case UpdateCheckOutcome::Failed:
      set_text(kUpdateStatus, result.message.empty() ? u"Couldn't check for updates." : result.message);
      show_offer(*t_page, false);
      break;
    case UpdateCheckOutcome::UpToDate:
      set_text(kUpdateStatus, u"Wrenfold is up to date (" + std::u16string(kProgramVersionText) + u").");
      show_offer(*t_page, false);
      break;
    case UpdateCheckOutcome::Available:
      set_text(kUpdateStatus, u"");
      set_text(kOfferHeading, u"Wrenfold " + result.version + u" is available");
      set_text(kReleaseNotes, result.notes);
      show_offer(*t_page, true);
      SetFocus(control(kUpdateNow));
      break;
  }
}

void show_update_check_running() {
  if (t_page == nullptr) return;
  const HWND button = control(kCheckNow);
  // A disabled button can't keep the keyboard.
  if (GetFocus() == button) SetFocus(control(kClose));
  EnableWindow(button, FALSE);
  set_text(kUpdateStatus, u"Checking...");
}

void open_settings(HWND owner, bool for_updates) {
  const INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_LINK_CLASS | ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&classes);
  register_settings_class();
  MainWindowState& state = main_window_state();
  SettingsPage page;
  page.window = create_settings_window(page, owner);
  if (page.window == nullptr) return;
  t_page = &page;
  create_controls(page);
  fill_controls(page, state.settings.read());
  if (state.last_update_check_result) refresh_update_area(*state.last_update_check_result);
  theme_dialog_window(page.window);
  center_over_owner(page.window, owner);
  SetFocus(control(kCheckNow));
  if (for_updates) {
    if (!state.last_update_check_result) {
      check_for_updates_now();
    } else if ((GetWindowLongW(control(kUpdateNow), GWL_STYLE) & WS_VISIBLE) != 0) {
      // Its own style: the window itself is not shown yet.
      SetFocus(control(kUpdateNow));
    }
  }

  EnableWindow(owner, FALSE);
  ShowWindow(page.window, SW_SHOW);
  run_modal_loop(page.window, page.close);
  EnableWindow(owner, TRUE);
  if (IsWindow(page.window)) {
    // Some link controls delete the font they hold when they are destroyed; the shared UI
    // font must not go with it.
    SendMessageW(control(kLink), WM_SETFONT, 0, FALSE);
    DestroyWindow(page.window);
  }
  SetActiveWindow(owner);
  t_page = nullptr;
  SetFocus(state.editor);
}

void show_update_status(const std::u16string& text) {
  if (t_page == nullptr) return;
  set_text(kUpdateStatus, text);
  ShowWindow(control(kProgress), SW_HIDE);
  EnableWindow(control(kUpdateNow), TRUE);
  EnableWindow(control(kCheckNow), TRUE);
}

void disable_update_buttons() {
  if (t_page == nullptr) return;
  // A disabled button can't keep the keyboard.
  const HWND focus = GetFocus();
  if (focus == control(kUpdateNow) || focus == control(kCheckNow)) SetFocus(control(kClose));
  EnableWindow(control(kUpdateNow), FALSE);
  EnableWindow(control(kCheckNow), FALSE);
}

void show_download_started() {
  if (t_page == nullptr) return;
  SendMessageW(control(kProgress), PBM_SETPOS, 0, 0);
  ShowWindow(control(kProgress), SW_SHOW);
  set_text(kUpdateStatus, u"Downloading...");
}

void show_download_progress(unsigned thousandths) {
  if (t_page == nullptr) return;
  SendMessageW(control(kProgress), PBM_SETPOS, thousandths, 0);
}

void theme_settings_window() {
  if (t_page != nullptr) theme_dialog_window(t_page->window);
}

void close_settings_window() {
  if (t_page != nullptr) t_page->close = true;
}

void set_theme_from_settings_window(Theme theme) {
  MainWindowState& state = main_window_state();
  store_settings_change(state, [theme](AppSettings& settings) { settings.theme = theme; });
  apply_theme(state);
}

void set_font_from_settings_window() {
  if (t_page == nullptr) return;
  const std::vector<std::wstring>& families = system_font_families();
  const int family = selected_index(kFamily);
  const int style = selected_index(kStyle);
  const int size = selected_index(kSize);
  MainWindowState& state = main_window_state();
  store_settings_change(state, [&](AppSettings& settings) {
    // A family that is no longer installed shows no selection; the stored one then stays.
    if (family >= 0 && static_cast<std::size_t>(family) < families.size()) {
      settings.font_family = std::u16string(families[family].begin(), families[family].end());
    }
    if (style >= 0) {
      settings.font_bold = style >= 2;
      settings.font_italic = style % 2 == 1;
    }
    if (size >= 0 && static_cast<std::size_t>(size) < std::size(kFontSizes)) settings.font_size_points = kFontSizes[size];
  });
  apply_view_settings(state);
  set_preview_font(*t_page, state.settings.read());
}

}  // namespace wrenfold::ui
