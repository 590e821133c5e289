#pragma once
// The window's one document: its title and the load that every open goes through.

#include <optional>
#include <string>

#include "codec.h"

namespace wrenfold::ui {

struct MainWindowState;

// "{star}{name} - Wrenfold": a star while modified, the file name or "Untitled".
std::u16string document_title(const std::optional<std::u16string>& path, bool modified);

void update_title(MainWindowState& state);

// The last step of New and Open: the text replaces the editor's, not undoable.
void load_document(MainWindowState& state, std::u16string text, std::optional<std::u16string> path,
                   Encoding encoding, LineEnding line_ending);

// Reads and decodes the file at `path` and shows it.
void open_path(MainWindowState& state, const std::u16string& path);

}  // namespace wrenfold::ui
