// The parts of the file services that are the same on every system, built on the
// primitives each system implements.

#include "platform.h"

namespace wrenfold::platform {

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close_file(*this);
    handle_ = other.release();
  }
  return *this;
}

File::~File() { close_file(*this); }

SystemResult<std::vector<std::uint8_t>> read_file(std::u16string_view path) {
  SystemResult<File> opened = open_file_for_reading(path);
  if (opened.error) return {{}, opened.error};
  std::vector<std::uint8_t> bytes;
  const SystemResult<std::uint64_t> size = file_size(opened.value);
  if (!size.error && size.value > 0) bytes.reserve(static_cast<std::size_t>(size.value));
  std::vector<std::uint8_t> piece(65'536);
  while (true) {
    const SystemResult<std::size_t> count = read_from_file(opened.value, piece);
    if (count.error) return {{}, count.error};
    if (count.value == 0) break;
    bytes.insert(bytes.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(count.value));
  }
  return {std::move(bytes), std::nullopt};
}

}  // namespace wrenfold::platform
