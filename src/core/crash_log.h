#pragma once
// The record an internal fatal error leaves in error.log beside the settings file, for the
// user to send along with a report.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wrenfold {

struct SourceSite {
  std::string_view file;
  std::uint32_t line = 0;
  std::uint32_t column = 0;
};

// "error.log" in the settings file's folder.
std::u16string crash_log_path(std::u16string_view settings_path);

// One UTF-8 record: time stamp, "panicked at file:line:column", the message on the next line
// when there is one, the stack trace, and an empty line that separates it from the next.
std::string crash_record(std::int64_t unix_seconds, const SourceSite& site,
                         std::optional<std::string_view> message, std::string_view stack_trace);

// Appends `record`, creating the folder if needed. Every failure is swallowed: the log must
// never hide the error it reports.
void append_crash_record(std::u16string_view settings_path, std::string_view record);

}  // namespace wrenfold
