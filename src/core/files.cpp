#include "core/files.h"

namespace qz {

// Owning a handle is the same on every platform; only opening and closing one differ.
File::File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

File::~File() { close(); }

}  // namespace qz
