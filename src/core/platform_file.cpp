// The parts of the file owner that are the same on every system: both close through
// close_file, which each system implements.

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

}  // namespace wrenfold::platform
