#include "form.h"

#include <dwmapi.h>
#include <uxtheme.h>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>

#include "theme.h"
#include "win32_handles.h"

namespace wrenfold::ui {
namespace {

constexpr UINT kSizeOfNonClientMetrics = 504;
constexpr LONG kSemiboldWeight = 600;
constexpr LONG_PTR kNonPushButtonBits = 0x0E;
constexpr int kClassNameLength = 32;

struct UiFontKey {
  unsigned dpi;
  bool bold;
  int extra_points;
  auto operator<=>(const UiFontKey&) const = default;
};

thread_local std::map<UiFontKey, UniqueFont> t_ui_fonts_for_thread;

// Dialogs ask for at most two backgrounds at a time (input fields and chrome), so two slots
// stop a brush being made for every WM_CTLCOLOR... message.
struct BrushSlot {
  COLORREF color = 0;
  UniqueBrush brush;
};

struct ControlBrushesForThread {
  BrushSlot current;
  BrushSlot previous;
};

thread_local ControlBrushesForThread t_control_brushes;

HBRUSH control_brush(COLORREF color) {
  ControlBrushesForThread& cache = t_control_brushes;
  if (cache.current.brush && cache.current.color == color) return cache.current.brush.get();
  if (cache.previous.brush && cache.previous.color == color) return cache.previous.brush.get();
  cache.previous = std::move(cache.current);  // deletes the brush that was in the previous slot
  cache.current.color = color;
  cache.current.brush.reset(CreateSolidBrush(color));
  return cache.current.brush.get();
}

bool contains(std::span<const int> ids, int id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

wchar_t ascii_upper(wchar_t character) {
  return character >= L'a' && character <= L'z' ? static_cast<wchar_t>(character - 32) : character;
}

bool equals_ascii_upper(std::wstring_view text, std::wstring_view upper) {
  return text.size() == upper.size() &&
         std::equal(text.begin(), text.end(), upper.begin(),
                    [](wchar_t a, wchar_t b) { return ascii_upper(a) == b; });
}

BOOL CALLBACK theme_descendant(HWND control, LPARAM dark) {
  theme_control(control, dark != 0);
  return TRUE;
}

}  // namespace

int scale_to_dpi(unsigned value, unsigned dpi) {
  // Widened so that no realistic size can overflow before the division.
  return static_cast<int>(static_cast<std::uint64_t>(value) * dpi / 96);
}

HWND create_control(HWND parent, unsigned dpi, const wchar_t* class_name, const wchar_t* text,
                    DWORD style, unsigned x, unsigned y, unsigned width, unsigned height,
                    std::uint16_t id) {
  const HWND control = CreateWindowExW(
      0, class_name, text, style | WS_CHILD | WS_VISIBLE, scale_to_dpi(x, dpi),
      scale_to_dpi(y, dpi), scale_to_dpi(width, dpi), scale_to_dpi(height, dpi), parent,
      reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(ui_font(dpi, false, 0)), FALSE);
  return control;
}

HFONT ui_font(unsigned dpi, bool bold, int extra_points) {
  const UiFontKey key{dpi, bold, extra_points};
  if (const auto found = t_ui_fonts_for_thread.find(key); found != t_ui_fonts_for_thread.end()) {
    return found->second.get();
  }
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = kSizeOfNonClientMetrics;
  SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0, dpi);
  LOGFONTW font = metrics.lfMessageFont;
  if (bold) font.lfWeight = kSemiboldWeight;
  // The height is negative (a character height), so a negative step makes the font larger.
  if (extra_points != 0) font.lfHeight += extra_points * static_cast<int>(dpi) / -72;
  UniqueFont created(CreateFontIndirectW(&font));
  if (!created) return nullptr;  // not cached, so that a later call tries again
  const HFONT handle = created.get();
  t_ui_fonts_for_thread.emplace(key, std::move(created));
  return handle;
}

POINT centered_position(const RECT& window, const RECT& owner, const RECT& work_area) {
  const LONG width = window.right - window.left;
  const LONG height = window.bottom - window.top;
  LONG x = owner.left + (owner.right - owner.left - width) / 2;
  LONG y = owner.top + (owner.bottom - owner.top - height) / 2;
  // Right and bottom first, so that the left and top edges win for an oversized window.
  x = std::max(std::min(x, work_area.right - width), work_area.left);
  y = std::max(std::min(y, work_area.bottom - height), work_area.top);
  return {x, y};
}

void center_over_owner(HWND window, HWND owner) {
  RECT window_rect = {};
  RECT owner_rect = {};
  GetWindowRect(window, &window_rect);
  GetWindowRect(owner, &owner_rect);
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor);
  const POINT position = centered_position(window_rect, owner_rect, monitor.rcWork);
  SetWindowPos(window, nullptr, position.x, position.y, 0, 0,
               SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOZORDER);
}

ControlThemeRule control_theme_rule(std::wstring_view class_name, LONG_PTR style) {
  if (equals_ascii_upper(class_name, L"EDIT") || equals_ascii_upper(class_name, L"COMBOBOX")) {
    return ControlThemeRule::InputField;
  }
  if (equals_ascii_upper(class_name, L"BUTTON") && (style & kNonPushButtonBits) != 0) {
    return ControlThemeRule::UnstyledInDark;
  }
  return ControlThemeRule::Explorer;
}

void set_window_theme(HWND window, bool dark, const wchar_t* name) {
  const ThemeEntryPoints& entry_points = load_theme_entry_points();
  if (entry_points.allow_dark_mode_for_window != nullptr) {
    entry_points.allow_dark_mode_for_window(window, dark);
  }
  const std::wstring sub_application = dark ? std::wstring(L"DarkMode_") + name : std::wstring(name);
  SetWindowTheme(window, sub_application.c_str(), nullptr);
  SendMessageW(window, WM_THEMECHANGED, 0, 0);
}

void theme_control(HWND control, bool dark) {
  wchar_t class_name[kClassNameLength + 1] = {};
  const int length = GetClassNameW(control, class_name, kClassNameLength + 1);
  const ControlThemeRule rule = control_theme_rule(
      std::wstring_view(class_name, static_cast<std::size_t>(std::max(length, 0))),
      GetWindowLongPtrW(control, GWL_STYLE));
  switch (rule) {
    case ControlThemeRule::InputField: set_window_theme(control, dark, L"CFD"); break;
    case ControlThemeRule::UnstyledInDark:
      if (dark) {
        SetWindowTheme(control, L"", L"");
      } else {
        SetWindowTheme(control, nullptr, nullptr);
      }
      break;
    case ControlThemeRule::Explorer: set_window_theme(control, dark, L"Explorer"); break;
  }
}

void apply_control_themes(HWND parent, bool dark) {
  EnumChildWindows(parent, theme_descendant, dark ? 1 : 0);
}

void theme_dialog_window(HWND window) {
  const ThemeColors& palette = current_palette();
  apply_control_themes(window, palette.is_dark);
  theme_title_bar(window, palette);
  InvalidateRect(window, nullptr, TRUE);
}

LRESULT erase_dialog_background(HWND window, HDC dc) {
  RECT client = {};
  GetClientRect(window, &client);
  const UniqueBrush chrome(CreateSolidBrush(current_palette().chrome));
  FillRect(dc, &client, chrome.get());
  return 1;
}

std::u16string window_text(HWND control) {
  const int length = GetWindowTextLengthW(control);
  std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
  const int copied = GetWindowTextW(control, reinterpret_cast<wchar_t*>(text.data()), length + 1);
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return text;
}

std::u16string control_text(HWND window, int id) { return window_text(GetDlgItem(window, id)); }

void run_modal_loop(HWND window, const bool& done) {
  MSG message;
  while (IsWindow(window) && !done) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    if (got < 0) return;
    if (IsDialogMessageW(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

COLORREF error_text_color(bool dark) { return dark ? RGB(255, 153, 164) : RGB(196, 43, 28); }

LRESULT control_colors(HWND window, UINT message, HDC dc, HWND control,
                       const ControlColorRules& rules) {
  const ThemeColors* palette = find_current_palette();
  if (palette == nullptr) {
    return DefWindowProcW(window, message, reinterpret_cast<WPARAM>(dc),
                          reinterpret_cast<LPARAM>(control));
  }
  const int id = GetDlgCtrlID(control);
  COLORREF text = palette->text;
  if (contains(rules.error_text_ids, id)) {
    text = error_text_color(palette->is_dark);
  } else if (rules.disabled_text_when_disabled && !IsWindowEnabled(control)) {
    text = palette->disabled_text;
  } else if (contains(rules.secondary_text_ids, id)) {
    text = palette->secondary_text;
  }
  const bool input_like = message < WM_CTLCOLORBTN || contains(rules.input_like_ids, id);
  const COLORREF background = input_like ? input_background(palette->is_dark) : palette->chrome;
  SetTextColor(dc, text);
  SetBkColor(dc, background);
  return reinterpret_cast<LRESULT>(control_brush(background));
}

}  // namespace wrenfold::ui
