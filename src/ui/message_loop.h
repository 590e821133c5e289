#pragma once
// The thread's message loop, where every keyboard shortcut is recognised before the
// message is translated.

#include <windows.h>

namespace wrenfold::ui {

struct MainWindowState;

enum class KeyAction {
  Pass,     // translate and dispatch as usual
  Swallow,  // consumed without effect
  Command,
  NewLineWithIndent,
  Indent,
  Outdent,
};

struct Shortcut {
  KeyAction action = KeyAction::Pass;
  unsigned command = 0;
};

struct KeyModifiers {
  bool ctrl = false;
  bool shift = false;
  bool alt = false;
};

// The shortcut table. `for_editor` is whether the key message is for the editor itself.
Shortcut shortcut_for(UINT virtual_key, KeyModifiers modifiers, bool for_editor);

// What the loop does with the menu bar for Alt and F10; the menu bar installs these.
struct MenuBarKeyboard {
  void (*alt_pressed)() = nullptr;                  // show underlines, remember Alt alone
  void (*enter_keyboard_mode)() = nullptr;          // F10, or Alt released alone
  void (*open_item)(int index) = nullptr;           // Alt+F, Alt+E, Alt+V, Alt+T
  void (*leave_keyboard_mode)() = nullptr;          // Alt released alone while in keyboard mode
  void (*hide_underlines)() = nullptr;
  bool (*has_focus)() = nullptr;
};
void set_menu_bar_keyboard(const MenuBarKeyboard& keyboard);

// What the loop asks of the Find and Replace window for keys pressed inside it; the window
// installs these when it is built.
struct FindWindowKeyboard {
  // Shows Find (false) or Replace (true) mode and focuses "Find what", selecting its text
  // when `select_text`.
  void (*show_mode)(bool replace, bool select_text) = nullptr;
  void (*switch_mode)() = nullptr;           // Ctrl+Tab
  void (*search_again)(bool up) = nullptr;   // F3, Shift+F3
  void (*toggle_options)() = nullptr;        // Alt+O
};
void set_find_window_keyboard(const FindWindowKeyboard& keyboard);

// Handles one message the way the loop does; returns true when it was consumed.
bool preprocess_message(MainWindowState& state, MSG& message);

// Runs until WM_QUIT; returns the process exit code.
int run_message_loop(MainWindowState& state);

}  // namespace wrenfold::ui
