#pragma once
// Unsaved text kept on disk while a window runs, and offered again after a crash or a kill:
// writing the window's recovery file, holding it, deleting it, and the start-up question.

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace wrenfold::ui {

struct MainWindowState;

inline constexpr UINT_PTR kTimerRecoveryWrite = 16;
// wParam: milliseconds the worker took; lParam: 1 when the file was written.
inline constexpr UINT kMessageRecoveryWritten = WM_APP + 16;
// lParam: a RecoveryStartRecord on the heap, which the receiver takes over.
inline constexpr UINT kMessageRecoveryStart = WM_APP + 17;
// Set by a window for a process it starts to take up one of the recovered documents.
inline constexpr wchar_t kRecoveryFileVariable[] = L"WRENFOLD_RECOVERY_FILE";

struct RecoveryStartRecord {
  std::optional<std::u16string> handed_over;  // the recovery file this window was started for
  bool start_path_given = false;              // a file was named on the command line
};

// The `recovery` folder beside the settings file.
std::u16string recovery_folder(const std::u16string& settings_path);

// At start-up, once the window is shown: takes the hand-over variable out of the environment
// and posts the offer (or the hand-over) to the window.
void post_recovery_start(MainWindowState& state, bool start_path_given);
void on_recovery_start(MainWindowState& state, std::unique_ptr<RecoveryStartRecord> record);

// The text or its format changed; a modified document gets its file written soon.
void note_recovery_change(MainWindowState& state);
void on_recovery_timer(MainWindowState& state);
void on_recovery_written(MainWindowState& state, std::uint64_t worker_milliseconds, bool written);

// The document is no longer modified (saved, loaded, New): its recovery file goes.
void discard_recovery_file(MainWindowState& state);

// A clean exit: waits for the worker and deletes the file, so nothing is left behind.
void finish_recovery(MainWindowState& state);

// Tests and benchmarks compare with recovery writes switched off.
void set_recovery_writes_enabled(bool enabled);

}  // namespace wrenfold::ui
