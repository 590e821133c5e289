#include "menubar.h"

#include <windowsx.h>

#include "layout.h"
#include "message_loop.h"
#include "paint_buffer.h"
#include "window_class.h"

namespace wrenfold::ui {
namespace {

thread_local MenuBarState t_menubar;

bool bar_has_focus() { return t_menubar.window != nullptr && GetFocus() == t_menubar.window; }

void set_hot(int index) {
  t_menubar.hot = true;
  t_menubar.hot_index = index;
}

// Keyboard mode: the first title highlighted, underlines shown, the keys going to the bar.
void enter_keyboard_mode() {
  if (t_menubar.window == nullptr) return;
  set_hot(0);
  t_menubar.show_cues = true;
  SetFocus(t_menubar.window);
  repaint_menubar();
}

void show_cues_for_alt() {
  t_menubar.show_cues = true;
  repaint_menubar();
}

void hide_cues() {
  t_menubar.show_cues = false;
  repaint_menubar();
}

void open_item_from_loop(int index) {
  t_menubar.show_cues = true;
  open_menu(index, true);
}

// The character that TranslateMessage made of a key which opens a menu would reach the menu's
// own loop, where Enter and Space execute and a letter beeps; the bar swallows its characters.
void discard_pending_characters(HWND bar) {
  MSG message;
  while (PeekMessageW(&message, bar, WM_CHAR, WM_CHAR, PM_REMOVE)) {
  }
}

std::optional<int> item_for_letter(WPARAM key) {
  switch (key) {
    case 'F': return 0;
    case 'E': return 1;
    case 'V': return 2;
    case 'T': return kMenuBarSettingsItem;
    default: return std::nullopt;
  }
}

void on_key_down(HWND bar, WPARAM key) {
  const int hot = t_menubar.hot_index;
  switch (key) {
    case VK_RETURN:
    case VK_SPACE:
    case VK_UP:
    case VK_DOWN:
      discard_pending_characters(bar);
      open_menu(hot, true);
      return;
    case VK_ESCAPE:
      leave_menubar();
      return;
    case VK_LEFT:
      set_hot((hot + kMenuBarItemCount - 1) % kMenuBarItemCount);
      repaint_menubar();
      return;
    case VK_RIGHT:
      set_hot((hot + 1) % kMenuBarItemCount);
      repaint_menubar();
      return;
    default:
      if (const std::optional<int> item = item_for_letter(key)) {
        discard_pending_characters(bar);
        open_menu(*item, true);
      }
      return;
  }
}

void on_mouse_move(HWND bar, LPARAM lparam) {
  if (!t_menubar.mouse_tracked) {
    TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, bar, 0};
    t_menubar.mouse_tracked = TrackMouseEvent(&track) != FALSE;
  }
  const std::optional<int> item = menubar_hit_test(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
  const bool hot = item.has_value();
  const int hot_index = item.value_or(t_menubar.hot_index);
  if (hot == t_menubar.hot && hot_index == t_menubar.hot_index) return;
  t_menubar.hot = hot;
  t_menubar.hot_index = hot_index;
  repaint_menubar();
}

void on_mouse_leave() {
  t_menubar.mouse_tracked = false;
  if (bar_has_focus() || t_menubar.open) return;
  t_menubar.hot = false;
  repaint_menubar();
}

void on_kill_focus() {
  if (t_menubar.open) return;
  t_menubar.hot = false;
  t_menubar.show_cues = false;
  repaint_menubar();
}

LRESULT CALLBACK menu_bar_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: {
      BufferedPaint paint(window);
      paint_menubar(paint.dc(), window_dpi(window), paint.width(), paint.height());
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEMOVE:
      on_mouse_move(window, lparam);
      return 0;
    case WM_MOUSELEAVE:
      on_mouse_leave();
      return 0;
    case WM_LBUTTONDOWN:
      if (const std::optional<int> item = menubar_hit_test(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam))) {
        open_menu(*item, false);
      }
      return 0;
    case WM_KEYDOWN:
      on_key_down(window, wparam);
      return 0;
    case WM_CHAR:
      return 0;
    case WM_KILLFOCUS:
      on_kill_focus();
      return 0;
    case WM_GETDLGCODE:
      return DLGC_WANTALLKEYS;
    case WM_NCDESTROY:
      if (t_menubar.window == window) t_menubar = MenuBarState{};
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

MenuBarState& menubar_state() { return t_menubar; }

void repaint_menubar(bool now) {
  if (t_menubar.window == nullptr) return;
  InvalidateRect(t_menubar.window, nullptr, FALSE);
  if (now) UpdateWindow(t_menubar.window);
}

void register_menu_bar_class(HINSTANCE instance) {
  register_window_class(instance, kMenuBarClass, menu_bar_procedure, CS_HREDRAW | CS_VREDRAW);
}

HWND create_menu_bar(HWND parent, HMENU main_menu, unsigned settings_command) {
  t_menubar = MenuBarState{};
  t_menubar.main_menu = main_menu;
  t_menubar.settings_command = settings_command;
  t_menubar.window = CreateWindowExW(0, kMenuBarClass, L"Menu", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent, nullptr,
                                     reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)),
                                     nullptr);
  MenuBarKeyboard keyboard;
  keyboard.alt_pressed = show_cues_for_alt;
  keyboard.enter_keyboard_mode = enter_keyboard_mode;
  keyboard.open_item = open_item_from_loop;
  keyboard.leave_keyboard_mode = leave_menubar;
  keyboard.hide_underlines = hide_cues;
  keyboard.has_focus = bar_has_focus;
  set_menu_bar_keyboard(keyboard);
  return t_menubar.window;
}

void leave_menubar() {
  t_menubar.hot = false;
  t_menubar.show_cues = false;
  if (bar_has_focus()) SetFocus(GetParent(t_menubar.window));
  repaint_menubar();
}

}  // namespace wrenfold::ui
