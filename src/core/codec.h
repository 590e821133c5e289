#pragma once
// Bytes of a file to editor text (UTF-16, every line break a single CR) and back.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "byte_source.h"
#include "result.h"

namespace wrenfold {

enum class Encoding : std::uint8_t {
  Utf8 = 0,
  Utf8Bom = 1,
  Utf16Le = 2,
  Utf16Be = 3,
  Ansi = 4,
};

enum class LineEnding : std::uint8_t {
  Windows = 0,
  Unix = 1,
  Macintosh = 2,
};

struct DecodedText {
  std::u16string text;
  LineEnding line_ending = LineEnding::Windows;
  Encoding encoding = Encoding::Utf8;
  // How many ill-formed byte sequences (or odd last bytes) became U+FFFD: saving this text
  // writes the replacement characters, not the bytes the file held.
  std::size_t replaced_sequences = 0;
};

// Detects the encoding and line-ending style and decodes. Never fails.
DecodedText decode_file_bytes(std::span<const std::uint8_t> bytes);

// The same as decode_file_bytes on all the bytes of `source`, read from its start. UTF-8, by
// far the most common, is decoded piece by piece, so a large file is never held twice;
// `expected_size` (the file's size) sizes the text up front. Fails only when reading fails.
Result<DecodedText> decode_byte_source(ByteSource& source, std::uint64_t expected_size);

// CR LF becomes CR, a remaining LF becomes CR. Text without LF comes back as it went in,
// without a copy; otherwise the work is done in place.
std::u16string normalize_line_breaks(std::u16string units);

// Never fails: unpaired surrogates become U+FFFD in UTF-8, ANSI takes the system's substitutes.
std::vector<std::uint8_t> encode_for_save(std::u16string_view text, Encoding encoding,
                                          LineEnding line_ending);

// The bytes of encode_for_save, handed out piece by piece for the file writer. Buffers must
// hold at least 4 bytes. The text must outlive the encoder and stay unchanged.
class SaveEncoder final : public ByteSource {
 public:
  SaveEncoder(std::u16string_view text, Encoding encoding, LineEnding line_ending);
  Result<std::size_t> read(std::span<std::uint8_t> buffer) override;
  Result<void> rewind() override;

 private:
  std::u16string_view text_;
  Encoding encoding_;
  LineEnding line_ending_;
  std::size_t position_ = 0;
  bool mark_written_ = false;
  std::optional<std::vector<std::uint8_t>> ansi_;
};

// True when saving `text` as ANSI would lose characters (best-fit substitutions count as loss).
bool ansi_would_lose_characters(std::u16string_view text);

std::u16string_view encoding_display_name(Encoding encoding);
std::u16string_view line_ending_display_name(LineEnding line_ending);

}  // namespace wrenfold
