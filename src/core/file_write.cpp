#include "file_write.h"

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "platform.h"
#include "utf.h"

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

// The longest name one folder entry may have, in UTF-16 units.
constexpr std::size_t kLongestComponent = 255;

// "{file name}.{unique}.tmp" beside the target, so the swap never crosses volumes. The
// process id, the clock and a counter keep names apart across processes, runs and calls.
// A file name near the length limit loses the end of its own part, so that the temporary
// name still fits.
std::u16string temporary_path_for(std::u16string_view target) {
  const auto since_1970 = std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::system_clock::now().time_since_epoch());
  const std::uint64_t nanoseconds =
      since_1970.count() > 0 ? static_cast<std::uint64_t>(since_1970.count()) : 0;
  constexpr std::uint64_t kLow48Bits = (std::uint64_t{1} << 48) - 1;

  std::u16string tail = u".";
  tail += lower_case_hex(platform::process_id());
  tail += lower_case_hex(nanoseconds & kLow48Bits);
  tail += lower_case_hex(temporary_names_made.fetch_add(1));
  tail += u".tmp";

  std::size_t name_start = target.size();
  while (name_start > 0 && !platform::is_path_separator(target[name_start - 1])) --name_start;
  std::u16string_view name = target.substr(name_start);
  if (name.size() + tail.size() > kLongestComponent) {
    name = name.substr(0, kLongestComponent - tail.size());
    // Never half a surrogate pair.
    if (!name.empty() && utf::is_high_surrogate(name.back())) name.remove_suffix(1);
  }
  std::u16string path(target.substr(0, name_start));
  path += name;
  path += tail;
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
// one is created by the rename. `replace_by_rename` swaps it in by a rename instead, after
// which the target's name never stops naming a whole file, old or new.
SystemStatus swap_in(std::u16string_view target, std::u16string_view temporary, bool replace_by_rename) {
  if (!replace_by_rename && platform::entry_exists(target)) {
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

Result<void> write_through_temporary(std::u16string_view path, ByteSource& content, bool replace_by_rename) {
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
    const bool target_existed = platform::entry_exists(target.value);
    const SystemStatus swap_failure = swap_in(target.value, temporary, replace_by_rename);
    if (!swap_failure) return {};
    // A replace can fail after it has removed the old file: then the temporary file is the
    // only copy left on disk, and it stays where the user can find it.
    if (target_existed && !platform::entry_exists(target.value)) {
      return Error{swap_failure->message + u"\n\nThe file is now only in " + temporary + u"."};
    }
    platform::delete_file(temporary);
    return result_of(swap_failure);
  }

  // Only a file this call created is removed: the name could belong to someone else.
  if (created) platform::delete_file(temporary);
  if (write_failure->permission_denied && platform::is_regular_file(target.value)) {
    return result_of(write_in_place(target.value, content));
  }
  return result_of(write_failure);
}

}  // namespace

Result<void> write_file_atomically(std::u16string_view path, std::span<const std::uint8_t> bytes) {
  SpanByteSource content(bytes);
  return write_file_atomically(path, content);
}

Result<void> write_file_atomically(std::u16string_view path, ByteSource& content) {
  return write_through_temporary(path, content, false);
}

Result<void> write_file_replacing_by_rename(std::u16string_view path, std::span<const std::uint8_t> bytes) {
  SpanByteSource content(bytes);
  return write_through_temporary(path, content, true);
}

}  // namespace wrenfold
