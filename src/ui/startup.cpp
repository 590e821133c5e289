#include "startup.h"

#include <commctrl.h>
#include <ole2.h>
#include <shellapi.h>

#include <memory>

#include "command_line.h"
#include "commands.h"
#include "document.h"
#include "editor.h"
#include "fatal.h"
#include "go_to_window.h"
#include "gutter.h"
#include "main_window.h"
#include "main_window_state.h"
#include "menubar.h"
#include "message_loop.h"
#include "popup.h"
#include "recovery.h"
#include "settings.h"
#include "statusbar.h"
#include "theme.h"
#include "update_schedule.h"

namespace wrenfold::ui {
namespace {

constexpr DWORD kCommonControlClasses = ICC_BAR_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS |
                                        ICC_STANDARD_CLASSES | ICC_LINK_CLASS;

const wchar_t* wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

// The placement handed over by the window that started this one. The variable is removed at
// once so that windows this one starts don't inherit it.
std::optional<std::u16string> take_placement_variable() {
  const DWORD length = GetEnvironmentVariableW(kPlacementVariable, nullptr, 0);
  if (length == 0) return std::nullopt;
  std::wstring value(length, L'\0');
  const DWORD copied = GetEnvironmentVariableW(kPlacementVariable, value.data(), length);
  value.resize(copied);
  if (!SetEnvironmentVariableW(kPlacementVariable, nullptr)) {
    fatal_error("the placement variable can be removed from the environment");
  }
  return std::u16string(value.begin(), value.end());
}

bool rect_touches_monitor(const RECT& rect) { return MonitorFromRect(&rect, MONITOR_DEFAULTTONULL) != nullptr; }

// True when a path was named, even one that turns out unusable.
bool post_command_line_path(MainWindowState& state, const std::u16string& command_line) {
  const std::optional<std::u16string> argument = command_line_argument(command_line);
  if (!argument) return false;
  const DWORD length = GetFullPathNameW(wide(*argument), 0, nullptr, nullptr);
  if (length == 0) return true;
  std::wstring full(length, L'\0');
  const DWORD written = GetFullPathNameW(wide(*argument), length, full.data(), nullptr);
  if (written == 0 || written >= length) return true;
  full.resize(written);
  auto record = std::make_unique<OpenPathRecord>();
  record->path.assign(full.begin(), full.end());
  if (PostMessageW(state.main_window, kMessageOpenPath, 0, reinterpret_cast<LPARAM>(record.get()))) {
    record.release();  // the window takes it over
  }
  return true;
}

}  // namespace

std::optional<WindowPlacement> choose_placement(const std::optional<std::u16string>& handed_over,
                                                const std::optional<WindowPlacement>& saved,
                                                const std::function<bool(const RECT&)>& touches_monitor) {
  std::optional<WindowPlacement> placement;
  if (handed_over) placement = parse_placement(*handed_over);
  if (!placement) placement = saved;
  if (!placement || placement->width < 200 || placement->height < 150) return std::nullopt;
  const RECT rect = {placement->x, placement->y, placement->x + placement->width,
                     placement->y + placement->height};
  if (!touches_monitor(rect)) return std::nullopt;
  return placement;
}

MainWindowState& start_main_window(HINSTANCE instance, const StartOptions& options) {
  const std::u16string path = options.settings_path ? *options.settings_path : settings_path();
  install_crash_log(path);
  migrate_legacy_folder();
  auto created = std::make_unique<MainWindowState>(load_settings(path));
  created->settings_path = path;
  install_main_window_state(std::move(created));
  MainWindowState& state = main_window_state();

  state.instance_mutex.reset(CreateMutexW(nullptr, FALSE, L"Wrenfold.Running"));
  LoadLibraryExW(L"msftedit.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  register_main_window_class(instance);
  register_status_bar_class(instance);
  register_gutter_class(instance);
  register_go_to_class(instance);

  const AppSettings settings = state.settings.read();
  const std::optional<WindowPlacement> placement =
      choose_placement(take_placement_variable(), settings.window, rect_touches_monitor);
  if (placement) {
    state.normal_placement = RECT{placement->x, placement->y, placement->x + placement->width,
                                  placement->y + placement->height};
  }

  const ThemeColors palette = resolve_palette(settings.theme);
  set_process_dark_mode(palette.is_dark);

  HWND window = CreateWindowExW(0, kMainWindowClass, L"Wrenfold", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                placement ? placement->x : CW_USEDEFAULT, placement ? placement->y : CW_USEDEFAULT,
                                placement ? placement->width : CW_USEDEFAULT,
                                placement ? placement->height : CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) fatal_error("the main window can be created");
  state.main_window = window;
  create_editor(state);
  DragAcceptFiles(window, TRUE);
  state.gutter = CreateWindowExW(0, kGutterClass, L"", WS_CHILD, 0, 0, 0, 0, window, nullptr, instance, nullptr);
  state.status_bar =
      CreateWindowExW(0, kStatusBarClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window, nullptr, instance, nullptr);
  register_menu_bar_class(instance);
  state.main_menu = build_main_menu();
  for (int index = 0; index < kMenuBarTitleCount; ++index) prepare_popup_menu(GetSubMenu(state.main_menu, index));
  state.menu_bar = create_menu_bar(window, state.main_menu, kCommandSettings);

  apply_view_settings(state);
  update_title(state);
  refresh_status_bar(state);

  ShowWindow(window, placement && placement->maximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
  UpdateWindow(window);
  SetFocus(state.editor);
  schedule_update_check_at_startup(state, settings);

  const std::u16string command_line = options.command_line
                                          ? *options.command_line
                                          : std::u16string(reinterpret_cast<const char16_t*>(GetCommandLineW()));
  const bool start_path_given = post_command_line_path(state, command_line);
  // Posted after the path, so that an orphan is offered with the named file already open.
  post_recovery_start(state, start_path_given);
  return state;
}

int run_application(HINSTANCE instance) {
  OleInitialize(nullptr);
  INITCOMMONCONTROLSEX controls = {sizeof controls, kCommonControlClasses};
  InitCommonControlsEx(&controls);
  MainWindowState& state = start_main_window(instance, StartOptions{});
  return run_message_loop(state);
}

}  // namespace wrenfold::ui
