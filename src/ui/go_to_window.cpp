#include "go_to_window.h"

#include <richedit.h>

#include <memory>
#include <optional>
#include <string>

#include "editor.h"
#include "form.h"
#include "line_navigation.h"
#include "main_window_state.h"
#include "scoped_flag.h"
#include "theme.h"
#include "window_class.h"

namespace wrenfold::ui {
namespace {

constexpr wchar_t kGoToClass[] = L"WrenfoldGoTo";
constexpr DWORD kGoToStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr int kEntryId = 10;
constexpr int kErrorLineId = 11;
constexpr int kErrorLineIds[] = {kErrorLineId};
constexpr wchar_t kBeyondTheEnd[] = L"The line number is beyond the total number of lines.";

struct GoToState {
  std::shared_ptr<const std::u16string> text;  // as it was when the window opened
  HWND entry = nullptr;
  HWND error_line = nullptr;
  std::optional<std::uint64_t> accepted_line;
  bool done = false;
};

thread_local GoToState* t_go_to = nullptr;

void accept_entry(GoToState& go_to) {
  const std::optional<std::uint64_t> line = parse_line_number(window_text(go_to.entry));
  if (line && line_start(*go_to.text, *line)) {
    go_to.accepted_line = line;
    go_to.done = true;
    return;
  }
  SetWindowTextW(go_to.error_line, kBeyondTheEnd);
  SetFocus(go_to.entry);
  SendMessageW(go_to.entry, EM_SETSEL, 0, -1);
}

LRESULT CALLBACK go_to_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  GoToState* go_to = t_go_to;
  if (go_to == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  switch (message) {
    case WM_CLOSE:
      go_to->done = true;
      return 0;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK) accept_entry(*go_to);
      if (LOWORD(wparam) == IDCANCEL) go_to->done = true;
      return 0;
    case WM_ERASEBKGND:
      if (find_current_palette() == nullptr) break;
      return erase_dialog_background(window, reinterpret_cast<HDC>(wparam));
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
      return control_colors(window, message, reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam),
                            ControlColorRules{{}, {}, kErrorLineIds, false});
    default: break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

HWND create_go_to_window(HWND owner, std::uint64_t current_line, GoToState& go_to) {
  const UINT owner_dpi = GetDpiForWindow(owner);
  const unsigned dpi = owner_dpi == 0 ? 96 : owner_dpi;
  RECT bounds = {0, 0, scale_to_dpi(300, dpi), scale_to_dpi(150, dpi)};
  AdjustWindowRectExForDpi(&bounds, kGoToStyle, FALSE, WS_EX_DLGMODALFRAME, dpi);
  const HWND window = CreateWindowExW(WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME, kGoToClass, L"Go to line",
                                      kGoToStyle, 0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top,
                                      owner, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) return nullptr;
  create_control(window, dpi, L"STATIC", L"Line number:", SS_NOPREFIX, 16, 14, 268, 20, 0);
  const std::wstring line_text = std::to_wstring(current_line);
  go_to.entry = create_control(window, dpi, L"EDIT", line_text.c_str(), WS_BORDER | ES_NUMBER | ES_AUTOHSCROLL,
                               16, 36, 268, 24, kEntryId);
  go_to.error_line = create_control(window, dpi, L"STATIC", L"", SS_NOPREFIX, 16, 66, 268, 36, kErrorLineId);
  create_control(window, dpi, L"BUTTON", L"Go to", WS_TABSTOP | BS_DEFPUSHBUTTON, 112, 110, 84, 26, IDOK);
  create_control(window, dpi, L"BUTTON", L"Cancel", WS_TABSTOP, 200, 110, 84, 26, IDCANCEL);
  const int margin = static_cast<int>(dpi / 24);
  SendMessageW(go_to.entry, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(margin, margin));
  SendMessageW(go_to.entry, EM_SETSEL, 0, -1);
  if (find_current_palette() != nullptr) theme_dialog_window(window);
  center_over_owner(window, owner);
  return window;
}


}  // namespace

void register_go_to_class(HINSTANCE instance) { register_window_class(instance, kGoToClass, go_to_procedure); }

void show_go_to_line(MainWindowState& state) {
  GoToState go_to;
  go_to.text = editor_text(state);
  const EditorSelectionRange selection = editor_selection(state.editor);
  const std::uint64_t current_line = line_of_position(*go_to.text, selection.start);
  {
    // The external-change check waits while the window is open, as it does for a message.
    const ScopedFlag mark(state.message_dialog_open);
    const HWND window = create_go_to_window(state.main_window, current_line, go_to);
    if (window != nullptr) {
      t_go_to = &go_to;
      SetFocus(go_to.entry);
      EnableWindow(state.main_window, FALSE);
      ShowWindow(window, SW_SHOW);
      run_modal_loop(window, go_to.done);
      EnableWindow(state.main_window, TRUE);
      if (IsWindow(window)) DestroyWindow(window);
      t_go_to = nullptr;
      SetActiveWindow(state.main_window);
    }
  }
  if (go_to.accepted_line) {
    const std::size_t start = *line_start(*go_to.text, *go_to.accepted_line);
    set_editor_selection(state.editor, start, start);
    SendMessageW(state.editor, EM_SCROLLCARET, 0, 0);
  }
  SetFocus(state.editor);
}

}  // namespace wrenfold::ui
