#pragma once
// The user's preferences: one JSON file in the profile folder, shared by every running
// window. Callers load it afresh, change their own fields and save at once, so that what
// other windows saved in between survives.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "placement.h"
#include "result.h"

namespace wrenfold {

enum class Theme : std::uint8_t { System, Light, Dark };

// Members in the order in which their keys are written.
struct AppSettings {
  Theme theme = Theme::System;
  std::u16string font_family = u"Consolas";
  bool font_bold = false;
  bool font_italic = false;
  double font_size_points = 11.0;
  bool word_wrap = true;
  bool status_bar = true;
  bool line_numbers = false;
  std::optional<bool> check_for_updates;  // nothing: the user hasn't been asked yet
  std::optional<std::u16string> last_update_check;
  std::optional<std::u16string> available_update;
  std::optional<WindowPlacement> window;  // the last closed window
  // Keys this version doesn't know, with their values in file order. They are kept for
  // whichever version wrote them and go back after "Window" on every save.
  nlohmann::ordered_json extra_keys = nlohmann::ordered_json::object();

  bool operator==(const AppSettings&) const = default;
};

// "{USERPROFILE}/.wrenfold/settings.json"; the current folder stands in for a missing profile.
std::u16string settings_path();

// Moves the folder of the earlier release to the new name, once, before the first load.
// A new folder that already exists always wins; failures leave everything as it was.
void migrate_legacy_folder();

// The settings in `bytes`, or nothing when they are not a valid settings file.
std::optional<AppSettings> parse_settings(std::span<const std::uint8_t> bytes);

// The file's exact bytes: two-space indentation, every known key present, no final newline.
std::string settings_json(const AppSettings& settings);

// Never fails: a missing, unreadable or invalid file gives the defaults.
AppSettings load_settings(std::u16string_view path);

// The settings a caller is about to change and save back. A missing or invalid file gives
// the defaults, but a file that is there and can't be read (another program holds it, say)
// gives nothing after a few tries over a short while: saving then would wipe it.
std::optional<AppSettings> load_settings_to_change(std::u16string_view path);

// Creates the folder when needed and replaces the file whole; the old file stays intact
// when anything fails.
Result<void> save_settings(std::u16string_view path, const AppSettings& settings);

}  // namespace wrenfold
