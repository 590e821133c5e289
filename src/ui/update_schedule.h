#pragma once
// When update checks run: the one-time consent question, at most one automatic check a day,
// and what a finished check leaves in the settings and the status bar.

#include <memory>

#include "settings.h"
#include "updates.h"

namespace wrenfold::ui {

struct MainWindowState;

// Once, after the main window exists: shows a remembered newer version (or forgets one that
// is installed by now), asks for consent two seconds later if it was never given, or starts
// a check when one is due.
void schedule_update_check_at_startup(MainWindowState& state, const AppSettings& settings);

// Timer 3: the consent question, unless another message is open (it comes again at a later
// start then, since the answer is still missing).
void ask_update_consent(MainWindowState& state);

// A new detached worker that runs the check and posts its result to the main window.
void start_update_check(MainWindowState& state);

// The Settings window's "Check for updates": checks now, whatever the automatic-check setting
// and the time of the last check say.
void check_for_updates_now();

// kMessageUpdateCheckResult: stores what a successful check found and shows it.
void on_update_check_result(MainWindowState& state, std::unique_ptr<UpdateCheckResult> result);

}  // namespace wrenfold::ui
