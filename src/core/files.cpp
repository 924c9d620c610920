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

bool same_file(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::optional<FileInfo> first = target_info(a);
  std::optional<FileInfo> second = first ? target_info(b) : std::nullopt;
  return second && first->device == second->device && first->inode == second->inode;
}

}  // namespace qz
