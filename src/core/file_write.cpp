#include "file_write.h"

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "platform.h"

namespace wrenfold {
namespace {

using platform::SystemError;
using platform::SystemStatus;

std::atomic<std::uint64_t> temporary_names_made{0};

std::u16string lower_case_hex(std::uint64_t value) {
  std::u16string digits;
  do {
    digits.insert(digits.begin(), u"0123456789abcdef"[value % 16]);
    value /= 16;
  } while (value != 0);
  return digits;
}

// "{file name}.{unique}.tmp" beside the target, so the swap never crosses volumes. The
// process id, the clock and a counter keep names apart across processes, runs and calls.
std::u16string temporary_path_for(std::u16string_view target) {
  const auto since_1970 = std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::system_clock::now().time_since_epoch());
  const std::uint64_t nanoseconds =
      since_1970.count() > 0 ? static_cast<std::uint64_t>(since_1970.count()) : 0;
  constexpr std::uint64_t kLow48Bits = (std::uint64_t{1} << 48) - 1;

  std::u16string path(target);
  path += u'.';
  path += lower_case_hex(platform::process_id());
  path += lower_case_hex(nanoseconds & kLow48Bits);
  path += lower_case_hex(temporary_names_made.fetch_add(1));
  path += u".tmp";
  return path;
}

SystemStatus write_all(const platform::File& file, std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    const platform::SystemResult<std::size_t> written = platform::write_to_file(file, bytes);
    if (written.error) return written.error;
    if (written.value == 0) return SystemError{0, false, u"failed to write whole buffer"};
    bytes = bytes.subspan(written.value);
  }
  return std::nullopt;
}

// Writes all of `content`, from its start, and says how many bytes that was.
platform::SystemResult<std::uint64_t> write_content(const platform::File& file, ByteSource& content) {
  if (Result<void> rewound = content.rewind(); !rewound) {
    return {0, SystemError{0, false, rewound.error().message}};
  }
  std::vector<std::uint8_t> piece(std::size_t{1} << 16);
  std::uint64_t total = 0;
  while (true) {
    const Result<std::size_t> count = content.read(piece);
    if (!count) return {0, SystemError{0, false, count.error().message}};
    if (*count == 0) return {total, std::nullopt};
    if (SystemStatus failure = write_all(file, std::span(piece).first(*count))) return {0, failure};
    total += *count;
  }
}

// `created` tells the caller whether a file of that name is now its to remove.
SystemStatus write_new_file(std::u16string_view path, ByteSource& content, bool& created) {
  platform::SystemResult<platform::File> file = platform::create_new_file(path);
  created = !file.error;
  if (file.error) return file.error;
  if (const auto written = write_content(file.value, content); written.error) return written.error;
  if (SystemStatus failure = platform::flush_file(file.value)) return failure;
  return platform::close_file(file.value);
}

SystemStatus write_in_place(std::u16string_view path, ByteSource& content) {
  platform::SystemResult<platform::File> file = platform::open_file_for_writing(path);
  if (file.error) return file.error;
  const platform::SystemResult<std::uint64_t> written = write_content(file.value, content);
  if (written.error) return written.error;
  if (SystemStatus failure = platform::set_file_length(file.value, written.value)) return failure;
  if (SystemStatus failure = platform::flush_file(file.value)) return failure;
  return platform::close_file(file.value);
}

// An existing target is replaced so that it keeps its identity and attributes; a missing
// one is created by the rename.
SystemStatus swap_in(std::u16string_view target, std::u16string_view temporary) {
  if (platform::entry_exists(target)) {
    const SystemStatus replaced = platform::replace_file(target, temporary);
    // Another program may have moved or deleted the target meanwhile (another window's
    // save, for one); then there is nothing left to replace.
    if (!replaced || platform::entry_exists(target)) return replaced;
  }
  return platform::rename_file(temporary, target);
}

Result<void> result_of(const SystemStatus& status) {
  if (status) return Error{status->message};
  return {};
}

}  // namespace

Result<void> write_file_atomically(std::u16string_view path, std::span<const std::uint8_t> bytes) {
  SpanByteSource content(bytes);
  return write_file_atomically(path, content);
}

Result<void> write_file_atomically(std::u16string_view path, ByteSource& content) {
  if (path.empty()) return Error{u"cannot make an empty path absolute"};
  platform::SystemResult<std::u16string> target = platform::full_path(path);
  if (target.error) return Error{target.error->message};
  if (platform::is_symbolic_link(target.value)) {
    target = platform::final_path(target.value);
    if (target.error) return Error{target.error->message};
  }

  const std::u16string temporary = temporary_path_for(target.value);
  bool created = false;
  const SystemStatus write_failure = write_new_file(temporary, content, created);
  if (!write_failure) {
    const SystemStatus swap_failure = swap_in(target.value, temporary);
    if (swap_failure) platform::delete_file(temporary);
    return result_of(swap_failure);
  }

  // Only a file this call created is removed: the name could belong to someone else.
  if (created) platform::delete_file(temporary);
  if (write_failure->permission_denied && platform::is_regular_file(target.value)) {
    return result_of(write_in_place(target.value, content));
  }
  return result_of(write_failure);
}

}  // namespace wrenfold
