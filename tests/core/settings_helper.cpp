// A second program for the settings tests: it changes one field the way a window does
// (load afresh, change, save at once), so that tests can run several real processes
// against one settings file.
//
//   settings_helper <path> set <field> <value>    one change
//   settings_helper <path> churn <field> <count>  <count> changes; each load must still
//                                                 hold the "Marker" key every writer keeps
//                                                 (a load that can't read skips its save)
//
// Exit codes: 0 done, 2 bad arguments, 3 a load came back without the marker, 4 a save failed.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "settings.h"

namespace {

using wrenfold::AppSettings;

std::u16string widen(const char* text) {
  std::u16string wide;
  for (; *text != '\0'; ++text) wide += static_cast<char16_t>(static_cast<unsigned char>(*text));
  return wide;
}

bool set_field(AppSettings& settings, const std::string& field, const std::string& value) {
  if (field == "Theme") {
    settings.theme = value == "Dark"    ? wrenfold::Theme::Dark
                     : value == "Light" ? wrenfold::Theme::Light
                                        : wrenfold::Theme::System;
  } else if (field == "FontBold") {
    settings.font_bold = value == "true";
  } else if (field == "WordWrap") {
    settings.word_wrap = value == "true";
  } else if (field == "LineNumbers") {
    settings.line_numbers = value == "true";
  } else if (field == "FontSizePoints") {
    settings.font_size_points = std::atof(value.c_str());
  } else if (field == "WindowX") {
    if (!settings.window) settings.window.emplace();
    settings.window->x = std::atoi(value.c_str());
  } else {
    return false;
  }
  return true;
}

int save(const std::u16string& path, const AppSettings& settings) {
  const wrenfold::Result<void> saved = wrenfold::save_settings(path, settings);
  if (saved) return 0;
  std::string message(saved.error().message.begin(), saved.error().message.end());
  std::fprintf(stderr, "save failed: %s\n", message.c_str());
  return 4;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  const std::u16string path = widen(argv[1]);
  const std::string command = argv[2];
  const std::string field = argv[3];

  if (command == "set") {
    AppSettings settings = wrenfold::load_settings(path);
    if (!set_field(settings, field, argv[4])) return 2;
    return save(path, settings);
  }
  if (command == "churn") {
    const int count = std::atoi(argv[4]);
    for (int i = 1; i <= count; ++i) {
      std::optional<AppSettings> settings = wrenfold::load_settings_to_change(path);
      if (!settings) continue;
      if (!settings->extra_keys.contains("Marker")) return 3;
      if (!set_field(*settings, field, std::to_string(i))) return 2;
      if (const int failed = save(path, *settings)) return failed;
    }
    return 0;
  }
  return 2;
}
