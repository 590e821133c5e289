#include "new_window.h"

#include <string>

#include "main_window_state.h"
#include "startup.h"
#include "statusbar.h"
#include "system_text.h"
#include "win32_handles.h"

namespace wrenfold::ui {
std::u16string own_executable_path() {
  std::wstring path(MAX_PATH, L'\0');
  while (true) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return std::u16string(path.begin(), path.end());
    }
    path.resize(path.size() * 2);  // long paths are allowed
  }
}

namespace {

// The child inherits this process's environment, so the variable is set only for the moment
// of starting it; this process removed its own copy at start-up.
bool start_process_with_placement(const std::u16string& program, const std::u16string& placement) {
  const auto* program_text = reinterpret_cast<const wchar_t*>(program.c_str());
  std::wstring command_line = L"\"" + std::wstring(program_text) + L"\"";
  SetEnvironmentVariableW(kPlacementVariable, reinterpret_cast<const wchar_t*>(placement.c_str()));
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  const BOOL started = CreateProcessW(program_text, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                      nullptr, &startup, &process);
  const DWORD error = GetLastError();
  SetEnvironmentVariableW(kPlacementVariable, nullptr);
  if (!started) {
    SetLastError(error);
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

}  // namespace

WindowPlacement cascaded_placement(const RECT& source, unsigned dpi, const RECT& work_area, bool maximized) {
  const int offset = static_cast<int>(dpi / 3);
  RECT moved = {source.left + offset, source.top + offset, source.right + offset, source.bottom + offset};
  if (moved.right > work_area.right || moved.bottom > work_area.bottom) {
    moved = {work_area.left, work_area.top, work_area.left + (source.right - source.left),
             work_area.top + (source.bottom - source.top)};
  }
  return {moved.left, moved.top, moved.right - moved.left, moved.bottom - moved.top, maximized};
}

RECT normal_window_rect(const MainWindowState& state) {
  RECT source = {};
  if (state.normal_placement) {
    source = *state.normal_placement;
  } else {
    GetWindowRect(state.main_window, &source);
  }
  return source;
}

WindowPlacement cascaded_from_main_window(const MainWindowState& state, const RECT& source, bool maximized) {
  const UINT window_dpi = GetDpiForWindow(state.main_window);
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(state.main_window, MONITOR_DEFAULTTONEAREST), &monitor);
  return cascaded_placement(source, window_dpi == 0 ? 96 : window_dpi, monitor.rcWork, maximized);
}

void open_new_window(MainWindowState& state) {
  const WindowPlacement placement =
      cascaded_from_main_window(state, normal_window_rect(state), IsZoomed(state.main_window) != FALSE);

  const std::u16string program = own_executable_path();
  if (program.empty() || !start_process_with_placement(program, format_placement(placement))) {
    show_transient_message(state, u"Couldn't open a new window: " +
                                      system_error_text(HRESULT_FROM_WIN32(GetLastError())));
  }
}

}  // namespace wrenfold::ui
