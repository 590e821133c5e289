#include "message_loop.h"

#include <optional>

#include "commands.h"
#include "editor.h"
#include "edits.h"
#include "find_window.h"
#include "main_window_state.h"

namespace wrenfold::ui {
namespace {

MenuBarKeyboard g_menu_bar;
FindWindowKeyboard g_find_window;
bool g_alt_alone = false;

bool is_letter(UINT key, char letter) { return key == static_cast<UINT>(letter); }

KeyModifiers current_modifiers() {
  return KeyModifiers{(GetKeyState(VK_CONTROL) & 0x8000) != 0, (GetKeyState(VK_SHIFT) & 0x8000) != 0,
                      (GetKeyState(VK_MENU) & 0x8000) != 0};
}

bool belongs_to(HWND window, HWND ancestor) {
  return window == ancestor || (ancestor != nullptr && IsChild(ancestor, window));
}

void call(void (*hook)()) {
  if (hook != nullptr) hook();
}

void run_editing_key(MainWindowState& state, KeyAction action) {
  const EditorSelectionRange selection = editor_selection(state.editor);
  const std::shared_ptr<const std::u16string> text = editor_text(state);
  std::optional<TextEdit> edit;
  switch (action) {
    case KeyAction::NewLineWithIndent: edit = new_line_with_indent(*text, selection.start, selection.end); break;
    case KeyAction::Indent: edit = indent_lines(*text, selection.start, selection.end); break;
    case KeyAction::Outdent: edit = outdent_lines(*text, selection.start, selection.end); break;
    default: break;
  }
  if (edit) apply_edit(state.editor, *edit);
}

// The Find and Replace window's own keys; returns true when consumed.
bool handle_find_window_keys(const MSG& message) {
  const UINT key = static_cast<UINT>(message.wParam);
  const KeyModifiers modifiers = current_modifiers();
  if (message.message == WM_KEYDOWN && modifiers.ctrl && !modifiers.alt) {
    if (key == 'H' || key == 'F') {
      if (g_find_window.show_mode != nullptr) g_find_window.show_mode(key == 'H', false);
      return true;
    }
    if (key == VK_TAB) {
      call(g_find_window.switch_mode);
      return true;
    }
    return false;
  }
  if (message.message == WM_KEYDOWN && !modifiers.ctrl && !modifiers.alt && key == VK_F3) {
    if (g_find_window.search_again != nullptr) g_find_window.search_again(modifiers.shift);
    return true;
  }
  if (message.message == WM_SYSKEYDOWN && !modifiers.ctrl && !modifiers.shift) {
    if (key == 'F' || key == 'R') {
      if (g_find_window.show_mode != nullptr) g_find_window.show_mode(key == 'R', true);
      return true;
    }
    if (key == 'O') {
      call(g_find_window.toggle_options);
      return true;
    }
  }
  return false;
}

// Alt and F10 belong to the menu bar; returns true when consumed.
bool handle_menu_keys(MSG& message) {
  const UINT key = static_cast<UINT>(message.wParam);
  const KeyModifiers modifiers = current_modifiers();
  switch (message.message) {
    case WM_SYSKEYDOWN:
      if (key == VK_MENU) {
        if ((message.lParam & (1 << 30)) == 0) {
          g_alt_alone = true;
          call(g_menu_bar.alt_pressed);
        }
        return true;
      }
      g_alt_alone = false;
      if (key == VK_F10 && !modifiers.shift && !modifiers.ctrl) {
        call(g_menu_bar.enter_keyboard_mode);
        return true;
      }
      if (!modifiers.shift && !modifiers.ctrl) {
        const int item = is_letter(key, 'F') ? 0 : is_letter(key, 'E') ? 1 : is_letter(key, 'V') ? 2
                         : is_letter(key, 'T') ? 3 : -1;
        if (item >= 0) {
          if (g_menu_bar.open_item != nullptr) g_menu_bar.open_item(item);
          return true;
        }
      }
      return false;
    case WM_KEYDOWN:
      g_alt_alone = false;
      return false;
    case WM_SYSKEYUP:
      if (key != VK_MENU) return false;
      {
        const bool menu_bar_focused = g_menu_bar.has_focus != nullptr && g_menu_bar.has_focus();
        if (g_alt_alone && !menu_bar_focused) call(g_menu_bar.enter_keyboard_mode);
        else if (g_alt_alone) call(g_menu_bar.leave_keyboard_mode);
        else if (!menu_bar_focused) call(g_menu_bar.hide_underlines);
      }
      g_alt_alone = false;
      return true;
    case WM_SYSCHAR:
      // Alt+letter never beeps or reaches the system menu.
      return true;
    default:
      return false;
  }
}

}  // namespace

Shortcut shortcut_for(UINT key, KeyModifiers modifiers, bool for_editor) {
  const auto command = [](unsigned id) { return Shortcut{KeyAction::Command, id}; };
  const Shortcut swallow{KeyAction::Swallow, 0};
  const Shortcut pass{};
  const bool ctrl_only = modifiers.ctrl && !modifiers.shift && !modifiers.alt;
  const bool ctrl_shift = modifiers.ctrl && modifiers.shift && !modifiers.alt;
  const bool shift_only = modifiers.shift && !modifiers.ctrl && !modifiers.alt;
  const bool alt_only = modifiers.alt && !modifiers.ctrl && !modifiers.shift;
  const bool none = !modifiers.ctrl && !modifiers.shift && !modifiers.alt;

  if (ctrl_shift) {
    if (is_letter(key, 'N')) return command(kCommandNewWindow);
    if (is_letter(key, 'S')) return command(kCommandSaveAs);
    if (for_editor && (is_letter(key, 'A') || is_letter(key, 'L') || key == VK_OEM_PLUS ||
                       key == VK_OEM_COMMA || key == VK_OEM_PERIOD)) {
      return swallow;
    }
    return pass;
  }
  if (ctrl_only) {
    switch (key) {
      case 'F': return command(kCommandFind);
      case 'G': return command(kCommandGoTo);
      case 'H': return command(kCommandReplace);
      case 'N': return command(kCommandNew);
      case 'O': return command(kCommandOpen);
      case 'P': return command(kCommandPrint);
      case 'S': return command(kCommandSave);
      case '0': case VK_NUMPAD0: return command(kCommandRestoreZoom);
      case VK_OEM_PLUS: case VK_ADD: return command(kCommandZoomIn);
      case VK_OEM_MINUS: case VK_SUBTRACT: return command(kCommandZoomOut);
      default: break;
    }
    if (!for_editor) return pass;
    if (key == 'D') return command(kCommandDuplicate);
    switch (key) {
      case '1': case '2': case '5': case 'B': case 'E': case 'I': case 'J': case 'L': case 'R':
      case 'U': case VK_OEM_4: case VK_OEM_6:
        return swallow;
      default:
        return pass;
    }
  }
  if (shift_only) {
    if (key == VK_F3) return command(kCommandFindPrevious);
    if (for_editor && key == VK_TAB) return Shortcut{KeyAction::Outdent, 0};
    if (for_editor && key == VK_RETURN) return Shortcut{KeyAction::NewLineWithIndent, 0};
    return pass;
  }
  if (alt_only && for_editor) {
    if (key == VK_UP) return command(kCommandMoveLineUp);
    if (key == VK_DOWN) return command(kCommandMoveLineDown);
    return pass;
  }
  if (none) {
    if (key == VK_F3) return command(kCommandFindNext);
    if (!for_editor) return pass;
    if (key == VK_TAB) return Shortcut{KeyAction::Indent, 0};
    if (key == VK_RETURN) return Shortcut{KeyAction::NewLineWithIndent, 0};
    if (key == VK_F5) return command(kCommandInsertTimeAndDate);
  }
  return pass;
}

void set_menu_bar_keyboard(const MenuBarKeyboard& keyboard) { g_menu_bar = keyboard; }

void set_find_window_keyboard(const FindWindowKeyboard& keyboard) { g_find_window = keyboard; }

bool preprocess_message(MainWindowState& state, MSG& message) {
  if (const HWND find = find_replace_window(); find != nullptr && belongs_to(message.hwnd, find)) {
    if (handle_find_window_keys(message)) return true;
    return IsDialogMessageW(find, &message) != FALSE;
  }
  if (!belongs_to(message.hwnd, state.main_window)) return false;
  if (message.message < WM_KEYDOWN || message.message > WM_SYSCHAR) return false;
  if (handle_menu_keys(message)) return true;
  if (message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN) return false;
  if (!IsWindowEnabled(state.main_window)) return false;
  const Shortcut shortcut = shortcut_for(static_cast<UINT>(message.wParam), current_modifiers(),
                                         message.hwnd == state.editor);
  switch (shortcut.action) {
    case KeyAction::Pass:
      return false;
    case KeyAction::Swallow:
      return true;
    case KeyAction::Command:
      dispatch_command(state, shortcut.command);
      return true;
    default:
      run_editing_key(state, shortcut.action);
      return true;
  }
}

int run_message_loop(MainWindowState& state) {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (preprocess_message(state, message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

}  // namespace wrenfold::ui
