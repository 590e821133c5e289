#include "settings.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#include <cmath>
#include <limits>
#include <vector>

#include "temp_folder.h"

namespace wrenfold {
namespace {

using testing::core_path;
using testing::read_bytes;
using testing::TempFolder;
using testing::write_bytes;
namespace fs = std::filesystem;

std::span<const std::uint8_t> bytes_of(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

constexpr std::string_view kExampleFile = R"({
  "Theme": "System",
  "FontFamily": "Consolas",
  "FontBold": false,
  "FontItalic": false,
  "FontSizePoints": 11.0,
  "WordWrap": true,
  "StatusBar": true,
  "LineNumbers": false,
  "CheckForUpdates": null,
  "LastUpdateCheck": null,
  "AvailableUpdate": null,
  "Window": {
    "X": 100,
    "Y": 80,
    "Width": 1000,
    "Height": 700,
    "Maximized": false
  }
})";

TEST(SettingsFile, InvalidFilesGiveNothing) {
  const std::string deep = "{\"Extra\":" + std::string(200, '[') + std::string(200, ']') + "}";
  const std::vector<std::pair<std::string, const char*>> cases = {
      {"", "empty file"},
      {"[]", "array at the top"},
      {"null", "null at the top"},
      {"\"Dark\"", "string at the top"},
      {"{\"Theme\":\"Dark\"},", "comma after the closing brace"},
      {"{\"Theme\":\"Dark\"} {}", "second value"},
      {std::string("{}\0", 3), "zero byte after the object"},
      {"\f{}", "form feed is not white space"},
      {"{\"Theme\":\"Dark\"", "unclosed"},
      {"{\"Theme\":\"Dark\",}", "trailing comma"},
      {"// note\n{}", "comment"},
      {"\xEF\xBB\xBF\xEF\xBB\xBF{}", "two byte-order marks"},
      {"{\"Theme\":\"dark\"}", "theme names are case-sensitive"},
      {"{\"Theme\":null}", "theme can't be null"},
      {"{\"Theme\":\"Dark\",\"FontBold\":null}", "FontBold can't be null"},
      {"{\"FontBold\":1}", "number for a bool"},
      {"{\"FontFamily\":null}", "null for a string"},
      {"{\"FontFamily\":\"\xFF\"}", "ill-formed UTF-8"},
      {"{\"FontFamily\":\"\\ud800\"}", "lone surrogate escape"},
      {"{\"FontSizePoints\":\"11\"}", "string for a number"},
      {"{\"FontSizePoints\":null}", "null for a number"},
      {"{\"FontSizePoints\":1e400}", "number beyond double range"},
      {"{\"Extra\":-1e400}", "infinite number in an extra key"},
      {"{\"CheckForUpdates\":\"yes\"}", "string for an optional bool"},
      {"{\"LastUpdateCheck\":5}", "number for an optional string"},
      {"{\"Window\":true}", "bool for the placement"},
      {"{\"Window\":[100,80,1000,700,false]}", "array for the placement"},
      {"{\"Window\":{\"X\":1.0}}", "float coordinate"},
      {"{\"Window\":{\"X\":2147483648}}", "coordinate above 32 bits"},
      {"{\"Window\":{\"Y\":-2147483649}}", "coordinate below 32 bits"},
      {"{\"Window\":{\"X\":null}}", "null coordinate"},
      {"{\"Window\":{\"Maximized\":0}}", "number for Maximized"},
      {"{\"Window\":{\"X\":1,\"X\":1}}", "key given twice in the placement"},
      {"{\"Window\":{\"Other\":1,\"Other\":2}}", "unknown key given twice in the placement"},
      {deep, "nesting deeper than anyone writes"},
  };
  for (const auto& [text, why] : cases) {
    EXPECT_EQ(parse_settings(bytes_of(text)), std::nullopt) << why;
  }
}

TEST(SettingsFile, ValidFilesSetTheirFields) {
  struct Case {
    std::string text;
    void (*change)(AppSettings&);
    const char* why;
  };
  const std::vector<Case> cases = {
      {"{}", [](AppSettings&) {}, "empty object"},
      {" \t\r\n{ }\r\n", [](AppSettings&) {}, "white space around"},
      {"\xEF\xBB\xBF{\"Theme\":\"Light\"}", [](AppSettings& s) { s.theme = Theme::Light; },
       "byte-order mark"},
      {"{\"Theme\":\"Dark\"}", [](AppSettings& s) { s.theme = Theme::Dark; }, "only the theme"},
      {"{\"Theme\":\"Dark\",\"Theme\":\"Light\"}", [](AppSettings& s) { s.theme = Theme::Light; },
       "the later of two top-level keys wins"},
      {"{\"CheckForUpdates\":null}", [](AppSettings&) {}, "null where allowed"},
      {"{\"CheckForUpdates\":false,\"LastUpdateCheck\":\"2024-01-01T00:00:00+00:00\","
       "\"AvailableUpdate\":\"2.1.0\"}",
       [](AppSettings& s) {
         s.check_for_updates = false;
         s.last_update_check = u"2024-01-01T00:00:00+00:00";
         s.available_update = u"2.1.0";
       },
       "update fields"},
      {"{\"FontFamily\":\"Caf\\u00e9 \xF0\x9F\x98\x80\\ud83d\\ude00\",\"FontBold\":true,"
       "\"FontItalic\":true,\"FontSizePoints\":12,\"WordWrap\":false,\"StatusBar\":false,"
       "\"LineNumbers\":true}",
       [](AppSettings& s) {
         s.font_family = u"Caf\u00e9 \U0001F600\U0001F600";
         s.font_bold = s.font_italic = s.line_numbers = true;
         s.font_size_points = 12.0;
         s.word_wrap = s.status_bar = false;
       },
       "font and view fields; an integer font size"},
      {"{\"Window\":{\"Width\":800}}", [](AppSettings& s) { s.window = {{0, 0, 800, 0, false}}; },
       "missing placement keys read as 0"},
      {"{\"Window\":{\"X\":-5,\"Y\":3,\"Width\":1,\"Height\":2,\"Maximized\":true,\"Z\":[]}}",
       [](AppSettings& s) { s.window = {{-5, 3, 1, 2, true}}; }, "unknown placement key ignored"},
      {"{\"Window\":{}}", [](AppSettings& s) { s.window = WindowPlacement{}; }, "empty placement"},
      {"{\"Window\":null}", [](AppSettings&) {}, "no placement"},
      {"{\"theme\":\"dark\",\"Extra\":{\"X\":1,\"X\":2}}",
       [](AppSettings& s) {
         s.extra_keys["theme"] = "dark";
         s.extra_keys["Extra"] = {{"X", 2}};
       },
       "keys are case-sensitive; duplicates outside the placement are tolerated"},
  };
  for (const Case& c : cases) {
    AppSettings expected;
    c.change(expected);
    const std::optional<AppSettings> parsed = parse_settings(bytes_of(c.text));
    ASSERT_TRUE(parsed.has_value()) << c.why;
    EXPECT_EQ(*parsed, expected) << c.why;
  }
}

TEST(SettingsFile, ExampleFileRoundTripsByteForByte) {
  AppSettings settings;
  settings.window = WindowPlacement{100, 80, 1000, 700, false};
  EXPECT_EQ(settings_json(settings), kExampleFile);
  const std::optional<AppSettings> parsed = parse_settings(bytes_of(kExampleFile));
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(*parsed, settings);
  EXPECT_EQ(settings_json(*parsed), kExampleFile);
}

TEST(SettingsFile, FontSizeIsShortestAndAlwaysAFloat) {
  const std::vector<std::pair<double, std::string_view>> cases = {
      {11.0, "11.0"},
      {10.5, "10.5"},
      {-0.0, "-0.0"},
      {0.1, "0.1"},
      {0.30000000000000004, "0.30000000000000004"},
      {1e21, "1e21"},
      {1e-7, "1e-7"},
      {123456789.0, "123456789.0"},
      {5e-324, "5e-324"},
      {1.7976931348623157e308, "1.7976931348623157e308"},
      // JSON can't hold these; a null would make the next load refuse the whole file.
      {std::numeric_limits<double>::infinity(), "11.0"},
      {std::numeric_limits<double>::quiet_NaN(), "11.0"},
  };
  for (const auto& [size, text] : cases) {
    AppSettings settings;
    settings.font_size_points = size;
    const std::string json = settings_json(settings);
    const std::string line = "\"FontSizePoints\": " + std::string(text) + ",\n";
    EXPECT_NE(json.find(line), std::string::npos) << text << " in\n" << json;
    const std::optional<AppSettings> parsed = parse_settings(bytes_of(json));
    ASSERT_TRUE(parsed.has_value()) << text;
    if (std::isfinite(size)) {
      EXPECT_EQ(std::signbit(parsed->font_size_points), std::signbit(size)) << text;
      EXPECT_EQ(parsed->font_size_points, size) << text;
    }
  }
}

TEST(SettingsFile, WritesStringsAndExtraValuesInTheirJsonForm) {
  AppSettings settings;
  settings.font_family = std::u16string(u"a\"\\/\n\t\x01\x7F\u00e9") + char16_t{0xD800};
  settings.last_update_check = u"2024-05-01T10:00:00+00:00";
  settings.extra_keys = nlohmann::ordered_json::parse(
      R"({"Zeta":[1,-2,1.5e300,true,null],"Alpha":{"a":{"b":[]},"c":{}},"Text":"x\u0000y"})");
  const std::string expected = "{\n"
                               "  \"Theme\": \"System\",\n"
                               "  \"FontFamily\": \"a\\\"\\\\/\\n\\t\\u0001\x7F\xC3\xA9\xEF\xBF\xBD\",\n"
                               "  \"FontBold\": false,\n"
                               "  \"FontItalic\": false,\n"
                               "  \"FontSizePoints\": 11.0,\n"
                               "  \"WordWrap\": true,\n"
                               "  \"StatusBar\": true,\n"
                               "  \"LineNumbers\": false,\n"
                               "  \"CheckForUpdates\": null,\n"
                               "  \"LastUpdateCheck\": \"2024-05-01T10:00:00+00:00\",\n"
                               "  \"AvailableUpdate\": null,\n"
                               "  \"Window\": null,\n"
                               "  \"Zeta\": [\n"
                               "    1,\n"
                               "    -2,\n"
                               "    1.5e300,\n"
                               "    true,\n"
                               "    null\n"
                               "  ],\n"
                               "  \"Alpha\": {\n"
                               "    \"a\": {\n"
                               "      \"b\": []\n"
                               "    },\n"
                               "    \"c\": {}\n"
                               "  },\n"
                               "  \"Text\": \"x\\u0000y\"\n"
                               "}";
  EXPECT_EQ(settings_json(settings), expected);
}

TEST(SettingsStore, ExtraKeysSurviveManyCyclesAfterWindow) {
  TempFolder folder;
  const std::u16string path = core_path(folder / "settings.json");
  write_bytes(folder / "settings.json",
              "{\"Extra\": [1, 2], \"Theme\": \"Dark\", \"Other\": {\"k\": 0.5}, \"Window\": "
              "{\"X\": 1}}");
  for (int cycle = 0; cycle < 5; ++cycle) {
    AppSettings settings = load_settings(path);
    ASSERT_EQ(settings.theme, Theme::Dark) << cycle;
    settings.font_size_points += 1;
    ASSERT_TRUE(save_settings(path, settings)) << cycle;
  }
  const std::string saved = read_bytes(folder / "settings.json");
  const std::size_t window = saved.find("\"Window\"");
  const std::size_t extra = saved.find("\"Extra\": [\n    1,\n    2\n  ]");
  const std::size_t other = saved.find("\"Other\": {\n    \"k\": 0.5\n  }");
  EXPECT_NE(window, std::string::npos);
  EXPECT_NE(extra, std::string::npos);
  EXPECT_NE(other, std::string::npos);
  EXPECT_LT(window, extra);
  EXPECT_LT(extra, other);
  EXPECT_NE(saved.find("\"FontSizePoints\": 16.0"), std::string::npos);
  EXPECT_EQ(saved.back(), '}');
}

TEST(SettingsStore, MissingOrDamagedFilesGiveDefaultsAndSavingDropsTheMark) {
  TempFolder folder;
  const fs::path file = folder / "settings.json";
  EXPECT_EQ(load_settings(core_path(file)), AppSettings{});
  EXPECT_EQ(load_settings(core_path(folder.path())), AppSettings{}) << "a folder";

  write_bytes(file, "{\"Theme\":\"Dark\",\"FontBold\":null}");
  EXPECT_EQ(load_settings(core_path(file)), AppSettings{});

  write_bytes(file, "\xEF\xBB\xBF{\"Theme\":\"Dark\"}");
  AppSettings settings = load_settings(core_path(file));
  EXPECT_EQ(settings.theme, Theme::Dark);
  ASSERT_TRUE(save_settings(core_path(file), settings));
  const std::string saved = read_bytes(file);
  EXPECT_EQ(saved.substr(0, 2), "{\n");
  EXPECT_EQ(parse_settings(bytes_of(saved)), settings);
}

TEST(SettingsStore, SaveCreatesTheFolderOrReportsWhyNot) {
  TempFolder folder;
  const fs::path file = folder / "profile" / ".wrenfold" / "settings.json";
  AppSettings settings;
  settings.line_numbers = true;
  ASSERT_TRUE(save_settings(core_path(file), settings));
  EXPECT_EQ(load_settings(core_path(file)), settings);

  write_bytes(folder / "plain", "x");
  const Result<void> refused = save_settings(core_path(folder / "plain" / "settings.json"), settings);
  ASSERT_FALSE(refused);
  EXPECT_NE(refused.error().message.find(u"(os error "), std::u16string::npos);
  EXPECT_EQ(read_bytes(folder / "plain"), "x");
}

// ---- the profile folder and the move of the earlier release's folder

class Profile {
 public:
  explicit Profile(const std::optional<fs::path>& folder) {
    if (const char* old = std::getenv("USERPROFILE")) saved_ = old;
    set(folder ? std::optional<std::string>(folder->string()) : std::nullopt);
  }
  ~Profile() { set(saved_); }

 private:
  static void set(const std::optional<std::string>& value) {
#ifdef _WIN32
    SetEnvironmentVariableA("USERPROFILE", value ? value->c_str() : nullptr);
#else
    if (value) setenv("USERPROFILE", value->c_str(), 1);
    else unsetenv("USERPROFILE");
#endif
  }
  std::optional<std::string> saved_;
};

TEST(SettingsStore, PathIsInTheProfileFolder) {
  TempFolder folder;
  {
    Profile profile(folder.path());
    EXPECT_EQ(fs::path(settings_path()), folder.path() / ".wrenfold" / "settings.json");
  }
  Profile missing(std::nullopt);
  EXPECT_EQ(fs::path(settings_path()), fs::path(".") / ".wrenfold" / "settings.json");
}

TEST(SettingsStore, LegacyFolderMovesOnlyWhenTheNewOneIsAbsent) {
  struct Case {
    bool legacy;
    bool current;
    bool legacy_is_link;
    const char* why;
  };
  const std::vector<Case> cases = {
      {true, false, false, "only the old folder: it becomes the new one"},
      {true, true, false, "both: nothing moves"},
      {false, false, false, "neither: nothing is created"},
      {true, false, true, "the old folder is a link: nothing moves"},
  };
  for (const Case& c : cases) {
    TempFolder folder;
    const fs::path legacy = folder / ".brackenmoor";
    const fs::path current = folder / ".wrenfold";
    const fs::path elsewhere = folder / "elsewhere";
    if (c.legacy) {
      const fs::path real = c.legacy_is_link ? elsewhere : legacy;
      fs::create_directories(real);
      write_bytes(real / "settings.json", "{\"Theme\":\"Dark\"}");
      if (c.legacy_is_link) {
        std::error_code failed;
        fs::create_directory_symlink(real, legacy, failed);
        if (failed) GTEST_SKIP() << "this system can't make a folder link: " << failed.message();
      }
    }
    if (c.current) {
      fs::create_directories(current);
      write_bytes(current / "settings.json", "{\"Theme\":\"Light\"}");
    }
    Profile profile(folder.path());
    migrate_legacy_folder();

    const bool moves = c.legacy && !c.current && !c.legacy_is_link;
    EXPECT_EQ(fs::exists(fs::symlink_status(legacy)), c.legacy && !moves) << c.why;
    EXPECT_EQ(fs::exists(current), moves || c.current) << c.why;
    const Theme expected = moves ? Theme::Dark : c.current ? Theme::Light : Theme::System;
    EXPECT_EQ(load_settings(settings_path()).theme, expected) << c.why;
  }
}

// ---- several processes sharing one file

#ifndef WRENFOLD_SETTINGS_HELPER
#error "WRENFOLD_SETTINGS_HELPER names the helper program"
#endif

class HelperProcess {
 public:
  explicit HelperProcess(const std::vector<std::string>& arguments) {
#ifdef _WIN32
    std::string command_line = std::string("\"") + WRENFOLD_SETTINGS_HELPER + "\"";
    for (const std::string& argument : arguments) command_line += " \"" + argument + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    started_ = CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &startup, &process_);
    if (started_) CloseHandle(process_.hThread);
#else
    std::vector<std::string> all = {WRENFOLD_SETTINGS_HELPER};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) argv.push_back(argument.data());
    argv.push_back(nullptr);
    started_ = posix_spawn(&process_, argv[0], nullptr, nullptr, argv.data(), environ) == 0;
#endif
  }

  // The exit code, or -1 when the process never ran.
  int wait() {
    if (!started_) return -1;
    started_ = false;
#ifdef _WIN32
    WaitForSingleObject(process_.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    CloseHandle(process_.hProcess);
    return static_cast<int>(code);
#else
    int status = 0;
    waitpid(process_, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  }

  ~HelperProcess() { wait(); }

 private:
  bool started_ = false;
#ifdef _WIN32
  PROCESS_INFORMATION process_{};
#else
  pid_t process_ = 0;
#endif
};

TEST(SettingsStore, AChangeNeverStartsFromAFileItCouldNotRead) {
  TempFolder folder;
  const fs::path file = folder / "settings.json";
  EXPECT_EQ(load_settings_to_change(core_path(file)), AppSettings{}) << "no file yet: the defaults";
  write_bytes(file, "[]");
  EXPECT_EQ(load_settings_to_change(core_path(file)), AppSettings{}) << "a damaged file: the defaults";
  write_bytes(file, "{\"Theme\": \"Dark\"}");
  const std::optional<AppSettings> read = load_settings_to_change(core_path(file));
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->theme, Theme::Dark);

  // Something that is there but can't be read is no reason to write the defaults over it.
  const fs::path unreadable = folder / "unreadable.json";
  fs::create_directory(unreadable);
  EXPECT_EQ(load_settings_to_change(core_path(unreadable)), std::nullopt);
  EXPECT_EQ(load_settings(core_path(unreadable)), AppSettings{}) << "start-up still gets the defaults";
}

int run_helper(const std::vector<std::string>& arguments) { return HelperProcess(arguments).wait(); }

TEST(SettingsProcesses, TakingTurnsKeepsEveryChange) {
  TempFolder folder;
  const fs::path file = folder / "settings.json";
  const std::string path = file.string();
  write_bytes(file, "{\"Marker\": \"kept\"}");

  // Two windows, each loading afresh before changing its own field.
  EXPECT_EQ(run_helper({path, "set", "Theme", "Dark"}), 0);
  EXPECT_EQ(run_helper({path, "set", "FontBold", "true"}), 0);
  EXPECT_EQ(run_helper({path, "set", "WordWrap", "false"}), 0);
  EXPECT_EQ(run_helper({path, "set", "WindowX", "-40"}), 0);

  const AppSettings settings = load_settings(core_path(file));
  EXPECT_EQ(settings.theme, Theme::Dark);
  EXPECT_TRUE(settings.font_bold);
  EXPECT_FALSE(settings.word_wrap);
  ASSERT_TRUE(settings.window.has_value());
  EXPECT_EQ(settings.window->x, -40);
  EXPECT_EQ(settings.extra_keys.value("Marker", ""), "kept");
  EXPECT_EQ(folder.names(), std::vector<std::string>{"settings.json"}) << "no temporary files";
}

TEST(SettingsProcesses, SavingAtTheSameTimeNeverShowsAHalfFile) {
  TempFolder folder;
  const fs::path file = folder / "settings.json";
  const std::string path = file.string();
  write_bytes(file, "{\"Marker\": \"kept\"}");

  // Every load in either process must see a whole file: one without the marker would be
  // a torn or missing file read as the defaults.
  HelperProcess first({path, "churn", "FontSizePoints", "150"});
  HelperProcess second({path, "churn", "WindowX", "150"});
  EXPECT_EQ(first.wait(), 0);
  EXPECT_EQ(second.wait(), 0);

  const std::optional<AppSettings> final_settings = parse_settings(bytes_of(read_bytes(file)));
  ASSERT_TRUE(final_settings.has_value());
  EXPECT_EQ(final_settings->extra_keys.value("Marker", ""), "kept");
  EXPECT_EQ(folder.names(), std::vector<std::string>{"settings.json"}) << "no temporary files";
}

}  // namespace
}  // namespace wrenfold
