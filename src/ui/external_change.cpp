#include "external_change.h"

#include <richedit.h>

#include "dialogs.h"
#include "document.h"
#include "document_file.h"
#include "document_rules.h"
#include "editor.h"
#include "main_window_state.h"
#include "scoped_flag.h"
#include "platform.h"
#include "recovery.h"
#include "statusbar.h"

namespace wrenfold::ui {
namespace {

std::u16string display_name(const std::optional<std::u16string>& path) {
  return path ? path_file_name(*path) : u"Untitled";
}


void reload(MainWindowState& state, const std::u16string& path, const DiskStamp& stamp) {
  const EditorSelectionRange selection = editor_selection(state.editor);
  const std::size_t old_length = editor_text_length(state.editor);
  POINT scroll = {0, 0};
  SendMessageW(state.editor, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));

  Result<DecodedText> decoded = read_document(path);
  if (!decoded) {
    show_transient_message(state, display_name(path) + u" was changed by another program, but couldn't be reloaded.");
    return;
  }
  load_document(state, std::move(decoded->text), path, decoded->encoding, decoded->line_ending);
  state.decode_replacements = decoded->replaced_sequences;
  // Only now: after a failed read the old stamp stays, so the next activation tries again.
  state.disk_stamp = stamp;

  const SelectionRange restored =
      clamp_restored_selection({selection.start, selection.end}, old_length, editor_text_length(state.editor));
  set_editor_selection(state.editor, restored.start, restored.end);
  SendMessageW(state.editor, EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
  show_transient_message(state, u"Reloaded: changed by another program");
}

void mark_deleted(MainWindowState& state) {
  state.disk_stamp.reset();
  if (!state.modified) {
    state.modified = true;
    update_title(state);
  }
  // The text now lives only in the editor.
  note_recovery_change(state);
  show_transient_message(state, display_name(state.current_file) + u" was deleted or moved. Save to keep it.");
}

}  // namespace

void check_external_change(MainWindowState& state) {
  if (!state.disk_stamp || !state.current_file || state.change_check_running || state.message_dialog_open ||
      state.closing) {
    return;
  }
  // Keeps the check from running inside itself while its question is on screen.
  const ScopedFlag running(state.change_check_running);
  const std::u16string path = *state.current_file;

  const platform::SystemResult<platform::FileMetadata> metadata = platform::file_metadata(path);
  if (metadata.error || !metadata.value.regular_file) {
    // A file being swapped in by another program's save can be missing for a moment.
    if (!platform::file_metadata(path).error) return;
    mark_deleted(state);
    return;
  }
  const DiskStamp stamp{metadata.value.last_write_time, metadata.value.size};
  if (stamp == *state.disk_stamp) return;
  if (state.modified) {
    const MessageButton buttons[] = {{IDYES, u"Reload"}, {IDNO, u"Keep my changes"}};
    const std::u16string question =
        path + u" has been changed by another program.\n\nReload it and lose your changes?";
    if (show_message(std::nullopt, question, buttons, IDNO, IDNO) != IDYES) {
      // Keeping the changes settles this version of the file: it isn't asked about again.
      if (state.current_file && same_path_components(*state.current_file, path)) state.disk_stamp = stamp;
      return;
    }
  }
  if (!state.current_file || !same_path_components(*state.current_file, path)) return;
  reload(state, path, stamp);
}

}  // namespace wrenfold::ui
