// Any file decodes, and what it decodes to saves again in the detected encoding and style.
// Unicode files come back as the same text. Reading and saving in pieces give exactly what
// the whole-buffer functions give.

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "codec.h"

using namespace wrenfold;

namespace {

// Reads of 1 to 4,096 bytes, the lengths taken from the bytes themselves.
class ChoppySource final : public ByteSource {
 public:
  explicit ChoppySource(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
  Result<std::size_t> read(std::span<std::uint8_t> buffer) override {
    const std::size_t left = bytes_.size() - position_;
    const std::size_t wanted = 1 + (left == 0 ? 0 : bytes_[position_] * 16u + position_ % 16);
    const std::size_t count = std::min({buffer.size(), left, wanted});
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(position_), count, buffer.begin());
    position_ += count;
    return count;
  }
  Result<void> rewind() override {
    position_ = 0;
    return {};
  }

 private:
  const std::vector<std::uint8_t>& bytes_;
  std::size_t position_ = 0;
};

// The input repeated past several 64 KiB pieces, so that reading in pieces really runs.
void check_decoding_in_pieces(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return;
  std::vector<std::uint8_t> bytes;
  while (bytes.size() < 70'000) bytes.insert(bytes.end(), data, data + size);
  const DecodedText whole = decode_file_bytes(bytes);
  ChoppySource source(bytes);
  const Result<DecodedText> pieces = decode_byte_source(source, bytes.size());
  if (!pieces.ok() || pieces->text != whole.text || pieces->encoding != whole.encoding ||
      pieces->line_ending != whole.line_ending) {
    std::abort();
  }
}

void check_encoding_in_pieces(const DecodedText& decoded, const std::vector<std::uint8_t>& saved) {
  SaveEncoder encoder(decoded.text, decoded.encoding, decoded.line_ending);
  std::vector<std::uint8_t> pieces;
  std::uint8_t buffer[37];
  for (std::size_t room = 4;; room = room % 37 + 4) {
    const Result<std::size_t> count = encoder.read(std::span(buffer, room));
    if (!count.ok()) std::abort();
    if (*count == 0) break;
    pieces.insert(pieces.end(), buffer, buffer + *count);
  }
  if (pieces != saved) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const DecodedText decoded = decode_file_bytes({data, size});
  if (decoded.text.find(u'\n') != std::u16string::npos) std::abort();
  const std::vector<std::uint8_t> saved =
      encode_for_save(decoded.text, decoded.encoding, decoded.line_ending);
  check_encoding_in_pieces(decoded, saved);
  check_decoding_in_pieces(data, size);
  if (decoded.encoding == Encoding::Ansi) return 0;

  const DecodedText again = decode_file_bytes(saved);
  // Saving UTF-8 without a mark can turn zero bytes and changed line breaks into a
  // pattern that the UTF-16 guess claims; that is the guess working as designed.
  const bool guessed_as_utf16 = decoded.encoding == Encoding::Utf8 &&
                                (again.encoding == Encoding::Utf16Le ||
                                 again.encoding == Encoding::Utf16Be);
  if (guessed_as_utf16) return 0;
  if (again.encoding != decoded.encoding) std::abort();
  if (again.line_ending != decoded.line_ending) std::abort();
  if (again.text != decoded.text) std::abort();
  return 0;
}
