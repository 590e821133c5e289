#include "settings.h"

#include <chrono>
#include <thread>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <set>
#include <vector>

#include "file_write.h"
#include "platform.h"
#include "utf.h"

namespace wrenfold {
namespace {

using Json = nlohmann::ordered_json;

// Deeper files are refused rather than risk the stack of the code that walks them.
constexpr int kMaxNesting = 128;

constexpr std::u16string_view kFolderName = u".wrenfold";
constexpr std::u16string_view kLegacyFolderName = u".brackenmoor";
constexpr std::u16string_view kFileName = u"settings.json";

constexpr std::string_view theme_name(Theme theme) {
  switch (theme) {
    case Theme::Light: return "Light";
    case Theme::Dark: return "Dark";
    case Theme::System: break;
  }
  return "System";
}

std::optional<Theme> theme_from_name(std::string_view name) {
  for (Theme theme : {Theme::System, Theme::Light, Theme::Dark}) {
    if (name == theme_name(theme)) return theme;
  }
  return std::nullopt;
}

// The parser has already refused ill-formed UTF-8, so every sequence here is valid.
std::u16string utf16_of(std::string_view text) {
  return utf::utf16_from_utf8({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

// A lone surrogate, which JSON text can't carry, becomes U+FFFD.
std::string utf8_of(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  std::uint8_t buffer[4];
  for (std::size_t i = 0; i < text.size();) {
    const utf::CodePoint code_point = utf::code_point_at(text.data(), text.size(), i);
    out.append(reinterpret_cast<const char*>(buffer), utf::put_utf8(code_point.value, buffer));
    i += code_point.units;
  }
  return out;
}

// ---- reading

// What the parser saw that the tree it builds no longer shows.
struct ParseChecks {
  struct Object {
    std::set<std::string> keys;
    bool is_window = false;
  };
  std::vector<Object> objects;
  std::string top_level_key;
  bool invalid = false;
};

bool read_int32(const Json& value, std::int32_t& out) {
  if (value.is_number_unsigned()) {
    const auto number = value.get<std::uint64_t>();
    if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) return false;
    out = static_cast<std::int32_t>(number);
    return true;
  }
  if (!value.is_number_integer()) return false;
  const auto number = value.get<std::int64_t>();
  if (number < std::numeric_limits<std::int32_t>::min() ||
      number > std::numeric_limits<std::int32_t>::max()) {
    return false;
  }
  out = static_cast<std::int32_t>(number);
  return true;
}

std::optional<WindowPlacement> read_placement(const Json& object) {
  WindowPlacement placement;
  for (const auto& [key, value] : object.items()) {
    std::int32_t* field = key == "X"        ? &placement.x
                          : key == "Y"      ? &placement.y
                          : key == "Width"  ? &placement.width
                          : key == "Height" ? &placement.height
                                            : nullptr;
    if (field != nullptr) {
      if (!read_int32(value, *field)) return std::nullopt;
    } else if (key == "Maximized") {
      if (!value.is_boolean()) return std::nullopt;
      placement.maximized = value.get<bool>();
    }
  }
  return placement;
}

bool read_bool(const Json& value, bool& out) {
  if (!value.is_boolean()) return false;
  out = value.get<bool>();
  return true;
}

template <typename T, typename Read>
bool read_optional(const Json& value, std::optional<T>& out, Read read) {
  if (value.is_null()) {
    out.reset();
    return true;
  }
  T read_value{};
  if (!read(value, read_value)) return false;
  out = std::move(read_value);
  return true;
}

bool read_string(const Json& value, std::u16string& out) {
  if (!value.is_string()) return false;
  out = utf16_of(value.get_ref<const std::string&>());
  return true;
}

// Sets the field `key` names; false when the value has the wrong type for it.
bool read_known_key(const std::string& key, const Json& value, AppSettings& settings,
                    bool& known) {
  known = true;
  if (key == "Theme") {
    if (!value.is_string()) return false;
    const std::optional<Theme> theme = theme_from_name(value.get_ref<const std::string&>());
    if (!theme) return false;
    settings.theme = *theme;
    return true;
  }
  if (key == "FontFamily") return read_string(value, settings.font_family);
  if (key == "FontBold") return read_bool(value, settings.font_bold);
  if (key == "FontItalic") return read_bool(value, settings.font_italic);
  if (key == "FontSizePoints") {
    if (!value.is_number()) return false;
    settings.font_size_points = value.get<double>();
    return true;
  }
  if (key == "WordWrap") return read_bool(value, settings.word_wrap);
  if (key == "StatusBar") return read_bool(value, settings.status_bar);
  if (key == "LineNumbers") return read_bool(value, settings.line_numbers);
  if (key == "CheckForUpdates") return read_optional(value, settings.check_for_updates, read_bool);
  if (key == "LastUpdateCheck") return read_optional(value, settings.last_update_check, read_string);
  if (key == "AvailableUpdate") return read_optional(value, settings.available_update, read_string);
  if (key == "Window") {
    if (value.is_null()) {
      settings.window.reset();
      return true;
    }
    if (!value.is_object()) return false;
    settings.window = read_placement(value);
    return settings.window.has_value();
  }
  known = false;
  return true;
}

// ---- writing

void append_double(std::string& out, double value) {
  char buffer[32];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, end);
  // to_chars writes "1e+21" and "1e-05"; the exponent needs neither the sign nor the zero.
  if (const std::size_t e = text.find('e'); e != std::string::npos) {
    std::size_t digits = e + 1;
    if (text[digits] == '-') ++digits;
    std::size_t first = digits;
    if (text[first] == '+') ++first;
    while (first + 1 < text.size() && text[first] == '0') ++first;
    text.erase(digits, first - digits);
  } else if (text.find('.') == std::string::npos) {
    // A whole number still reads as a float: 11.0, never 11.
    text += ".0";
  }
  out += text;
}

void append_string(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          constexpr char kHex[] = "0123456789abcdef";
          out += "\\u00";
          out += kHex[static_cast<unsigned char>(c) >> 4];
          out += kHex[c & 0xF];
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

void append_indent(std::string& out, int level) { out.append(static_cast<std::size_t>(level) * 2, ' '); }

void append_value(std::string& out, const Json& value, int level) {
  switch (value.type()) {
    case Json::value_t::null: out += "null"; return;
    case Json::value_t::boolean: out += value.get<bool>() ? "true" : "false"; return;
    case Json::value_t::number_integer: out += std::to_string(value.get<std::int64_t>()); return;
    case Json::value_t::number_unsigned: out += std::to_string(value.get<std::uint64_t>()); return;
    case Json::value_t::number_float: {
      const double number = value.get<double>();
      if (std::isfinite(number)) append_double(out, number);
      else out += "null";
      return;
    }
    case Json::value_t::string: append_string(out, value.get_ref<const std::string&>()); return;
    case Json::value_t::array: {
      if (value.empty()) {
        out += "[]";
        return;
      }
      out += "[\n";
      bool first = true;
      for (const Json& element : value) {
        if (!first) out += ",\n";
        first = false;
        append_indent(out, level + 1);
        append_value(out, element, level + 1);
      }
      out += '\n';
      append_indent(out, level);
      out += ']';
      return;
    }
    case Json::value_t::object: {
      if (value.empty()) {
        out += "{}";
        return;
      }
      out += "{\n";
      bool first = true;
      for (const auto& [key, element] : value.items()) {
        if (!first) out += ",\n";
        first = false;
        append_indent(out, level + 1);
        append_string(out, key);
        out += ": ";
        append_value(out, element, level + 1);
      }
      out += '\n';
      append_indent(out, level);
      out += '}';
      return;
    }
    case Json::value_t::binary:
    case Json::value_t::discarded: out += "null"; return;
  }
}

// Writes `"Key": ` on a new line of the top-level object.
void append_key(std::string& out, std::string_view key) {
  out += out.back() == '\n' ? "  " : ",\n  ";
  append_string(out, key);
  out += ": ";
}

void append_text_or_null(std::string& out, const std::optional<std::u16string>& text) {
  if (text) append_string(out, utf8_of(*text));
  else out += "null";
}

std::u16string profile_folder() {
  return platform::environment_variable(u"USERPROFILE").value_or(u".");
}

std::u16string_view parent_of(std::u16string_view path) {
  std::size_t end = path.size();
  while (end > 0 && !platform::is_path_separator(path[end - 1])) --end;
  if (end == 0) return {};
  return path.substr(0, end - 1);
}

}  // namespace

std::u16string settings_path() {
  return platform::join_path(platform::join_path(profile_folder(), kFolderName), kFileName);
}

void migrate_legacy_folder() {
  const std::u16string legacy = platform::join_path(profile_folder(), kLegacyFolderName);
  const std::u16string path = settings_path();
  const std::u16string folder(parent_of(path));
  if (platform::is_real_folder(legacy) && !platform::entry_exists(folder)) {
    platform::move_folder(legacy, folder);
  }
}

std::optional<AppSettings> parse_settings(std::span<const std::uint8_t> bytes) {
  if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    bytes = bytes.subspan(3);
  }
  // The parser would skip a second mark and stop at a zero byte as if the input ended
  // there; JSON allows neither.
  if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    return std::nullopt;
  }
  if (std::find(bytes.begin(), bytes.end(), std::uint8_t{0}) != bytes.end()) return std::nullopt;

  ParseChecks checks;
  const Json::parser_callback_t callback = [&checks](int depth, Json::parse_event_t event,
                                                     Json& parsed) {
    switch (event) {
      case Json::parse_event_t::object_start:
        checks.objects.push_back({{}, checks.objects.size() == 1 && checks.top_level_key == "Window"});
        [[fallthrough]];
      case Json::parse_event_t::array_start:
        if (depth >= kMaxNesting) checks.invalid = true;
        break;
      case Json::parse_event_t::object_end: checks.objects.pop_back(); break;
      case Json::parse_event_t::key: {
        ParseChecks::Object& object = checks.objects.back();
        std::string key = parsed.get<std::string>();
        if (checks.objects.size() == 1) checks.top_level_key = key;
        if (!object.keys.insert(std::move(key)).second && object.is_window) checks.invalid = true;
        break;
      }
      case Json::parse_event_t::value:
        // Too large for a double: the number would come back as null.
        if (parsed.is_number_float() && !std::isfinite(parsed.get<double>())) checks.invalid = true;
        break;
      case Json::parse_event_t::array_end: break;
    }
    return true;
  };
  Json root = Json::parse(bytes.begin(), bytes.end(), callback, /*allow_exceptions=*/false,
                          /*ignore_comments=*/false);
  if (checks.invalid || !root.is_object()) return std::nullopt;

  AppSettings settings;
  for (auto& [key, value] : root.items()) {
    bool known = false;
    if (!read_known_key(key, value, settings, known)) return std::nullopt;
    if (!known) settings.extra_keys[key] = std::move(value);
  }
  return settings;
}

std::string settings_json(const AppSettings& settings) {
  std::string out = "{\n";
  append_key(out, "Theme");
  append_string(out, theme_name(settings.theme));
  append_key(out, "FontFamily");
  append_string(out, utf8_of(settings.font_family));
  append_key(out, "FontBold");
  out += settings.font_bold ? "true" : "false";
  append_key(out, "FontItalic");
  out += settings.font_italic ? "true" : "false";
  append_key(out, "FontSizePoints");
  // JSON has no infinity; a file with null here would be refused whole on the next load.
  append_double(out, std::isfinite(settings.font_size_points) ? settings.font_size_points
                                                              : AppSettings{}.font_size_points);
  append_key(out, "WordWrap");
  out += settings.word_wrap ? "true" : "false";
  append_key(out, "StatusBar");
  out += settings.status_bar ? "true" : "false";
  append_key(out, "LineNumbers");
  out += settings.line_numbers ? "true" : "false";
  append_key(out, "CheckForUpdates");
  out += !settings.check_for_updates ? "null" : *settings.check_for_updates ? "true" : "false";
  append_key(out, "LastUpdateCheck");
  append_text_or_null(out, settings.last_update_check);
  append_key(out, "AvailableUpdate");
  append_text_or_null(out, settings.available_update);
  append_key(out, "Window");
  if (const std::optional<WindowPlacement>& window = settings.window) {
    out += "{\n    \"X\": " + std::to_string(window->x);
    out += ",\n    \"Y\": " + std::to_string(window->y);
    out += ",\n    \"Width\": " + std::to_string(window->width);
    out += ",\n    \"Height\": " + std::to_string(window->height);
    out += ",\n    \"Maximized\": ";
    out += window->maximized ? "true" : "false";
    out += "\n  }";
  } else {
    out += "null";
  }
  if (settings.extra_keys.is_object()) {
    for (const auto& [key, value] : settings.extra_keys.items()) {
      append_key(out, key);
      append_value(out, value, 1);
    }
  }
  out += "\n}";
  return out;
}

AppSettings load_settings(std::u16string_view path) {
  const platform::SystemResult<std::vector<std::uint8_t>> bytes = platform::read_file(path);
  if (bytes.error) return {};
  return parse_settings(bytes.value).value_or(AppSettings{});
}

// Other windows read and replace the same file; a clash with one of them passes quickly.
// The pause grows with each attempt (half a second in all), so two windows that clash
// fall out of step.
constexpr int kFileAttempts = 10;
std::chrono::milliseconds pause_after(int attempt) { return std::chrono::milliseconds(10 * attempt); }

std::optional<AppSettings> load_settings_to_change(std::u16string_view path) {
  for (int attempt = 1;; ++attempt) {
    const platform::SystemResult<std::vector<std::uint8_t>> bytes = platform::read_file(path);
    if (!bytes.error) return parse_settings(bytes.value).value_or(AppSettings{});
    if (!platform::entry_exists(path)) return AppSettings{};
    if (attempt == kFileAttempts) return std::nullopt;
    std::this_thread::sleep_for(pause_after(attempt));
  }
}

Result<void> save_settings(std::u16string_view path, const AppSettings& settings) {
  // A folder that can't be made shows up as the write's own error.
  if (const std::u16string_view folder = parent_of(path); !folder.empty()) {
    platform::create_folders(folder);
  }
  const std::string json = settings_json(settings);
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(json.data()), json.size());
  // Another window reading the file at that moment can make the rename over it fail.
  for (int attempt = 1;; ++attempt) {
    Result<void> written = write_file_replacing_by_rename(path, bytes);
    if (written || attempt == kFileAttempts) return written;
    std::this_thread::sleep_for(pause_after(attempt));
  }
}

}  // namespace wrenfold
