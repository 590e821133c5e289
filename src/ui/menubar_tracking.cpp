// Opening the menu bar's submenus, and moving between them while one is open: the system's
// menu loop owns the keyboard and the mouse then, so a message-filter hook watches for the
// arrows and for the pointer over the other titles.

#include "menubar.h"
#include "popup.h"

namespace wrenfold::ui {
namespace {

// Installs the thread's filter hook for the life of one tracking loop.
class MenuFilterHook {
 public:
  explicit MenuFilterHook(HOOKPROC procedure)
      : hook_(SetWindowsHookExW(WH_MSGFILTER, procedure, nullptr, GetCurrentThreadId())) {
    menubar_state().filter_hook = hook_;
  }
  MenuFilterHook(const MenuFilterHook&) = delete;
  MenuFilterHook& operator=(const MenuFilterHook&) = delete;
  ~MenuFilterHook() {
    menubar_state().filter_hook = nullptr;
    if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
  }

 private:
  HHOOK hook_;
};

void switch_to(int index, NextMenuAction action) {
  MenuBarState& state = menubar_state();
  state.next_index = index;
  state.next_action = action;
  EndMenu();
}

// True when the message was used up.
bool filter_mouse(const MSG& message) {
  MenuBarState& state = menubar_state();
  // The message's own point: its lParam is relative to whichever window has the capture, and
  // not every system translates it while a menu is tracked.
  POINT point = message.pt;
  ScreenToClient(state.window, &point);
  RECT client;
  GetClientRect(state.window, &client);
  if (!PtInRect(&client, point)) return false;
  const std::optional<int> item = menubar_hit_test(point.x, point.y);
  if (!item) return false;
  if (*item == state.open_index) {
    if (message.message != WM_LBUTTONDOWN) return false;
    state.next_action = NextMenuAction::Stop;
    EndMenu();
    return true;
  }
  if (*item == kMenuBarSettingsItem) return false;
  switch_to(*item, NextMenuAction::ReopenByMouse);
  return true;
}

// True when the message was used up.
bool filter_key(const MSG& message) {
  const MenuBarState& state = menubar_state();
  const bool on_top_level = state.current_menu == GetSubMenu(state.main_menu, state.open_index);
  if (!on_top_level) return false;
  if (message.wParam == VK_LEFT) {
    switch_to((state.open_index + 2) % kMenuBarTitleCount, NextMenuAction::ReopenByKeyboard);
    return true;
  }
  if (message.wParam == VK_RIGHT && !state.current_has_submenu) {
    switch_to((state.open_index + 1) % kMenuBarTitleCount, NextMenuAction::ReopenByKeyboard);
    return true;
  }
  return false;
}

LRESULT CALLBACK menu_filter(int code, WPARAM wparam, LPARAM lparam) {
  const MenuBarState& state = menubar_state();
  if (code == MSGF_MENU && state.open && state.window != nullptr) {
    const MSG& message = *reinterpret_cast<const MSG*>(lparam);
    switch (message.message) {
      case WM_MOUSEMOVE:
      case WM_LBUTTONDOWN:
        if (filter_mouse(message)) return TRUE;
        break;
      case WM_KEYDOWN:
        if (filter_key(message)) return TRUE;
        break;
      default:
        break;
    }
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);
}

void run_settings_button() {
  MenuBarState& state = menubar_state();
  state.hot = false;
  state.show_cues = false;
  repaint_menubar();
  const HWND parent = GetParent(state.window);
  if (GetFocus() == state.window) SetFocus(parent);
  SendMessageW(parent, WM_COMMAND, MAKEWPARAM(state.settings_command, 0), reinterpret_cast<LPARAM>(state.window));
}

}  // namespace

void open_menu(int index, bool by_keyboard) {
  MenuBarState& state = menubar_state();
  if (state.window == nullptr || state.open) return;
  if (index == kMenuBarSettingsItem) {
    run_settings_button();
    return;
  }
  const HWND owner = GetParent(state.window);
  UINT chosen = 0;
  {
    const MenuFilterHook hook(menu_filter);
    for (;;) {
      state.open = true;
      state.open_index = index;
      state.hot_index = index;
      state.next_action = NextMenuAction::Stop;
      // Until the menu reports a selection, the active popup is the one opening.
      state.current_menu = GetSubMenu(state.main_menu, index);
      state.current_has_submenu = false;
      repaint_menubar(true);

      RECT item = menubar_layout(state.window)[index];
      MapWindowPoints(state.window, nullptr, reinterpret_cast<POINT*>(&item), 2);
      set_popup_keyboard_cues(by_keyboard);
      // The menu's own loop reads it first, so the menu opens with its first item selected.
      if (by_keyboard) PostMessageW(owner, WM_KEYDOWN, VK_DOWN, 0);
      TPMPARAMS exclude = {sizeof exclude, item};
      chosen = static_cast<UINT>(TrackPopupMenuEx(GetSubMenu(state.main_menu, index), TPM_VERTICAL | TPM_RETURNCMD,
                                                  item.left, item.bottom, owner, &exclude));
      if (state.next_action == NextMenuAction::Stop) break;
      index = state.next_index;
      by_keyboard = state.next_action == NextMenuAction::ReopenByKeyboard;
    }
  }
  state.open = false;
  if (chosen != 0) {
    // A chosen command ends keyboard mode too: what the user types next belongs to the editor.
    leave_menubar();
    PostMessageW(owner, WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
    return;
  }
  if (GetFocus() != state.window) {
    state.hot = false;
    state.show_cues = false;
  }
  repaint_menubar();
}

void remember_menu_selection(HMENU menu, UINT flags) {
  if (menu == nullptr) return;
  MenuBarState& state = menubar_state();
  state.current_menu = menu;
  state.current_has_submenu = flags != 0xFFFF && (flags & MF_POPUP) != 0;
}

}  // namespace wrenfold::ui
