#include "document.h"

#include <shellapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dialogs.h"
#include "document_file.h"
#include "document_rules.h"
#include "editor.h"
#include "file_dialogs.h"
#include "main_window.h"
#include "main_window_state.h"
#include "platform.h"
#include "recovery.h"
#include "utf.h"

namespace wrenfold::ui {
namespace {

constexpr std::size_t kDroppedNameUnits = 32'768;

const wchar_t* wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

bool is_existing_folder(const std::u16string& path) {
  const DWORD attributes = GetFileAttributesW(wide(path));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::u16string locale_thousands_separator() {
  wchar_t separator[8] = {};
  if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8) == 0) return u",";
  return reinterpret_cast<const char16_t*>(separator);
}

void show_error(const std::u16string& text) {
  const MessageButton ok[] = {{IDOK, u"OK"}};
  show_message(std::nullopt, text, ok, IDOK, IDOK);
}

// False when the user declined to open a file this large.
bool accept_file_size(const std::u16string& path) {
  const platform::SystemResult<platform::FileMetadata> metadata = platform::file_metadata(path);
  if (metadata.error) return true;  // the read below reports what is wrong
  const std::optional<std::u16string> question =
      large_file_question(path_file_name(path), metadata.value.size, locale_thousands_separator());
  if (!question) return true;
  const MessageButton buttons[] = {{IDOK, u"Open"}, {IDCANCEL, u"Cancel"}};
  return show_message(u"Large file", *question, buttons, IDCANCEL, IDCANCEL) == IDOK;
}

}  // namespace

std::optional<DiskStamp> disk_stamp_of(const std::u16string& path) {
  const platform::SystemResult<platform::FileMetadata> metadata = platform::file_metadata(path);
  if (metadata.error || !metadata.value.regular_file) return std::nullopt;
  return DiskStamp{metadata.value.last_write_time, metadata.value.size};
}

std::u16string document_title(const std::optional<std::u16string>& path, bool modified) {
  std::u16string title = modified ? u"*" : u"";
  // A name the file system accepts may hold lone surrogates, which the title can't show.
  title += path ? utf::replace_lone_surrogates(path_file_name(*path)) : u"Untitled";
  title += u" - Wrenfold";
  return title;
}

void update_title(MainWindowState& state) {
  const std::u16string title = document_title(state.current_file, state.modified);
  // Under Wine each new title is a trip to the window manager (about 1 ms): skip the same one.
  std::wstring shown(static_cast<std::size_t>(GetWindowTextLengthW(state.main_window)) + 1, L'\0');
  shown.resize(static_cast<std::size_t>(std::max(GetWindowTextW(state.main_window, shown.data(), static_cast<int>(shown.size())), 0)));
  if (shown == wide(title)) return;
  SetWindowTextW(state.main_window, wide(title));
}

void load_document(MainWindowState& state, std::u16string text, std::optional<std::u16string> path,
                   Encoding encoding, LineEnding line_ending) {
  replace_all_text(state, std::move(text));
  state.current_file = std::move(path);
  state.encoding = encoding;
  state.line_ending = line_ending;
  state.modified = false;
  state.disk_stamp.reset();
  state.decode_replacements = 0;
  discard_recovery_file(state);
  update_title(state);
  refresh_after_edit_now(state);
  if (state.gutter != nullptr) InvalidateRect(state.gutter, nullptr, FALSE);
}

bool confirm_discard(MainWindowState& state) {
  if (!state.modified) return true;
  const std::u16string name = state.current_file ? *state.current_file : u"Untitled";
  const MessageButton buttons[] = {{IDYES, u"Save"}, {IDNO, u"Don't save"}, {IDCANCEL, u"Cancel"}};
  switch (show_message(std::nullopt, u"Do you want to save changes to " + name + u"?", buttons, IDYES, IDCANCEL)) {
    case IDNO: return true;
    case IDYES: return save(state);
    default: return false;
  }
}

void new_document(MainWindowState& state) {
  if (!confirm_discard(state)) return;
  load_document(state, u"", std::nullopt, Encoding::Utf8, LineEnding::Windows);
}

void open_document(MainWindowState& state) {
  if (!confirm_discard(state)) return;
  const std::optional<std::u16string> chosen = choose_file_to_open(state.main_window, document_folder(state));
  if (chosen) open_path(state, *chosen);
}

void open_path(MainWindowState& state, const std::u16string& path) {
  if (!accept_file_size(path)) return;
  const std::optional<DiskStamp> stamp = disk_stamp_of(path);
  Result<DecodedText> decoded = read_document(path);
  if (!decoded) {
    show_error(u"Couldn't open " + path + u".\n\n" + decoded.error().message);
    return;
  }
  load_document(state, std::move(decoded->text), path, decoded->encoding, decoded->line_ending);
  state.decode_replacements = decoded->replaced_sequences;
  state.disk_stamp = stamp;
}

void open_start_path(MainWindowState& state, const std::u16string& path) {
  if (platform::is_regular_file(path)) {
    open_path(state, path);
    return;
  }
  const std::optional<std::u16string> parent = path_parent(path);
  if (!parent || !is_existing_folder(*parent)) {
    show_error(u"The path for " + path + u" doesn't exist.");
    return;
  }
  const MessageButton buttons[] = {{IDYES, u"Yes"}, {IDNO, u"No"}};
  const std::u16string question =
      u"Can't find the " + path_file_name(path) + u" file.\n\nDo you want to create a new file?";
  if (show_message(std::nullopt, question, buttons, IDYES, IDNO) != IDYES) return;
  load_document(state, u"", std::nullopt, Encoding::Utf8, LineEnding::Windows);
  state.current_file = path;
  update_title(state);
}

void open_dropped_file(MainWindowState& state, HDROP drop) {
  std::vector<wchar_t> buffer(kDroppedNameUnits, L'\0');
  const UINT length = DragQueryFileW(drop, 0, buffer.data(), static_cast<UINT>(buffer.size()));
  DragFinish(drop);
  if (length == 0) return;
  const std::u16string path(reinterpret_cast<const char16_t*>(buffer.data()), std::min<std::size_t>(length, buffer.size() - 1));
  if (!platform::is_regular_file(path)) return;
  if (!confirm_discard(state)) return;
  open_path(state, path);
}

std::optional<std::u16string> document_folder(const MainWindowState& state) {
  if (!state.current_file) return std::nullopt;
  std::optional<std::u16string> parent = path_parent(*state.current_file);
  if (!parent || !is_existing_folder(*parent)) return std::nullopt;
  return parent;
}

}  // namespace wrenfold::ui
