#pragma once
// Bytes handed over in pieces, so that a large file is never held whole next to its text:
// a file being read for the codec, or editor text being encoded for the file writer.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "result.h"

namespace wrenfold {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Fills `buffer` from its start and says how many bytes it put there; 0 means the end.
  // Buffers of fewer than 4 bytes are not supported.
  virtual Result<std::size_t> read(std::span<std::uint8_t> buffer) = 0;
  // Starts again from the first byte.
  virtual Result<void> rewind() = 0;
};

// Bytes already in memory.
class SpanByteSource final : public ByteSource {
 public:
  explicit SpanByteSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  Result<std::size_t> read(std::span<std::uint8_t> buffer) override {
    const std::size_t count = std::min(buffer.size(), bytes_.size() - position_);
    if (count != 0) std::memcpy(buffer.data(), bytes_.data() + position_, count);
    position_ += count;
    return count;
  }
  Result<void> rewind() override {
    position_ = 0;
    return {};
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

}  // namespace wrenfold
