#include "update_install.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cwctype>
#include <utility>

#include "document.h"
#include "http.h"
#include "installer_download.h"
#include "main_window_state.h"
#include "platform.h"
#include "settings_page.h"
#include "system_text.h"
#include "win32_handles.h"

namespace wrenfold::ui {
namespace {

constexpr char16_t kOtherWindowsOpen[] = u"Wrenfold is open in other windows too. Close them, then install the update.";

std::wstring lower_case(std::wstring text) {
  std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
  return text;
}

std::wstring own_executable_name() {
  wchar_t path[MAX_PATH * 4] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
  if (length == 0 || length >= std::size(path)) return {};
  std::wstring_view name(path, length);
  const std::size_t separator = name.find_last_of(L"\\/");
  if (separator != std::wstring_view::npos) name.remove_prefix(separator + 1);
  return lower_case(std::wstring(name));
}

struct DownloadThreadStart {
  InstallRequest request;
  std::u16string installer_path;
};

DWORD WINAPI download_thread(void* parameter) {
  const std::unique_ptr<DownloadThreadStart> start(static_cast<DownloadThreadStart*>(parameter));
  download_update(start->request, start->installer_path);
  return 0;
}

std::u16string last_error_text() { return system_error_text(HRESULT_FROM_WIN32(GetLastError())); }

DownloadResult fetch_and_check(const InstallRequest& request, const std::u16string& installer_path) {
  const std::size_t separator = installer_path.find_last_of(u"\\/");
  if (separator != std::u16string::npos) {
    if (const platform::SystemStatus failure = platform::create_folders(installer_path.substr(0, separator))) {
      return {false, {}, failure->message};
    }
  }
  UniqueHandle file(CreateFileW(reinterpret_cast<const wchar_t*>(installer_path.c_str()), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) return {false, {}, last_error_text()};
  DownloadProgressPoster progress(request.main_window);
  const Result<void> downloaded =
      http_download_to_file(kUpdateUserAgent, request.download.url, std::move(file),
                            [&progress](double fraction) { progress(fraction); });
  if (!downloaded) return {false, {}, downloaded.error().message};

  const platform::SystemResult<std::vector<std::uint8_t>> bytes = platform::read_file(installer_path);
  if (bytes.error) return {false, {}, bytes.error->message};
  const std::optional<platform::Sha256Digest> digest = platform::sha256(bytes.value);
  if (!digest || !digest_matches(digest_hex(*digest), request.download.sha256)) {
    platform::delete_file(installer_path);
    return {false, {}, u"The downloaded installer doesn't match the signed update information, so it was deleted."};
  }
  return {true, installer_path, {}};
}

}  // namespace

bool other_instance_running() {
  const std::wstring own_name = own_executable_name();
  const DWORD own_id = GetCurrentProcessId();
  DWORD own_session = 0;
  if (own_name.empty() || !ProcessIdToSessionId(own_id, &own_session)) return false;
  const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (snapshot.get() == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ProcessID == own_id || lower_case(entry.szExeFile) != own_name) continue;
    DWORD session = 0;
    if (ProcessIdToSessionId(entry.th32ProcessID, &session) && session == own_session) return true;
  }
  return false;
}

std::u16string installer_path_for(std::u16string_view url) {
  wchar_t folder[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  std::u16string path(reinterpret_cast<const char16_t*>(folder), length);
  if (!path.empty() && path.back() != u'\\') path += u'\\';
  return path + u"Wrenfold-Update\\" + installer_file_name(url);
}

void start_update_install() {
  MainWindowState& state = main_window_state();
  disable_update_buttons();
  const std::optional<UpdateCheckResult>& kept = state.last_update_check_result;
  if (!kept || kept->outcome != UpdateCheckOutcome::Available || kept->download.url.empty()) {
    show_update_status(u"There's no update to install.");
    return;
  }
  if (other_instance_running()) {
    show_update_status(kOtherWindowsOpen);
    return;
  }
  if (state.download_running) return;
  state.download_running = true;
  auto start = std::make_unique<DownloadThreadStart>(
      DownloadThreadStart{{kept->download, state.main_window}, installer_path_for(kept->download.url)});
  const HANDLE thread = CreateThread(nullptr, 0, download_thread, start.get(), 0, nullptr);
  if (thread == nullptr) {
    state.download_running = false;
    show_update_status(u"The update couldn't be downloaded: " + last_error_text());
    return;
  }
  start.release();  // the thread owns it now
  CloseHandle(thread);
  show_download_started();
}

void download_update(const InstallRequest& request, const std::u16string& installer_path) {
  auto result = std::make_unique<DownloadResult>(fetch_and_check(request, installer_path));
  if (PostMessageW(request.main_window, kMessageDownloadResult, 0, reinterpret_cast<LPARAM>(result.get()))) {
    result.release();  // the window owns it now
  }
}

void on_download_progress(unsigned thousandths) { show_download_progress(std::min(thousandths, 1000u)); }

void finish_update_install(MainWindowState& state, std::unique_ptr<DownloadResult> result) {
  state.download_running = false;
  if (!result->downloaded) {
    show_update_status(u"The update couldn't be downloaded: " + result->error);
    return;
  }
  if (!confirm_discard(state)) {
    show_update_status(u"");
    return;
  }
  if (other_instance_running()) {
    show_update_status(kOtherWindowsOpen);
    return;
  }
  // The installer waits for every holder of the mutex to go; this window is about to.
  state.instance_mutex.reset();
  const auto started = reinterpret_cast<INT_PTR>(
      ShellExecuteW(state.main_window, L"open", reinterpret_cast<const wchar_t*>(result->installer_path.c_str()),
                    kInstallerSwitches, nullptr, SW_SHOWNORMAL));
  if (started > 32) {
    // The question was answered already: the close path must not ask it again.
    state.modified = false;
    close_settings_window();
    PostMessageW(state.main_window, WM_CLOSE, 0, 0);
    return;
  }
  if (!state.instance_mutex.get()) state.instance_mutex.reset(CreateMutexW(nullptr, FALSE, L"Wrenfold.Running"));
  show_update_status(u"The installer couldn't be started.");
}

}  // namespace wrenfold::ui
