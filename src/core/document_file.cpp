#include "document_file.h"

#include "file_write.h"
#include "platform.h"

namespace wrenfold {
namespace {

class FileByteSource final : public ByteSource {
 public:
  explicit FileByteSource(const platform::File& file) : file_(file) {}

  Result<std::size_t> read(std::span<std::uint8_t> buffer) override {
    const platform::SystemResult<std::size_t> count = platform::read_from_file(file_, buffer);
    if (count.error) return Error{count.error->message};
    return count.value;
  }

  Result<void> rewind() override {
    if (const platform::SystemStatus failure = platform::rewind_file(file_)) return Error{failure->message};
    return {};
  }

 private:
  const platform::File& file_;
};

}  // namespace

Result<DecodedText> read_document(std::u16string_view path) {
  const platform::SystemResult<platform::File> opened = platform::open_file_for_reading(path);
  if (opened.error) return Error{opened.error->message};
  const platform::SystemResult<std::uint64_t> size = platform::file_size(opened.value);
  if (size.error) return Error{size.error->message};
  FileByteSource source(opened.value);
  return decode_byte_source(source, size.value);
}

Result<void> save_document(std::u16string_view path, std::u16string_view text, Encoding encoding,
                           LineEnding line_ending) {
  SaveEncoder content(text, encoding, line_ending);
  return write_file_atomically(path, content);
}

}  // namespace wrenfold
