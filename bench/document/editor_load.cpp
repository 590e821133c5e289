// How long the editor control takes to take in a whole document, under Wine, for 1 MiB and
// 10 MiB of text. For information: the rich edit control of Wine is far slower at this than
// the one of Windows, so there is no target.

#include <windows.h>
#include <ole2.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "document.h"
#include "main_window_state.h"
#include "settings.h"
#include "startup.h"

int wmain() {
  using namespace wrenfold;
  OleInitialize(nullptr);
  const std::filesystem::path settings = std::filesystem::temp_directory_path() / "wrenfold-editor-load-settings.json";
  AppSettings defaults;
  defaults.check_for_updates = false;
  save_settings(settings.u16string(), defaults);
  ui::StartOptions options;
  options.settings_path = settings.u16string();
  options.command_line = u"editor_load_bench.exe";
  ui::MainWindowState& state = ui::start_main_window(GetModuleHandleW(nullptr), options);

  const std::u16string line = u"The quick brown fox \u00E9t\u00E9 \u2192 jumps over the lazy dog, 0123456789.\r";
  for (const std::size_t mebibytes : {1u, 10u}) {
    std::u16string text;
    while (text.size() * 2 < (mebibytes << 20)) text += line;  // UTF-16: two bytes a unit
    const auto start = std::chrono::steady_clock::now();
    ui::load_document(state, std::move(text), std::nullopt, Encoding::Utf8, LineEnding::Windows);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("editor load of %2zu MiB of text: %8.2f s (information)\n", mebibytes, seconds);
    std::fflush(stdout);
  }
  state.modified = false;
  DestroyWindow(state.main_window);
  std::filesystem::remove(settings);
  OleUninitialize();
  return 0;
}
