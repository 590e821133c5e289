#include "find_window.h"

#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <optional>
#include <string>

#include "editor.h"
#include "extended_escapes.h"
#include "find_layout.h"
#include "find_options.h"
#include "find_paint.h"
#include "form.h"
#include "layout.h"
#include "main_window_state.h"
#include "message_loop.h"
#include "paint_buffer.h"
#include "search_editor.h"
#include "statusbar.h"
#include "theme.h"
#include "win32_handles.h"
#include "window_class.h"

namespace wrenfold::ui {
namespace {

constexpr DWORD kFindWindowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kFindWindowExtendedStyle = WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME;
constexpr LRESULT kFindNextIsDefault = MAKELRESULT(kFindNextButton, DC_HASDEFID);
constexpr UINT_PTR kFindWhatSubclassId = 1;
constexpr unsigned kTooltipWidth = 420;
constexpr int kTooltipShowMs = 30'000;

// The window of this thread; reset when it is destroyed, so a new main window builds a new one.
struct FindWindowState {
  HWND window = nullptr;
  bool replace_mode = false;
  bool options_expanded = false;
  FindTabRects tabs = {};
  RECT options_box = {};
  unsigned dpi = 96;  // the window's own, kept up to date by WM_DPICHANGED
  HWND tooltip = nullptr;
  HWND focus_on_return = nullptr;  // the control that had the focus when the window was last deactivated
};

thread_local std::optional<FindWindowState> t_find_window;

const wchar_t* wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

bool key_down(int virtual_key) { return (GetKeyState(virtual_key) & 0x8000) != 0; }

void set_status(HWND window, const std::u16string& text) { SetDlgItemTextW(window, kFindStatusLine, wide(text)); }

void repaint_options_header(HWND window) { InvalidateRect(GetDlgItem(window, kOptionsHeader), nullptr, FALSE); }

void focus_find_what(HWND window, bool select_text) {
  const HWND box = GetDlgItem(window, kFindWhatBox);
  SetFocus(box);
  if (select_text) SendMessageW(box, EM_SETSEL, 0, -1);
}

// The editor's selection when it can be a search text: not empty and on one line.
std::optional<std::u16string> usable_selection(MainWindowState& state) {
  const EditorSelectionRange selection = editor_selection(state.editor);
  if (selection.start == selection.end) return std::nullopt;
  std::u16string text(selection.end - selection.start + 1, u'\0');
  TEXTRANGEW range = {};
  range.chrg = {static_cast<LONG>(selection.start), static_cast<LONG>(selection.end)};
  range.lpstrText = reinterpret_cast<wchar_t*>(text.data());
  const LRESULT copied = SendMessageW(state.editor, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
  const LRESULT length = static_cast<LRESULT>(selection.end - selection.start);
  text.resize(static_cast<std::size_t>(std::clamp<LRESULT>(copied, 0, length)));
  if (text.empty() || text.find(u'\r') != std::u16string::npos) return std::nullopt;
  return text;
}

// Font and margins of every control, and the tip's width, for `dpi`.
void set_control_metrics(const FindWindowState& find, unsigned dpi) {
  for (const FindControlDefinition& control : find_control_definitions()) {
    SendDlgItemMessageW(find.window, control.id, WM_SETFONT, reinterpret_cast<WPARAM>(ui_font(dpi, false, 0)), FALSE);
  }
  const LPARAM margins = MAKELPARAM(dpi / 24, dpi / 24);
  SendDlgItemMessageW(find.window, kFindWhatBox, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, margins);
  SendDlgItemMessageW(find.window, kReplaceWithBox, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, margins);
  if (find.tooltip != nullptr) SendMessageW(find.tooltip, TTM_SETMAXTIPWIDTH, 0, scale_to_dpi(kTooltipWidth, dpi));
}

// Near the top of the editor, just below its first line of text, inside the work area.
POINT first_position(MainWindowState& state, HWND window, unsigned dpi) {
  POINT origin = {0, 0};
  ClientToScreen(state.editor, &origin);
  RECT editor_client = {};
  GetClientRect(state.editor, &editor_client);
  int line_height = 0;
  {
    // The gutter's font is the editor's face at the editor's zoomed size.
    WindowDc dc(state.editor);
    const SelectedObject font(dc.get(), state.gutter_font ? static_cast<HGDIOBJ>(state.gutter_font.get())
                                                          : static_cast<HGDIOBJ>(ui_font(dpi, false, 0)));
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc.get(), &metrics);
    line_height = metrics.tmHeight + metrics.tmExternalLeading;
  }
  RECT frame = {};
  GetWindowRect(window, &frame);
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(state.main_window, MONITOR_DEFAULTTONEAREST), &monitor);
  return find_window_position(FindPlacementInput{origin, editor_client.right, line_height,
                                                 SIZE{frame.right - frame.left, frame.bottom - frame.top},
                                                 monitor.rcWork, dpi});
}

// Moves and shows the controls for the tab and the options, sizes the window to fit, and
// places it next to the editor when `place`.
void lay_out(MainWindowState& state, FindWindowState& find, bool place) {
  const HWND window = find.window;
  const unsigned dpi = find.dpi;
  for (const FindControlDefinition& control : find_control_definitions()) {
    const HWND handle = GetDlgItem(window, control.id);
    const RECT rect = find_control_rect(control, find.replace_mode, find.options_expanded, dpi);
    SetWindowPos(handle, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(handle, find_control_shown(control, find.replace_mode, find.options_expanded) ? SW_SHOWNA : SW_HIDE);
  }
  set_status(window, u"");
  find.tabs = find_tab_rects(tab_label_width(window, kFindTabLabel, dpi),
                             tab_label_width(window, kReplaceTabLabel, dpi), dpi);
  find.options_box = options_box_rect(find.replace_mode, find.options_expanded, dpi);

  const SIZE client = find_client_size(find.replace_mode, find.options_expanded, dpi);
  RECT frame = {0, 0, client.cx, client.cy};
  AdjustWindowRectExForDpi(&frame, kFindWindowStyle, FALSE, kFindWindowExtendedStyle, dpi);
  SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (place) {
    const POINT position = first_position(state, window, dpi);
    SetWindowPos(window, nullptr, position.x, position.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  InvalidateRect(window, nullptr, FALSE);
}

void show_outcome(HWND window, const SearchOutcome& outcome) { set_status(window, outcome.value_or(u"")); }

void run_find_next(MainWindowState& state, HWND window, bool up) {
  RichEditSearchEditor editor(state);
  show_outcome(window, find_next(editor, state.search, read_search_request(window), up));
}

void run_replace(MainWindowState& state, HWND window) {
  RichEditSearchEditor editor(state);
  show_outcome(window, replace_one(editor, state.search, read_search_request(window),
                                   control_text(window, kReplaceWithBox), read_find_options(window).up));
}

void run_replace_all(MainWindowState& state, HWND window) {
  RichEditSearchEditor editor(state);
  show_outcome(window, replace_all(editor, state.search, read_search_request(window),
                                   control_text(window, kReplaceWithBox)));
}

void hide(MainWindowState& state, HWND window) {
  ShowWindow(window, SW_HIDE);
  SetActiveWindow(state.main_window);
  SetFocus(state.editor);
}

void toggle_options(MainWindowState& state, FindWindowState& find) {
  find.options_expanded = !find.options_expanded;
  lay_out(state, find, false);
  SetFocus(GetDlgItem(find.window, kOptionsHeader));
}

void switch_tab(MainWindowState& state, FindWindowState& find, bool replace_mode, bool select_text) {
  find.replace_mode = replace_mode;
  lay_out(state, find, false);
  focus_find_what(find.window, select_text);
}

void on_command(MainWindowState& state, FindWindowState& find, int id, int notification) {
  const HWND window = find.window;
  switch (id) {
    case kFindNextButton:
      if (notification == BN_CLICKED) run_find_next(state, window, read_find_options(window).up != key_down(VK_SHIFT));
      break;
    case kReplaceButton:
      if (notification == BN_CLICKED) run_replace(state, window);
      break;
    case kReplaceAllButton:
      if (notification == BN_CLICKED) run_replace_all(state, window);
      break;
    case kMatchCaseBox: case kWrapAroundBox: case kUpRadio: case kDownRadio: case kDotMatchesNewlineBox:
      set_status(window, u"");
      repaint_options_header(window);
      break;
    case kNormalRadio: case kExtendedRadio: case kRegularExpressionRadio:
      EnableWindow(GetDlgItem(window, kDotMatchesNewlineBox),
                   IsDlgButtonChecked(window, kRegularExpressionRadio) == BST_CHECKED);
      set_status(window, u"");
      repaint_options_header(window);
      break;
    case kOptionsHeader:
      if (notification == BN_CLICKED) toggle_options(state, find);
      break;
    case kFindWhatBox:
      if (notification == EN_CHANGE) {
        set_status(window, u"");
        follow_box_edit(state.search.find_history, control_text(window, kFindWhatBox));
      }
      break;
    case kReplaceWithBox:
      if (notification == EN_CHANGE) set_status(window, u"");
      break;
    case IDCANCEL:
      hide(state, window);
      break;
    default:
      break;
  }
}

void on_click(MainWindowState& state, FindWindowState& find, POINT point) {
  if (PtInRect(&find.tabs.find, point)) {
    switch_tab(state, find, false, false);
  } else if (PtInRect(&find.tabs.replace, point)) {
    switch_tab(state, find, true, false);
  }
}

void paint(FindWindowState& find) {
  BufferedPaint buffer(find.window);
  FindPaintInput input;
  input.replace_mode = find.replace_mode;
  input.options_expanded = find.options_expanded;
  input.hide_accelerators = (SendMessageW(find.window, WM_QUERYUISTATE, 0, 0) & UISF_HIDEACCEL) != 0;
  input.tabs = find.tabs;
  input.options_box = find.options_box;
  input.dpi = find.dpi;
  paint_find_window(buffer.dc(), RECT{0, 0, buffer.width(), buffer.height()}, input, current_palette());
}

LRESULT control_colors_of(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  static constexpr int kSecondaryIds[] = {kFindStatusLine, kDirectionLabel, kSearchModeLabel};
  const ControlColorRules rules{kSecondaryIds, {}, {}, true};
  return control_colors(window, message, reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam), rules);
}

// Activation alone would leave the focus on the window itself, where typing goes nowhere: back to
// the control that had it, or to "Find what:" when that one is now hidden or disabled.
void restore_focus(const FindWindowState& find) {
  const HWND control = find.focus_on_return;
  if (control != nullptr && IsChild(find.window, control) && IsWindowVisible(control) && IsWindowEnabled(control)) {
    SetFocus(control);
  } else {
    focus_find_what(find.window, false);
  }
}

LRESULT CALLBACK find_window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (!t_find_window || t_find_window->window != window) return DefWindowProcW(window, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    // Whatever happened to the main window's state, the next opening builds a new window.
    t_find_window.reset();
    set_find_window_keyboard(FindWindowKeyboard{});
    return DefWindowProcW(window, message, wparam, lparam);
  }
  MainWindowState* state = find_main_window_state();
  if (state == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  FindWindowState& find = *t_find_window;
  switch (message) {
    case WM_COMMAND:
      on_command(*state, find, LOWORD(wparam), HIWORD(wparam));
      return 0;
    case WM_LBUTTONDOWN:
      on_click(*state, find, POINT{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))});
      return 0;
    case WM_CLOSE:
      hide(*state, window);
      return 0;
    case DM_GETDEFID:
      return kFindNextIsDefault;
    case WM_PAINT:
      paint(find);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      if (item->CtlID != kOptionsHeader) break;
      draw_options_header(*item, options_summary(read_find_options(window)), find.options_expanded,
                          find.dpi, current_palette());
      return TRUE;
    }
    case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX: case WM_CTLCOLORBTN: case WM_CTLCOLORSTATIC:
      return control_colors_of(window, message, wparam, lparam);
    case WM_DPICHANGED: {
      // Moved to a monitor of another scale: new fonts and sizes, at the place the system suggests.
      find.dpi = std::max<unsigned>(LOWORD(wparam), 1);
      set_control_metrics(find, find.dpi);
      const RECT* suggested = reinterpret_cast<const RECT*>(lparam);
      SetWindowPos(window, nullptr, suggested->left, suggested->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      lay_out(*state, find, false);
      return 0;
    }
    case WM_ACTIVATE:
      if (LOWORD(wparam) == WA_INACTIVE) {
        // The focus has not moved yet.
        const HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window, focus)) find.focus_on_return = focus;
        break;
      }
      if (HIWORD(wparam) == 0) {
        restore_focus(find);
        return 0;
      }
      break;
    case WM_UPDATEUISTATE: {
      const LRESULT result = DefWindowProcW(window, message, wparam, lparam);
      InvalidateRect(window, nullptr, FALSE);
      return result;
    }
    default:
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

// Up and Down in "Find what:" step through the find history.
LRESULT CALLBACK find_what_subclass(HWND box, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR) {
  switch (message) {
    case WM_GETDLGCODE: {
      const LRESULT code = DefSubclassProc(box, message, wparam, lparam);
      return wparam == VK_UP || wparam == VK_DOWN ? code | DLGC_WANTARROWS : code;
    }
    case WM_KEYDOWN: {
      MainWindowState* state = find_main_window_state();
      const bool plain = !key_down(VK_SHIFT) && !key_down(VK_CONTROL) && !key_down(VK_MENU);
      if (state == nullptr || !plain || (wparam != VK_UP && wparam != VK_DOWN)) break;
      const std::u16string text = control_text(GetParent(box), kFindWhatBox);
      FindHistory& history = state->search.find_history;
      const std::optional<std::u16string> chosen =
          wparam == VK_UP ? browse_older(history, text) : browse_newer(history, text);
      if (chosen) {
        SetWindowTextW(box, wide(*chosen));
        const LPARAM end = static_cast<LPARAM>(chosen->size());
        SendMessageW(box, EM_SETSEL, static_cast<WPARAM>(end), end);
      }
      return 0;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(box, find_what_subclass, kFindWhatSubclassId);
      break;
    default:
      break;
  }
  return DefSubclassProc(box, message, wparam, lparam);
}

HWND add_extended_tooltip(HWND window) {
  const HWND tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                       CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window,
                                       nullptr, GetModuleHandleW(nullptr), nullptr);
  if (tooltip == nullptr) return nullptr;
  // The tooltip keeps its own copy of the text.
  std::u16string help(kExtendedHelpText);
  TTTOOLINFOW tool = {};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = window;
  tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(window, kExtendedRadio));
  tool.lpszText = reinterpret_cast<wchar_t*>(help.data());
  SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageW(tooltip, TTM_SETDELAYTIME, TTDT_AUTOPOP, kTooltipShowMs);
  return tooltip;
}

FindWindowState* current_find_window() { return t_find_window ? &*t_find_window : nullptr; }

// The loop's keys inside the window.
void show_mode_from_keyboard(bool replace_mode, bool select_text) {
  MainWindowState* state = find_main_window_state();
  if (FindWindowState* find = current_find_window(); find != nullptr && state != nullptr) {
    switch_tab(*state, *find, replace_mode, select_text);
  }
}

void switch_mode_from_keyboard() {
  MainWindowState* state = find_main_window_state();
  if (FindWindowState* find = current_find_window(); find != nullptr && state != nullptr) {
    switch_tab(*state, *find, !find->replace_mode, false);
  }
}

void search_again_from_keyboard(bool up) {
  MainWindowState* state = find_main_window_state();
  if (FindWindowState* find = current_find_window(); find != nullptr && state != nullptr) {
    run_find_next(*state, find->window, up);
  }
}

void toggle_options_from_keyboard() {
  MainWindowState* state = find_main_window_state();
  if (FindWindowState* find = current_find_window(); find != nullptr && state != nullptr) {
    toggle_options(*state, *find);
  }
}

void register_find_window_class(HINSTANCE instance) {
  WNDCLASSEXW existing = {};
  existing.cbSize = sizeof existing;
  if (GetClassInfoExW(instance, kFindWindowClass, &existing)) return;
  register_window_class(instance, kFindWindowClass, find_window_procedure);
}

FindWindowState* create_find_window(MainWindowState& state) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  register_find_window_class(instance);
  const unsigned dpi = window_dpi(state.main_window);
  t_find_window.emplace();
  const HWND window = CreateWindowExW(kFindWindowExtendedStyle, kFindWindowClass, L"Find and Replace",
                                      kFindWindowStyle, 0, 0, 0, 0, state.main_window, nullptr, instance, nullptr);
  if (window == nullptr) {
    t_find_window.reset();
    return nullptr;
  }
  FindWindowState& find = *t_find_window;
  find.window = window;
  for (const FindControlDefinition& control : find_control_definitions()) {
    create_control(window, dpi, control.class_name, control.text, control.style, static_cast<unsigned>(control.x),
                   static_cast<unsigned>(control.y_find), static_cast<unsigned>(control.width),
                   static_cast<unsigned>(control.height), control.id);
  }
  find.dpi = dpi;
  find.tooltip = add_extended_tooltip(window);
  set_control_metrics(find, dpi);
  show_find_options(window, FindOptions{});
  SetWindowSubclass(GetDlgItem(window, kFindWhatBox), find_what_subclass, kFindWhatSubclassId, 0);
  theme_dialog_window(window);

  FindWindowKeyboard keyboard;
  keyboard.show_mode = show_mode_from_keyboard;
  keyboard.switch_mode = switch_mode_from_keyboard;
  keyboard.search_again = search_again_from_keyboard;
  keyboard.toggle_options = toggle_options_from_keyboard;
  set_find_window_keyboard(keyboard);
  return &find;
}

}  // namespace

HWND find_replace_window() { return t_find_window ? t_find_window->window : nullptr; }

void open_find_window(MainWindowState& state, bool replace_mode) {
  const std::optional<std::u16string> selected = usable_selection(state);
  FindWindowState* find = current_find_window();
  if (find == nullptr) find = create_find_window(state);
  if (find == nullptr) return;
  const HWND window = find->window;
  const bool was_hidden = !IsWindowVisible(window);

  if (state.search.last_search && GetWindowTextLengthW(GetDlgItem(window, kFindWhatBox)) == 0) {
    const LastSearch& last = *state.search.last_search;
    SetDlgItemTextW(window, kFindWhatBox, wide(last.find_text));
    show_find_options(window, FindOptions{last.mode, last.match_case, last.wrap_around, last.dot_matches_newline,
                                          read_find_options(window).up});
  }
  if (selected) SetDlgItemTextW(window, kFindWhatBox, wide(*selected));

  SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
  find->replace_mode = replace_mode;
  lay_out(state, *find, was_hidden);
  ShowWindow(window, SW_SHOW);
  SetActiveWindow(window);
  focus_find_what(window, true);
}

void find_again(MainWindowState& state, bool up) {
  if (!state.search.last_search) {
    open_find_window(state, false);
    return;
  }
  // A copy: the search stores its request over the remembered one.
  const LastSearch request = *state.search.last_search;
  RichEditSearchEditor editor(state);
  const SearchOutcome outcome = find_next(editor, state.search, request, up);
  const FindWindowState* find = current_find_window();
  if (find != nullptr) show_outcome(find->window, outcome);
  // With the window out of sight the status bar is the only place the user would see it.
  if (outcome && (find == nullptr || !IsWindowVisible(find->window))) show_transient_message(state, *outcome);
}

}  // namespace wrenfold::ui
