#pragma once
// The window's one document and the flows that move it between the editor and a file:
// title, load, the unsaved-changes question, New, Open, the start-up path, drop and saving.

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "codec.h"

namespace wrenfold::ui {

struct MainWindowState;

// (last-write time, size) of a regular file, links followed; nothing for anything else.
using DiskStamp = std::pair<std::uint64_t, std::uint64_t>;
std::optional<DiskStamp> disk_stamp_of(const std::u16string& path);

// "{star}{name} - Wrenfold": a star while modified, the file name or "Untitled".
std::u16string document_title(const std::optional<std::u16string>& path, bool modified);

void update_title(MainWindowState& state);

// The last step of New, Open, create and reload: the text replaces the editor's, not undoable;
// the document is unmodified and has no stamp until the caller stores one.
void load_document(MainWindowState& state, std::u16string text, std::optional<std::u16string> path,
                   Encoding encoding, LineEnding line_ending);

// The unsaved-changes question; true when the caller may go on.
bool confirm_discard(MainWindowState& state);

// Command 101.
void new_document(MainWindowState& state);

// Command 102: the question, the open dialog, then open_path.
void open_document(MainWindowState& state);

// Opens a file known to exist: the large-file question, read, decode, load, stamp.
void open_path(MainWindowState& state, const std::u16string& path);

// A path from the command line: open it, offer to create it, or say its folder is missing.
void open_start_path(MainWindowState& state, const std::u16string& path);

// Files dropped on the window or the editor; `drop` is released here.
void open_dropped_file(MainWindowState& state, HDROP drop);

// True when the file was written.
bool save(MainWindowState& state);
bool save_as(MainWindowState& state);
bool save_to(MainWindowState& state, const std::u16string& path, Encoding encoding);

// The folder the file dialogs start in: the document's own when it still exists.
std::optional<std::u16string> document_folder(const MainWindowState& state);

}  // namespace wrenfold::ui
