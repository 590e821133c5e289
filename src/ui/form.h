#pragma once
// What the small windows (Go to, Find and Replace, Settings) are built from: controls placed in
// 96-DPI units with the user-interface font, centring over the owner, per-control theming and
// the shared answer to the WM_CTLCOLOR... messages.

#include <windows.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace wrenfold::ui {

// value × dpi / 96, truncating.
int scale_to_dpi(unsigned value, unsigned dpi);

// A visible child control at 96-DPI coordinates scaled to `dpi`, with the user-interface font.
HWND create_control(HWND parent, unsigned dpi, const wchar_t* class_name, const wchar_t* text,
                    DWORD style, unsigned x, unsigned y, unsigned width, unsigned height,
                    std::uint16_t id);

// The text of a control, or of the child `id` of `window`.
std::u16string window_text(HWND control);
std::u16string control_text(HWND window, int id);

// The system's message font at `dpi`, semibold when `bold`, `extra_points` larger. Cached per
// thread and per key; callers never delete it.
HFONT ui_font(unsigned dpi, bool bold, int extra_points);

// Where a window of `window`'s size goes when centred over `owner`, kept inside `work_area`
// (its left and top edges win when the window is larger than the work area).
POINT centered_position(const RECT& window, const RECT& owner, const RECT& work_area);

// Moves `window` to the centre of `owner`, inside the work area of the owner's monitor.
void center_over_owner(HWND window, HWND owner);

// The theme a standard control gets.
enum class ControlThemeRule {
  InputField,       // edit and combo box: the "CFD" theme
  UnstyledInDark,   // check boxes, radio buttons, group boxes: no visual style in dark mode, so
                    // that the palette's text colour shows
  Explorer,         // everything else, push buttons included
};

ControlThemeRule control_theme_rule(std::wstring_view class_name, LONG_PTR style);

// The dark-mode permission (when the system offers it), the visual style "name" or
// "DarkMode_name", and WM_THEMECHANGED so that the window redraws with it.
void set_window_theme(HWND window, bool dark, const wchar_t* name);

void theme_control(HWND control, bool dark);

// theme_control for every descendant of `parent`.
void apply_control_themes(HWND parent, bool dark);

// A small window as a whole, from the current palette: its controls, title bar and background.
// Done when it is created and on every theme change.
void theme_dialog_window(HWND window);

// WM_ERASEBKGND of the small windows: the client area in the palette's chrome.
LRESULT erase_dialog_background(HWND window, HDC dc);

// The loop of a modal small window, run while its owner is disabled: until the window is gone
// or `done` is set. A quit message is posted again for the main loop and ends this one.
void run_modal_loop(HWND window, const bool& done);

// The colours of the Go-to window's error line.
COLORREF error_text_color(bool dark);

// What a window tells control_colors about its own controls.
struct ControlColorRules {
  std::span<const int> secondary_text_ids;  // labels in the palette's secondary text colour
  std::span<const int> input_like_ids;      // non-edit controls with the input background
  std::span<const int> error_text_ids;      // lines in error_text_color
  bool disabled_text_when_disabled = false; // a disabled control in the palette's disabled text
};

// The answer to WM_CTLCOLOREDIT, WM_CTLCOLORLISTBOX, WM_CTLCOLORBTN and WM_CTLCOLORSTATIC sent
// to `window`: sets the colours on `dc` and returns the background brush (from a two-slot
// per-thread cache). Before the palette exists, DefWindowProcW answers.
LRESULT control_colors(HWND window, UINT message, HDC dc, HWND control,
                       const ControlColorRules& rules);

}  // namespace wrenfold::ui
