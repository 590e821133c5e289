// One load-change-save cycle of a typical settings file, as every settings change in a
// window runs it: read and parse the file, flip one field, serialise and write it through a
// flushed temporary file. The reported CPU time is the program's own cost; the real time
// adds the wait for the disk.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "settings.h"

namespace {

constexpr std::string_view kTypicalFile = R"({
  "Theme": "Dark",
  "FontFamily": "Consolas",
  "FontBold": false,
  "FontItalic": false,
  "FontSizePoints": 12.5,
  "WordWrap": true,
  "StatusBar": true,
  "LineNumbers": true,
  "CheckForUpdates": true,
  "LastUpdateCheck": "2024-05-01T10:00:00+00:00",
  "AvailableUpdate": null,
  "Window": {
    "X": 100,
    "Y": 80,
    "Width": 1000,
    "Height": 700,
    "Maximized": false
  },
  "RecentFiles": [
    "C:\\Users\\someone\\notes.txt",
    "C:\\Users\\someone\\todo.md"
  ]
})";

std::u16string widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }

void LoadChangeSave(benchmark::State& state) {
  char folder[] = "/tmp/wrenfold-settings-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const std::string file = std::string(folder) + "/settings.json";
  if (FILE* out = std::fopen(file.c_str(), "wb")) {
    std::fwrite(kTypicalFile.data(), 1, kTypicalFile.size(), out);
    std::fclose(out);
  }
  const std::u16string path = widen(file);
  for (auto _ : state) {
    wrenfold::AppSettings settings = wrenfold::load_settings(path);
    settings.word_wrap = !settings.word_wrap;
    if (!wrenfold::save_settings(path, settings)) state.SkipWithError("save failed");
  }
  std::remove(file.c_str());
  rmdir(folder);
}
BENCHMARK(LoadChangeSave)->Unit(benchmark::kMicrosecond);

// The same cycle without the file system: parse, change, serialise.
void ParseChangeSerialise(benchmark::State& state) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(kTypicalFile.data());
  for (auto _ : state) {
    wrenfold::AppSettings settings = *wrenfold::parse_settings({bytes, kTypicalFile.size()});
    settings.word_wrap = !settings.word_wrap;
    benchmark::DoNotOptimize(wrenfold::settings_json(settings));
  }
}
BENCHMARK(ParseChangeSerialise)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
