#include "crash_log.h"

#include <gtest/gtest.h>

#include "temp_folder.h"

namespace wrenfold {
namespace {

using testing::core_path;
using testing::read_bytes;
using testing::TempFolder;

TEST(CrashLog, RecordsCarryTimeLocationMessageAndStack) {
  // 2026-12-07T23:50:05Z
  EXPECT_EQ(crash_record(1'796'687'405, {"src/ui/editor.cpp", 144, 9}, "the editor control can be created",
                         "  0: wrenfold.exe+0x1a2b\n  1: wrenfold.exe+0x3c"),
            "2026-12-07T23:50:05+00:00 panicked at src/ui/editor.cpp:144:9:\n"
            "the editor control can be created\n"
            "  0: wrenfold.exe+0x1a2b\n  1: wrenfold.exe+0x3c\n\n");
  EXPECT_EQ(crash_record(-5, {"a.cpp", 1, 2}, std::nullopt, "  0: x+0x1"),
            "1970-01-01T00:00:00+00:00 panicked at a.cpp:1:2\n  0: x+0x1\n\n")
      << "no message: the location alone; times before 1970 count as 1970";
}

TEST(CrashLog, AppendsBesideTheSettingsCreatingTheFolder) {
  TempFolder folder;
  const std::u16string settings = core_path(folder / "missing" / "deeper" / "settings.json");
  EXPECT_EQ(crash_log_path(settings), core_path(folder / "missing" / "deeper" / "error.log"));
  append_crash_record(settings, crash_record(0, {"a.cpp", 1, 1}, "first", "  0: x+0x1"));
  append_crash_record(settings, crash_record(60, {"b.cpp", 2, 2}, "second", "  0: x+0x2"));
  EXPECT_EQ(read_bytes(folder / "missing" / "deeper" / "error.log"),
            "1970-01-01T00:00:00+00:00 panicked at a.cpp:1:1:\nfirst\n  0: x+0x1\n\n"
            "1970-01-01T00:01:00+00:00 panicked at b.cpp:2:2:\nsecond\n  0: x+0x2\n\n")
      << "oldest first, separated by an empty line";
}

TEST(CrashLog, AnUnwritableLogIsSilentlySkipped) {
  TempFolder folder;
  testing::write_bytes(folder / "file", "in the way");  // a file where the folder should be
  append_crash_record(core_path(folder / "file" / "settings.json"), "record");
  EXPECT_EQ(read_bytes(folder / "file"), "in the way");
}

}  // namespace
}  // namespace wrenfold
