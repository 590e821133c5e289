#pragma once
// The modal Settings window: theme and editor font with a live preview, update preferences,
// and what the program is. Every change is stored and applied at once.

#include <windows.h>

#include <span>
#include <string>
#include <vector>

#include "settings.h"
#include "updates.h"

namespace wrenfold::ui {

struct MainWindowState;

inline constexpr wchar_t kMakerDomain[] = L"wrenfold.example";
inline constexpr wchar_t kMakerPage[] = L"https://wrenfold.example/";

// The sizes the Size list offers, in points.
std::span<const int> offered_font_sizes();

// The Size list entry for a stored size: the same size, or 11 when the list has no such size.
std::size_t font_size_index(double points);

// The Style list entry: Regular, Italic, Bold, Bold Italic.
std::size_t font_style_index(bool bold, bool italic);

// Face names as the Family list shows them: vertical ("@") faces left out, duplicates that
// differ only in ASCII case dropped, sorted by their lower-cased names.
std::vector<std::wstring> family_list(std::vector<std::wstring> faces);

// Opens the window and returns when it has closed. `for_updates` is the status bar's way in.
void open_settings(HWND owner, bool for_updates);

// Shows what a check found; nothing happens while the window is closed. An offered release
// gets its heading, notes and "Update now" (with the focus), and the window grows to hold them.
void refresh_update_area(const UpdateCheckResult& result);

// A manual check has started: "Checking..." and the button disabled until the result comes.
void show_update_check_running();

// The installing of an offered update reports here; nothing happens while the window is
// closed. Every status hides the progress bar and lets both update buttons work again.
void show_update_status(const std::u16string& text);
void disable_update_buttons();
// The download has started: the bar at zero, shown, and "Downloading...".
void show_download_started();
void show_download_progress(unsigned thousandths);
// Re-themes the open window in the current palette; nothing happens while it is closed.
void theme_settings_window();

// The window closes at its next message.
void close_settings_window();

void set_theme_from_settings_window(Theme theme);
void set_font_from_settings_window();

}  // namespace wrenfold::ui
