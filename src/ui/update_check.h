#pragma once
// One update check on the calling worker thread: fetch the manifest and its signature, judge
// them, and post the verdict to the main window.

#include <windows.h>

#include <string_view>

#include "updates.h"

namespace wrenfold::ui {

// Checks with the built-in address (or WRENFOLD_UPDATE_URL) and key, then posts
// kMessageUpdateCheckResult with a heap UpdateCheckResult that the window takes over.
void run_update_check(HWND main_window);

// The check itself, for the manifest at `manifest_url` signed with `public_key`.
UpdateCheckResult check_for_update(std::u16string_view manifest_url,
                                   std::u16string_view public_key);

}  // namespace wrenfold::ui
