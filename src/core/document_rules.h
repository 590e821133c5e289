#pragma once
// The decisions of the document flows that need no window: the large-file threshold and its
// size text, file names taken from paths, and where a selection lands after a reload.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wrenfold {

// Files up to this size open without asking.
inline constexpr std::uint64_t kLargeFileBytes = 104'857'600;

// The last component of `path` (after the last "\" or "/"); empty when there is none.
std::u16string path_file_name(std::u16string_view path);

// The folder part of `path`, or nothing when it has none. A drive root keeps its separator
// ("C:\"), because "C:" alone means the drive's current folder.
std::optional<std::u16string> path_parent(std::u16string_view path);

// True when both paths name the same components: separators of either kind, and runs of
// them, count as one.
bool same_path_components(std::u16string_view first, std::u16string_view second);

// The size in whole MiB, rounded to nearest, grouped with `separator`.
std::u16string megabytes_text(std::uint64_t size, std::u16string_view separator);

// The question to ask before opening a file of `size` bytes named `name`, or nothing when the
// file is small enough to open at once.
std::optional<std::u16string> large_file_question(std::u16string_view name, std::uint64_t size,
                                                  std::u16string_view separator);

struct SelectionRange {
  std::size_t start = 0;
  std::size_t end = 0;
  bool operator==(const SelectionRange&) const = default;
};

// The selection of a text of `old_length` units carried over to the reloaded text of
// `new_length`: both ends within the new text and the end not before the start.
SelectionRange clamp_restored_selection(SelectionRange selection, std::size_t old_length,
                                        std::size_t new_length);

}  // namespace wrenfold
