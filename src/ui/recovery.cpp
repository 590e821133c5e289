#include "recovery.h"

#include <algorithm>
#include <vector>

#include "dialogs.h"
#include "document.h"
#include "document_rules.h"
#include "editor.h"
#include "external_change.h"
#include "main_window.h"
#include "main_window_state.h"
#include "new_window.h"
#include "platform.h"
#include "recovery_file.h"
#include "recovery_writer.h"
#include "startup.h"
#include "statusbar.h"
#include "system_text.h"
#include "timestamp.h"
#include "win32_handles.h"

namespace wrenfold::ui {

// The window's own recovery file, the named mutex that marks it as taken, and its writer.
struct RecoveryKeeper {
  std::u16string file;
  UniqueHandle ownership;
  RecoveryTiming timing;
  bool unwritten = false;     // changes not yet in the file
  bool write_running = false;
  bool file_exists = false;   // written, being written, or taken over from an orphan
  std::uint64_t snapshot_milliseconds = 0;
  std::unique_ptr<RecoveryWriter> writer;

  // Only an orderly end of the window gets here; a crash or a kill leaves the file.
  ~RecoveryKeeper() {
    writer.reset();  // finishes the write in hand
    if (file_exists) platform::delete_file(file);
  }
};

namespace {

bool g_writes_enabled = true;

const wchar_t* wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

std::u16string hex(std::uint64_t value) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), u"0123456789abcdef"[value % 16]);
    value /= 16;
  } while (value != 0);
  return digits;
}

// Named per file, so that whoever holds the mutex owns the file. The system drops the mutex
// with the last process holding it, which is what turns a crashed window's file into an orphan.
std::wstring ownership_name(const std::u16string& file_name) {
  return L"Wrenfold.Recovery." + std::wstring(file_name.begin(), file_name.end());
}

// The mutex when this process has just become the file's owner; nothing when another running
// window holds it. Creating it is one atomic step, so two windows never both take a file.
UniqueHandle claim(const std::u16string& file_name) {
  HANDLE mutex = CreateMutexW(nullptr, FALSE, ownership_name(file_name).c_str());
  if (mutex == nullptr) return {};
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(mutex);
    return {};
  }
  return UniqueHandle(mutex);
}

std::unique_ptr<RecoveryWriter> make_writer(HWND window) {
  return std::make_unique<RecoveryWriter>([window](std::uint64_t milliseconds, bool ok) {
    PostMessageW(window, kMessageRecoveryWritten, static_cast<WPARAM>(milliseconds), ok ? 1 : 0);
  });
}

RecoveryKeeper& keeper_of(MainWindowState& state) {
  if (!state.recovery) {
    auto keeper = std::make_shared<RecoveryKeeper>();
    const std::u16string folder = recovery_folder(state.settings_path);
    for (std::uint64_t attempt = 0; !keeper->ownership.get(); ++attempt) {
      const std::u16string name =
          hex(platform::process_id()) + u"-" + hex(GetTickCount64() + attempt) + std::u16string(kRecoveryFileExtension);
      keeper->ownership = claim(name);
      keeper->file = platform::join_path(folder, name);
      if (attempt > 1000) break;  // no named objects at all: the file is written unowned
    }
    keeper->writer = make_writer(state.main_window);
    state.recovery = std::move(keeper);
  }
  return *state.recovery;
}

void schedule_write(MainWindowState& state, RecoveryKeeper& keeper) {
  if (keeper.write_running || !keeper.unwritten) return;
  const std::uint64_t now = GetTickCount64();
  const std::uint64_t due = recovery_write_due_ms(keeper.timing);
  SetTimer(state.main_window, kTimerRecoveryWrite, static_cast<UINT>(std::max<std::uint64_t>(due > now ? due - now : 0, 1)),
           nullptr);
}

std::u16string display_name(const RecoveryContent& content) {
  return content.header.path ? path_file_name(*content.header.path) : u"Untitled";
}

void show_error(const std::u16string& text) {
  const MessageButton ok[] = {{IDOK, u"OK"}};
  show_message(std::nullopt, text, ok, IDOK, IDOK);
}

struct Orphan {
  std::u16string file;
  UniqueHandle ownership;
  Result<RecoveryContent> content = Error{};
};

Result<RecoveryContent> read_recovery_file(const std::u16string& file) {
  const platform::SystemResult<std::vector<std::uint8_t>> bytes = platform::read_file(file);
  if (bytes.error) return Error{bytes.error->message};
  return parse_recovery_file(bytes.value);
}

// Every recovery file in the folder that no running window holds, now held by this one.
std::vector<Orphan> claim_orphans(const std::u16string& folder, const std::u16string& own_file) {
  std::vector<Orphan> orphans;
  const std::u16string pattern = platform::join_path(folder, u"*" + std::u16string(kRecoveryFileExtension));
  WIN32_FIND_DATAW found = {};
  const HANDLE search = FindFirstFileW(wide(pattern), &found);
  if (search == INVALID_HANDLE_VALUE) return orphans;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    const std::u16string name(reinterpret_cast<const char16_t*>(found.cFileName));
    // The pattern also matches longer extensions on some systems.
    if (name.size() <= kRecoveryFileExtension.size() ||
        name.substr(name.size() - kRecoveryFileExtension.size()) != kRecoveryFileExtension) {
      continue;
    }
    const std::u16string file = platform::join_path(folder, name);
    if (file == own_file) continue;
    UniqueHandle ownership = claim(name);
    if (!ownership.get()) continue;
    orphans.push_back({file, std::move(ownership), read_recovery_file(file)});
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::stable_sort(orphans.begin(), orphans.end(), [](const Orphan& a, const Orphan& b) {
    const std::int64_t a_time = a.content.ok() ? a.content->header.saved_at : 0;
    const std::int64_t b_time = b.content.ok() ? b.content->header.saved_at : 0;
    return a_time < b_time;
  });
  return orphans;
}

// The recovered document in this window: modified, with its path and format, its file now
// this window's own recovery file.
void recover_here(MainWindowState& state, Orphan orphan) {
  RecoveryContent& content = orphan.content.value();
  state.recovery.reset();
  load_document(state, std::move(content.text), content.header.path, content.header.encoding,
                content.header.line_ending);
  state.modified = true;
  update_title(state);

  auto keeper = std::make_shared<RecoveryKeeper>();
  keeper->file = orphan.file;
  keeper->ownership = std::move(orphan.ownership);
  keeper->file_exists = true;
  keeper->writer = make_writer(state.main_window);
  state.recovery = std::move(keeper);

  // The stamp the crashed window knew lets the change check say whether the file was changed
  // since; a file that has appeared where there was none counts as changed too.
  if (content.header.disk_stamp) {
    state.disk_stamp = *content.header.disk_stamp;
  } else if (content.header.path && disk_stamp_of(*content.header.path)) {
    state.disk_stamp = DiskStamp{0, 0};
  }
  check_external_change(state);
}

// A process of its own for a recovered document, cascaded like a new window. The mutex handle
// is inherited, so the file is held without a gap while the new process takes it.
bool start_recovery_window(const WindowPlacement& placement, const std::u16string& file, HANDLE ownership) {
  const std::u16string program = own_executable_path();
  if (program.empty()) return false;
  std::wstring command_line = L"\"" + std::wstring(wide(program)) + L"\"";
  SetHandleInformation(ownership, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  SetEnvironmentVariableW(kPlacementVariable, wide(format_placement(placement)));
  SetEnvironmentVariableW(kRecoveryFileVariable, wide(file));
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  const BOOL started =
      CreateProcessW(wide(program), command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
  const DWORD error = GetLastError();
  SetEnvironmentVariableW(kPlacementVariable, nullptr);
  SetEnvironmentVariableW(kRecoveryFileVariable, nullptr);
  SetHandleInformation(ownership, HANDLE_FLAG_INHERIT, 0);
  if (!started) {
    SetLastError(error);
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

void recover(MainWindowState& state, std::vector<Orphan> orphans, bool start_path_given) {
  RECT source = normal_window_rect(state);
  std::size_t first_elsewhere = 0;
  if (!state.current_file && !state.modified && !start_path_given) {
    recover_here(state, std::move(orphans.front()));
    first_elsewhere = 1;
  }
  for (std::size_t index = first_elsewhere; index < orphans.size(); ++index) {
    const WindowPlacement placement = cascaded_from_main_window(state, source, false);
    source = {placement.x, placement.y, placement.x + placement.width, placement.y + placement.height};
    // A window that can't be started leaves its file for the next start.
    if (!start_recovery_window(placement, orphans[index].file, orphans[index].ownership.get())) {
      show_transient_message(state, u"Couldn't open a new window: " +
                                        system_error_text(HRESULT_FROM_WIN32(GetLastError())));
    }
  }
}

void take_handed_over(MainWindowState& state, const std::u16string& file) {
  const std::u16string name = path_file_name(file);
  // The mutex exists already: the starting window's handle came along with this process.
  HANDLE mutex = CreateMutexW(nullptr, FALSE, ownership_name(name).c_str());
  Orphan orphan{file, UniqueHandle(mutex), read_recovery_file(file)};
  if (!orphan.content.ok()) {
    show_error(u"Couldn't recover " + file + u".\n\n" + orphan.content.error().message +
               u"\n\nThe recovery file was kept.");
    return;
  }
  recover_here(state, std::move(orphan));
}

void offer_orphans(MainWindowState& state, bool start_path_given) {
  const std::u16string own = state.recovery ? state.recovery->file : u"";
  std::vector<Orphan> orphans = claim_orphans(recovery_folder(state.settings_path), own);

  std::vector<Orphan> readable;
  std::u16string unreadable;
  for (Orphan& orphan : orphans) {
    if (orphan.content.ok()) {
      readable.push_back(std::move(orphan));
    } else {
      unreadable += u"\n\n" + orphan.file + u"\n" + orphan.content.error().message;
    }
  }
  // Never deleted without the user's word: the files stay where they are, and are let go so
  // that the next start reports them again.
  if (!unreadable.empty()) show_error(u"Some recovery files couldn't be read. They were kept:" + unreadable);
  if (readable.empty()) return;

  std::u16string names;
  for (const Orphan& orphan : readable) names += u"\n" + display_name(*orphan.content);
  const MessageButton buttons[] = {{IDYES, u"Recover"}, {IDNO, u"Discard"}};
  const int answer = show_message(
      std::nullopt, u"Wrenfold closed before some changes were saved. Do you want to recover them?\n" + names,
      buttons, IDYES, IDCANCEL);
  if (answer == IDYES) {
    recover(state, std::move(readable), start_path_given);
  } else if (answer == IDNO) {
    for (const Orphan& orphan : readable) platform::delete_file(orphan.file);
  }
  // Closing the question decides nothing: the files are offered again at the next start.
}

}  // namespace

std::u16string recovery_folder(const std::u16string& settings_path) {
  const std::optional<std::u16string> parent = path_parent(settings_path);
  return platform::join_path(parent ? *parent : u".", u"recovery");
}

void post_recovery_start(MainWindowState& state, bool start_path_given) {
  auto record = std::make_unique<RecoveryStartRecord>();
  record->start_path_given = start_path_given;
  const DWORD length = GetEnvironmentVariableW(kRecoveryFileVariable, nullptr, 0);
  if (length != 0) {
    std::wstring value(length, L'\0');
    value.resize(GetEnvironmentVariableW(kRecoveryFileVariable, value.data(), length));
    // Windows this one starts must not inherit it.
    SetEnvironmentVariableW(kRecoveryFileVariable, nullptr);
    record->handed_over = std::u16string(value.begin(), value.end());
  }
  if (PostMessageW(state.main_window, kMessageRecoveryStart, 0, reinterpret_cast<LPARAM>(record.get()))) {
    record.release();  // the window takes it over
  }
}

void on_recovery_start(MainWindowState& state, std::unique_ptr<RecoveryStartRecord> record) {
  if (!record || state.closing) return;
  if (record->handed_over) {
    take_handed_over(state, *record->handed_over);
  } else {
    offer_orphans(state, record->start_path_given);
  }
}

void note_recovery_change(MainWindowState& state) {
  if (!g_writes_enabled || !state.modified || state.closing || state.main_window == nullptr) return;
  RecoveryKeeper& keeper = keeper_of(state);
  const std::uint64_t now = GetTickCount64();
  if (!keeper.unwritten) {
    keeper.unwritten = true;
    keeper.timing.first_unwritten_change_ms = now;
  }
  keeper.timing.last_change_ms = now;
  schedule_write(state, keeper);
}

void on_recovery_timer(MainWindowState& state) {
  KillTimer(state.main_window, kTimerRecoveryWrite);
  if (!state.recovery || !state.modified || state.closing) return;
  RecoveryKeeper& keeper = *state.recovery;
  if (!keeper.unwritten || keeper.write_running) return;
  const std::uint64_t started = GetTickCount64();
  if (started < recovery_write_due_ms(keeper.timing)) {
    schedule_write(state, keeper);
    return;
  }
  RecoveryHeader header;
  header.path = state.current_file;
  header.encoding = state.encoding;
  header.line_ending = state.line_ending;
  header.disk_stamp = state.disk_stamp;
  header.saved_at = unix_seconds_now();
  header.owner_process = platform::process_id();
  // The same snapshot the rest of the program reads; the worker shares it and never copies.
  keeper.writer->write(keeper.file, std::move(header), editor_text(state));
  keeper.snapshot_milliseconds = GetTickCount64() - started;
  keeper.unwritten = false;
  keeper.write_running = true;
  keeper.file_exists = true;
}

void on_recovery_written(MainWindowState& state, std::uint64_t worker_milliseconds, bool written) {
  if (!state.recovery) return;
  RecoveryKeeper& keeper = *state.recovery;
  keeper.write_running = false;
  const std::uint64_t now = GetTickCount64();
  keeper.timing.last_write_end_ms = now;
  keeper.timing.last_write_cost_ms = keeper.snapshot_milliseconds + worker_milliseconds;
  if (!written && state.modified) {
    // A full disk or a vanished folder: try again after the longest wait, not at every key.
    keeper.unwritten = true;
    keeper.timing.first_unwritten_change_ms = now;
    keeper.timing.last_change_ms = now + kRecoveryLongestWaitMs;
  }
  if (state.modified) schedule_write(state, keeper);
}

void discard_recovery_file(MainWindowState& state) {
  if (!state.recovery) return;
  RecoveryKeeper& keeper = *state.recovery;
  if (state.main_window != nullptr) KillTimer(state.main_window, kTimerRecoveryWrite);
  keeper.unwritten = false;
  if (keeper.file_exists) keeper.writer->remove(keeper.file);
  keeper.file_exists = false;
}

void finish_recovery(MainWindowState& state) {
  if (state.main_window != nullptr) KillTimer(state.main_window, kTimerRecoveryWrite);
  state.recovery.reset();
}

void set_recovery_writes_enabled(bool enabled) { g_writes_enabled = enabled; }

}  // namespace wrenfold::ui
