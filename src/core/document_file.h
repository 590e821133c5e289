#pragma once
// Reading a document file into editor text and saving editor text to one, both in pieces:
// a large file is never held whole beside its text.

#include <string_view>

#include "codec.h"
#include "result.h"

namespace wrenfold {

// Errors carry the system's text.
Result<DecodedText> read_document(std::u16string_view path);

// Encodes and writes atomically (see write_file_atomically).
Result<void> save_document(std::u16string_view path, std::u16string_view text, Encoding encoding,
                           LineEnding line_ending);

}  // namespace wrenfold
