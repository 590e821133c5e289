// Saving: the plain save, Save As with its dialog, and the write itself.

#include <string>
#include <vector>

#include "dialogs.h"
#include "document.h"
#include "document_rules.h"
#include "editor.h"
#include "file_dialogs.h"
#include "document_file.h"
#include "main_window_state.h"
#include "recovery.h"
#include "statusbar.h"

namespace wrenfold::ui {
namespace {

std::u16string to_u16(std::size_t number) {
  const std::string digits = std::to_string(number);
  return std::u16string(digits.begin(), digits.end());
}

void show_error(const std::u16string& text) {
  const MessageButton ok[] = {{IDOK, u"OK"}};
  show_message(std::nullopt, text, ok, IDOK, IDOK);
}

// False when the user would rather not lose the characters ANSI can't hold.
bool accept_ansi_loss(const std::u16string& text, Encoding encoding) {
  if (encoding != Encoding::Ansi || text.empty() || !ansi_would_lose_characters(text)) return true;
  const MessageButton buttons[] = {{IDOK, u"Save anyway"}, {IDCANCEL, u"Cancel"}};
  const std::u16string question =
      u"This file contains characters that can't be saved as " + std::u16string(encoding_display_name(encoding)) +
      u". They will be lost.\n\nTo keep them, save the file with a Unicode encoding such as UTF-8.";
  return show_message(std::nullopt, question, buttons, IDCANCEL, IDCANCEL) == IDOK;
}

std::u16string opened_name(const MainWindowState& state) {
  return state.current_file ? path_file_name(*state.current_file) : u"Untitled";
}

// What was lost on opening is lost for good once saved: Cancel is the default.
bool ask_to_save_anyway(const std::u16string& loss) {
  const MessageButton buttons[] = {{IDOK, u"Save anyway"}, {IDCANCEL, u"Cancel"}};
  const std::u16string question = loss + u"\n\nTo keep them, close the file without saving.";
  return show_message(std::nullopt, question, buttons, IDCANCEL, IDCANCEL) == IDOK;
}

// False when the user would rather not write back the replacement characters that stand
// for bytes the file held but that couldn't be decoded.
bool accept_decode_loss(const MainWindowState& state) {
  const std::size_t count = state.decode_replacements;
  if (count == 0) return true;
  const std::u16string what = count == 1 ? u"1 invalid byte sequence" : to_u16(count) + u" invalid byte sequences";
  return ask_to_save_anyway(u"When " + opened_name(state) + u" was opened, " + what + u" in it couldn't be read as " +
                            std::u16string(encoding_display_name(state.encoding)) +
                            u" and became the replacement character \uFFFD. Saving writes \uFFFD in their place, and "
                            u"the original bytes are lost.");
}

// False when the user would rather not save a text that lost characters on loading.
bool accept_load_loss(const MainWindowState& state) {
  const std::size_t count = state.load_lost_units;
  if (count == 0) return true;
  const std::u16string what = count == 1 ? u"1 character" : to_u16(count) + u" characters";
  return ask_to_save_anyway(u"When " + opened_name(state) + u" was opened, the editor couldn't hold " + what +
                            u" of it (null characters and what follows them). Saving writes the text without "
                            u"them, and they are lost.");
}

}  // namespace

bool save(MainWindowState& state) {
  if (state.current_file) return save_to(state, *state.current_file, state.encoding);
  return save_as(state);
}

bool save_as(MainWindowState& state) {
  const std::u16string file_name = state.current_file ? path_file_name(*state.current_file) : u"*.txt";
  FileDialogOutcome outcome = choose_file_to_save(state.main_window, document_folder(state), file_name, state.encoding);
  if (!outcome.ok()) {
    show_error(u"Couldn't open the save dialog.\n\n" + outcome.error().message);
    return false;
  }
  if (!outcome.value()) return false;
  const FileDialogChoice choice = std::move(*outcome.value());
  return save_to(state, choice.path, choice.encoding);
}

bool save_to(MainWindowState& state, const std::u16string& path, Encoding encoding) {
  const std::shared_ptr<const std::u16string> text = editor_text(state);
  if (!accept_decode_loss(state)) return false;
  if (!accept_load_loss(state)) return false;
  if (!accept_ansi_loss(*text, encoding)) return false;
  const Result<void> written = save_document(path, *text, encoding, state.line_ending);
  if (!written.ok()) {
    show_error(u"Couldn't save " + path + u".\n\n" + written.error().message);
    return false;
  }
  state.current_file = path;
  state.encoding = encoding;
  state.modified = false;
  state.decode_replacements = 0;
  state.load_lost_units = 0;
  state.disk_stamp = disk_stamp_of(path);
  discard_recovery_file(state);
  update_title(state);
  refresh_status_bar(state);
  return true;
}

}  // namespace wrenfold::ui
