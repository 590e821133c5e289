#include "crash_log.h"

#include <span>

#include "platform.h"
#include "timestamp.h"

namespace wrenfold {

std::u16string crash_log_path(std::u16string_view settings_path) {
  std::size_t name_start = settings_path.size();
  while (name_start > 0 && !platform::is_path_separator(settings_path[name_start - 1])) --name_start;
  return std::u16string(settings_path.substr(0, name_start)) + u"error.log";
}

std::string crash_record(std::int64_t unix_seconds, const SourceSite& site,
                         std::optional<std::string_view> message, std::string_view stack_trace) {
  const std::u16string stamp = format_utc_timestamp(unix_seconds < 0 ? 0 : unix_seconds);
  std::string record(stamp.begin(), stamp.end());  // the stamp is ASCII
  record += " panicked at ";
  record += site.file;
  record += ':' + std::to_string(site.line) + ':' + std::to_string(site.column);
  if (message) {
    record += ":\n";
    record += *message;
  }
  record += '\n';
  record += stack_trace;
  record += "\n\n";
  return record;
}

void append_crash_record(std::u16string_view settings_path, std::string_view record) {
  const std::u16string path = crash_log_path(settings_path);
  const std::u16string_view folder(path.data(), path.size() - std::u16string_view(u"error.log").size());
  if (!folder.empty()) platform::create_folders(folder);
  platform::SystemResult<platform::File> file = platform::open_file_for_appending(path);
  if (file.error) return;
  std::span<const std::uint8_t> left(reinterpret_cast<const std::uint8_t*>(record.data()), record.size());
  while (!left.empty()) {
    const platform::SystemResult<std::size_t> written = platform::write_to_file(file.value, left);
    if (written.error || written.value == 0) break;
    left = left.subspan(written.value);
  }
  platform::close_file(file.value);
}

}  // namespace wrenfold
