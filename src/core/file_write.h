#pragma once
// Saving a file so that a failure at any point leaves the old content where it was.

#include <cstdint>
#include <span>
#include <string_view>

#include "byte_source.h"
#include "result.h"

namespace wrenfold {

// Writes `bytes` to a new temporary file beside the target, flushes it to disk and swaps it
// in; a symbolic link keeps pointing at its target, which gets the new content. Where the
// folder refuses new files but the target itself is writable, the target is overwritten in
// place instead. Errors carry the system's text.
Result<void> write_file_atomically(std::u16string_view path, std::span<const std::uint8_t> bytes);
// The same with the content read from `content` in pieces (rewound first, and again if the
// in-place fallback has to write it once more).
Result<void> write_file_atomically(std::u16string_view path, ByteSource& content);

// The same for a file that others read at any moment (the settings): the temporary file is
// renamed over the target, so a reader finds the old file or the new one, never none.
Result<void> write_file_replacing_by_rename(std::u16string_view path, std::span<const std::uint8_t> bytes);

}  // namespace wrenfold
