#pragma once
// The file that keeps a window's unsaved text while it is being edited, so that a crash, a
// killed process or a power cut loses nothing: what it holds, its bytes, and its reading.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "byte_source.h"
#include "codec.h"
#include "result.h"

namespace wrenfold {

// Everything beside the text that a window needs to take the document up again.
struct RecoveryHeader {
  std::optional<std::u16string> path;  // none for an untitled document
  Encoding encoding = Encoding::Utf8;
  LineEnding line_ending = LineEnding::Windows;
  // (last-write time, size) of the file as the window last read or wrote it.
  std::optional<std::pair<std::uint64_t, std::uint64_t>> disk_stamp;
  std::int64_t saved_at = 0;        // Unix seconds
  std::uint32_t owner_process = 0;  // the process that wrote it
};

struct RecoveryContent {
  RecoveryHeader header;
  std::u16string text;  // editor text: every line break a single CR
};

inline constexpr std::u16string_view kRecoveryFileExtension = u".recovery";

// A short readable header, then the path and the text as UTF-16 LE, so that any text,
// unpaired surrogates included, comes back unit for unit. A checksum covers the payload.
std::vector<std::uint8_t> format_recovery_file(const RecoveryHeader& header, std::u16string_view text);

// The same bytes handed out in pieces for the file writer, so that a large document is never
// held a second time beside its text. The path and the text must outlive it unchanged.
class RecoveryFileSource final : public ByteSource {
 public:
  RecoveryFileSource(const RecoveryHeader& header, std::u16string_view text);
  Result<std::size_t> read(std::span<std::uint8_t> buffer) override;
  Result<void> rewind() override;

 private:
  std::vector<std::uint8_t> head_;
  std::u16string_view path_;
  std::u16string_view text_;
  std::uint64_t position_ = 0;  // in bytes, the head included
};

// Fails with a message for anything that is not a whole, undamaged recovery file.
Result<RecoveryContent> parse_recovery_file(std::span<const std::uint8_t> bytes);

}  // namespace wrenfold
