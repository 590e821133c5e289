#include "document.h"

#include <windows.h>

#include <vector>

#include "dialogs.h"
#include "editor.h"
#include "main_window_state.h"
#include "statusbar.h"

namespace wrenfold::ui {
namespace {

std::u16string file_name_of(const std::u16string& path) {
  const std::size_t separator = path.find_last_of(u"\\/");
  return separator == std::u16string::npos ? path : path.substr(separator + 1);
}

const wchar_t* wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

// The whole file, or the system's reason why not.
bool read_whole_file(const std::u16string& path, std::vector<std::uint8_t>& bytes, DWORD& error) {
  UniqueHandle file(CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    error = GetLastError();
    return false;
  }
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(file.get(), &size)) {
    error = GetLastError();
    return false;
  }
  bytes.resize(static_cast<std::size_t>(size.QuadPart));
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD chunk = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    if (!ReadFile(file.get(), bytes.data() + done, wanted, &chunk, nullptr)) {
      error = GetLastError();
      return false;
    }
    if (chunk == 0) break;
    done += chunk;
  }
  bytes.resize(done);
  return true;
}

std::u16string system_message(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                          FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::u16string text = length != 0 ? std::u16string(reinterpret_cast<const char16_t*>(buffer), length) : u"";
  LocalFree(buffer);
  while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' ')) text.pop_back();
  return text + u" (os error " + reinterpret_cast<const char16_t*>(std::to_wstring(error).c_str()) + u")";
}

}  // namespace

std::u16string document_title(const std::optional<std::u16string>& path, bool modified) {
  std::u16string title = modified ? u"*" : u"";
  title += path ? file_name_of(*path) : u"Untitled";
  title += u" - Wrenfold";
  return title;
}

void update_title(MainWindowState& state) {
  SetWindowTextW(state.main_window, wide(document_title(state.current_file, state.modified)));
}

void load_document(MainWindowState& state, std::u16string text, std::optional<std::u16string> path,
                   Encoding encoding, LineEnding line_ending) {
  replace_all_text(state, std::move(text));
  state.current_file = std::move(path);
  state.encoding = encoding;
  state.line_ending = line_ending;
  state.modified = false;
  update_title(state);
  refresh_status_bar(state);
  if (state.gutter != nullptr) InvalidateRect(state.gutter, nullptr, FALSE);
}

void open_path(MainWindowState& state, const std::u16string& path) {
  std::vector<std::uint8_t> bytes;
  DWORD error = 0;
  if (!read_whole_file(path, bytes, error)) {
    const MessageButton ok[] = {{IDOK, u"OK"}};
    show_message(std::nullopt, u"Couldn't open " + path + u".\n\n" + system_message(error), ok, IDOK, IDOK);
    return;
  }
  DecodedText decoded = decode_file_bytes(bytes);
  bytes = {};
  load_document(state, std::move(decoded.text), path, decoded.encoding, decoded.line_ending);
}

}  // namespace wrenfold::ui
