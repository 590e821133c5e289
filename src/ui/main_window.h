#pragma once
// The WrenfoldWindow procedure: layout, editor notifications, timers, private messages,
// closing.

#include <windows.h>

#include <string>

namespace wrenfold::ui {

struct MainWindowState;

inline constexpr wchar_t kMainWindowClass[] = L"WrenfoldWindow";

inline constexpr UINT_PTR kTimerStatusRefresh = 1;
inline constexpr UINT_PTR kTimerTransientMessage = 2;
inline constexpr UINT_PTR kTimerUpdateConsent = 3;
inline constexpr UINT kStatusRefreshDelayMs = 40;

inline constexpr UINT kMessageCheckExternalChange = WM_APP + 1;
// lParam: an UpdateCheckResult on the heap, which the receiver takes over.
inline constexpr UINT kMessageUpdateCheckResult = WM_APP + 2;
// wParam: thousandths of the installer received so far.
inline constexpr UINT kMessageDownloadProgress = WM_APP + 3;
inline constexpr UINT kMessageOpenPath = WM_APP + 6;
// wParam: an editor control that another took the place of, to be destroyed.
inline constexpr UINT kMessageRetireEditor = WM_APP + 7;

// Posted with kMessageOpenPath; the receiver takes it over.
struct OpenPathRecord {
  std::u16string path;
};

void register_main_window_class(HINSTANCE instance);

// What an edit does to the document beyond the text (modified, title, recovery, the status
// refresh); for a change the control made, after the line tracking has followed it.
void note_document_changed(MainWindowState& state);

// The refresh an edit schedules, done at once: a load shows its status and gutter straight
// away and leaves no timer to repeat the work.
void refresh_after_edit_now(MainWindowState& state);

// The Exit command and the close box: the save question, then the exit sequence.
void request_exit(MainWindowState& state);

// Called by timer 3 unless the window is closing; the update consent question lives with the
// update scheduling, which installs it here.
using UpdateConsentHook = void (*)(MainWindowState& state);
void set_update_consent_hook(UpdateConsentHook hook);

}  // namespace wrenfold::ui
