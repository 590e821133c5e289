#include "main_window.h"

#include <richedit.h>

#include <memory>

#include "commands.h"
#include "document.h"
#include "editor.h"
#include "editor_lines.h"
#include "external_change.h"
#include "find_window.h"
#include "update_install.h"
#include "layout.h"
#include "main_window_state.h"
#include "menubar.h"
#include "popup.h"
#include "recovery.h"
#include "window_class.h"
#include "paint_buffer.h"
#include "statusbar.h"
#include "theme.h"
#include "theme_hooks.h"
#include "update_schedule.h"

namespace wrenfold::ui {
namespace {

constexpr WORD kEditorChangeNotification = 0x0300;  // EN_CHANGE
UpdateConsentHook g_update_consent_hook = nullptr;

void record_normal_placement(MainWindowState& state) {
  HWND window = state.main_window;
  if (IsZoomed(window) || IsIconic(window) || !IsWindowVisible(window)) return;
  RECT rect;
  if (GetWindowRect(window, &rect)) state.normal_placement = rect;
}

// The line count's digits decide the gutter's width; relayout only when they change.
void refresh_after_edit(MainWindowState& state) {
  if (state.text_changed) {
    state.text_changed = false;
    const bool line_numbers = state.settings.read().line_numbers;
    if (line_numbers) {
      const std::uint64_t lines = editor_line_count(state);
      const bool digits_changed =
          !state.last_line_count || gutter_digits(lines) != gutter_digits(*state.last_line_count);
      if (digits_changed) layout_main_window(state);
    }
  }
  refresh_status_bar(state);
}

void on_text_change(MainWindowState& state) {
  state.cached_text.reset();
  note_editor_text_change(state);
  // A new edit ends the way back to a Replace All that was taken back.
  if (!state.loading) state.whole_text_redo.reset();
  note_document_changed(state);
}

void on_timer(MainWindowState& state, UINT_PTR timer) {
  switch (timer) {
    case kTimerStatusRefresh:
      KillTimer(state.main_window, timer);
      refresh_after_edit(state);
      break;
    case kTimerTransientMessage:
      KillTimer(state.main_window, timer);
      state.transient_message.reset();
      refresh_status_bar(state);
      break;
    case kTimerRecoveryWrite:
      on_recovery_timer(state);
      break;
    case kTimerUpdateConsent:
      KillTimer(state.main_window, timer);
      if (!state.closing && g_update_consent_hook != nullptr) g_update_consent_hook(state);
      break;
    default:
      break;
  }
}

LRESULT on_notify(MainWindowState& state, const NMHDR* header) {
  if (header->hwndFrom != state.editor) return 0;
  if (header->code == EN_DROPFILES) {
    // Returning 0 keeps the control from inserting the file itself.
    open_dropped_file(state, static_cast<HDROP>(reinterpret_cast<const ENDROPFILES*>(header)->hDrop));
    return 0;
  }
  if (header->code == EN_SELCHANGE) {
    SetTimer(state.main_window, kTimerStatusRefresh, kStatusRefreshDelayMs, nullptr);
    if (state.settings.read().line_numbers && state.gutter != nullptr) InvalidateRect(state.gutter, nullptr, FALSE);
  }
  return 0;
}

// Writes the window's restored rectangle into the settings, on top of what other windows
// saved since this one started.
void save_window_placement(MainWindowState& state) {
  if (!state.normal_placement) return;
  const RECT& rect = *state.normal_placement;
  const WindowPlacement placement{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                                  IsZoomed(state.main_window) != FALSE};
  state.settings.use()->window = placement;
  std::optional<AppSettings> stored = load_settings_to_change(state.settings_path);
  if (!stored) return;
  stored->window = placement;
  save_settings(state.settings_path, *stored);
}

void run_exit_sequence(MainWindowState& state) {
  state.closing = true;
  save_window_placement(state);
  finish_recovery(state);
  if (const HWND find = find_replace_window(); find != nullptr) DestroyWindow(find);
  DestroyWindow(state.main_window);
}

bool is_immersive_color_set(LPARAM lparam) {
  const wchar_t* text = reinterpret_cast<const wchar_t*>(lparam);
  return text != nullptr && std::wstring_view(text) == L"ImmersiveColorSet";
}

void fill_background(HWND window, HDC dc) {
  RECT client;
  GetClientRect(window, &client);
  fill_rect(dc, client, current_palette().background);
}

LRESULT CALLBACK main_window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  MainWindowState* found = find_main_window_state();
  if (found == nullptr || found->main_window == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  MainWindowState& state = *found;
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_MOVE:
      record_normal_placement(state);
      return 0;
    case WM_SIZE:
      layout_main_window(state);
      record_normal_placement(state);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wparam) != WA_INACTIVE) PostMessageW(window, kMessageCheckExternalChange, 0, 0);
      break;
    case WM_SETFOCUS:
      SetFocus(state.editor);
      return 0;
    case WM_CLOSE:
      if (!state.closing) request_exit(state);
      return 0;
    case WM_QUERYENDSESSION:
      return confirm_discard(state) ? TRUE : FALSE;
    case WM_ENDSESSION:
      // The session ends after the save question was answered: what was not saved was let go.
      if (wparam != FALSE) finish_recovery(state);
      return 0;
    case WM_DROPFILES:
      open_dropped_file(state, reinterpret_cast<HDROP>(wparam));
      return 0;
    case WM_ERASEBKGND:
      fill_background(window, reinterpret_cast<HDC>(wparam));
      return 1;
    case WM_SETTINGCHANGE:
      if (is_immersive_color_set(lparam) && state.settings.read().theme == Theme::System) {
        apply_view_settings(state);
      }
      break;
    case WM_NOTIFY:
      return on_notify(state, reinterpret_cast<const NMHDR*>(lparam));
    case WM_COMMAND: {
      const HWND from = reinterpret_cast<HWND>(lparam);
      // An editor that a new one replaced (its id now 0) may still tell of its focus as it goes.
      if (from != nullptr && (from == state.editor || LOWORD(wparam) == 0)) {
        if (from == state.editor && HIWORD(wparam) == kEditorChangeNotification) on_text_change(state);
      } else {
        dispatch_command(state, LOWORD(wparam));
      }
      return 0;
    }
    case WM_TIMER:
      on_timer(state, wparam);
      return 0;
    case WM_INITMENUPOPUP:
      update_edit_menu(state);
      return 0;
    case WM_MENUSELECT:
      remember_menu_selection(reinterpret_cast<HMENU>(lparam), HIWORD(wparam));
      return 0;
    case WM_MEASUREITEM:
      if (measure_menu_item(window, *reinterpret_cast<MEASUREITEMSTRUCT*>(lparam))) return TRUE;
      break;
    case WM_DRAWITEM:
      if (draw_menu_item(window, *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam))) return TRUE;
      break;
    case WM_MENUCHAR:
      if (const std::optional<LRESULT> result = menu_char(LOWORD(wparam), reinterpret_cast<HMENU>(lparam))) {
        return *result;
      }
      break;
    case WM_DPICHANGED: {
      const RECT* suggested = reinterpret_cast<const RECT*>(lparam);
      SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                   suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      zoom_step(state);
      return 0;
    }
    case kMessageCheckExternalChange:
      check_external_change(state);
      return 0;
    case kMessageUpdateCheckResult:
      on_update_check_result(state, std::unique_ptr<UpdateCheckResult>(
                                        reinterpret_cast<UpdateCheckResult*>(lparam)));
      return 0;
    case kMessageDownloadProgress:
      on_download_progress(static_cast<unsigned>(wparam));
      return 0;
    case kMessageDownloadResult:
      finish_update_install(state, std::unique_ptr<DownloadResult>(reinterpret_cast<DownloadResult*>(lparam)));
      return 0;
    case kMessageRecoveryWritten:
      on_recovery_written(state, static_cast<std::uint64_t>(wparam), lparam != 0);
      return 0;
    case kMessageRecoveryStart:
      on_recovery_start(state, std::unique_ptr<RecoveryStartRecord>(reinterpret_cast<RecoveryStartRecord*>(lparam)));
      return 0;
    case kMessageRetireEditor: {
      const HWND retired = reinterpret_cast<HWND>(wparam);
      if (retired != state.editor && IsWindow(retired) && GetParent(retired) == window) DestroyWindow(retired);
      return 0;
    }
    case kMessageOpenPath: {
      const std::unique_ptr<OpenPathRecord> record(reinterpret_cast<OpenPathRecord*>(lparam));
      if (record) open_start_path(state, record->path);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

void note_document_changed(MainWindowState& state) {
  state.text_changed = true;
  if (!state.loading && !state.modified) {
    state.modified = true;
    update_title(state);
  }
  if (!state.loading) note_recovery_change(state);
  SetTimer(state.main_window, kTimerStatusRefresh, kStatusRefreshDelayMs, nullptr);
  if (state.settings.read().line_numbers && state.gutter != nullptr) InvalidateRect(state.gutter, nullptr, FALSE);
}

void refresh_after_edit_now(MainWindowState& state) {
  KillTimer(state.main_window, kTimerStatusRefresh);
  refresh_after_edit(state);
}

void register_main_window_class(HINSTANCE instance) {
  const auto icon = [instance](int size) {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
  };
  register_window_class(instance, kMainWindowClass, main_window_procedure, 0, icon(32), icon(16));
}

void request_exit(MainWindowState& state) {
  if (state.closing || !confirm_discard(state)) return;
  run_exit_sequence(state);
}

void set_update_consent_hook(UpdateConsentHook hook) { g_update_consent_hook = hook; }

}  // namespace wrenfold::ui

