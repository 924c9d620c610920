// Folder claims on Linux: flock on a descriptor of the folder itself. The kernel keeps the
// lock with the open descriptor (close-on-exec, so a started command never inherits it) and
// drops it when the process ends. Who holds a folder is read from /proc/locks, which names
// the process that took each flock lock and the device and inode it is on.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <system_error>

#include "gateway/folder_lock.h"

namespace qz {

namespace {

// A holder can let go between our failed try and the look at /proc/locks: the claim is
// tried again a few times before it gives up on naming the holder.
constexpr int kClaimTries = 5;

std::optional<FolderHolder> holder_of(dev_t device, ino_t inode) {
  char wanted[64];
  std::snprintf(wanted, sizeof wanted, "%02x:%02x:%lu", major(device), minor(device),
                static_cast<unsigned long>(inode));
  std::ifstream locks("/proc/locks");
  std::string line;
  while (std::getline(locks, line)) {
    // "1: FLOCK  ADVISORY  WRITE 4242 fe:00:1234 0 EOF"; waiters have "->" after the number.
    std::istringstream fields(line);
    std::string number, kind, mode, access, device_inode;
    long pid = 0;
    if (!(fields >> number >> kind) || kind == "->") continue;
    if (!(fields >> mode >> access >> pid >> device_inode)) continue;
    if (kind != "FLOCK" || access != "WRITE" || device_inode != wanted) continue;
    FolderHolder holder;
    holder.pid = pid;
    std::error_code ec;
    std::filesystem::path cwd = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/cwd", ec);
    if (!ec) holder.instance_folder = cwd;
    return holder;
  }
  return std::nullopt;
}

}  // namespace

FolderLock::FolderLock(FolderLock&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
  if (this != &other) {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

FolderLock::~FolderLock() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

FolderLock::Claim FolderLock::claim(const std::filesystem::path& folder) {
  Claim claim;
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    claim.error = std::generic_category().message(errno);
    return claim;
  }
  struct stat st {};
  ::fstat(fd, &st);
  for (int attempt = 0; attempt < kClaimTries; ++attempt) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      claim.outcome = Claim::kClaimed;
      claim.lock = FolderLock(fd);
      return claim;
    }
    if (errno != EWOULDBLOCK) {
      claim.error = std::generic_category().message(errno);
      ::close(fd);
      return claim;
    }
    if (auto holder = holder_of(st.st_dev, st.st_ino)) {
      ::close(fd);
      claim.outcome = holder->pid == ::getpid() ? Claim::kOurs : Claim::kInUse;
      claim.holder = *holder;
      return claim;
    }
  }
  ::close(fd);
  claim.outcome = Claim::kInUse;  // by a process the system does not name
  return claim;
}

std::optional<FolderHolder> folder_holder(const std::filesystem::path& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return std::nullopt;
  return holder_of(st.st_dev, st.st_ino);
}

}  // namespace qz
