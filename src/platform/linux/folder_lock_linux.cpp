// Folder claims on Linux: flock on a descriptor of the folder itself. The kernel keeps the
// lock with the open descriptor (close-on-exec, so a started command never inherits it) and
// drops it when the process ends.
//
// Who holds a folder is read from /proc/locks, which names the process that took each flock
// lock and the device and inode it is on, and from that process's current folder. Where
// /proc shows neither (the service's unit lets a gateway see only its own processes), the
// holder's own note is read: each claim records "<pid> <instance folder>" in an extended
// attribute of the folder, never in a file that could pass for a job.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <system_error>

#include "gateway/folder_lock.h"

namespace qz {

namespace {

// A holder can let go between our failed try and the look at who holds it: the claim is
// tried again a few times before it gives up on naming the holder.
constexpr int kClaimTries = 5;
constexpr const char* kHolderAttribute = "user.qzgsms.holder";

// Best effort: a file system without user attributes just names no holder.
void record_holder(int fd) {
  std::error_code ec;
  const std::string note = std::to_string(::getpid()) + " " + std::filesystem::current_path(ec).string();
  ::fsetxattr(fd, kHolderAttribute, note.data(), note.size(), 0);
}

std::optional<FolderHolder> recorded_holder(int fd) {
  char note[4200];
  ssize_t size = ::fgetxattr(fd, kHolderAttribute, note, sizeof note);
  if (size <= 0) return std::nullopt;
  std::string text(note, static_cast<std::size_t>(size));
  std::size_t blank = text.find(' ');
  FolderHolder holder;
  try {
    holder.pid = std::stol(text.substr(0, blank));
  } catch (const std::exception&) {
    return std::nullopt;
  }
  if (blank != std::string::npos) holder.instance_folder = text.substr(blank + 1);
  return holder;
}

// The pid of the flock lock on (device, inode) as /proc/locks shows it: 0 when there is
// none, nullopt when /proc/locks cannot be read.
std::optional<long> locking_pid(dev_t device, ino_t inode) {
  char wanted[64];
  std::snprintf(wanted, sizeof wanted, "%02x:%02x:%lu", major(device), minor(device),
                static_cast<unsigned long>(inode));
  std::ifstream locks("/proc/locks");
  if (!locks) return std::nullopt;
  std::string line;
  while (std::getline(locks, line)) {
    // "1: FLOCK  ADVISORY  WRITE 4242 fe:00:1234 0 EOF"; waiters have "->" after the number.
    std::istringstream fields(line);
    std::string number, kind, mode, access, device_inode;
    long pid = 0;
    if (!(fields >> number >> kind) || kind == "->") continue;
    if (!(fields >> mode >> access >> pid >> device_inode)) continue;
    if (kind == "FLOCK" && access == "WRITE" && device_inode == wanted) return pid;
  }
  return 0;
}

// Who holds the folder open as `fd`. `held`: the lock is known to be taken, so the holder's
// note may stand in for /proc/locks.
std::optional<FolderHolder> holder_of(int fd, bool held) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return std::nullopt;
  std::optional<long> pid = locking_pid(st.st_dev, st.st_ino);
  std::optional<FolderHolder> note = recorded_holder(fd);
  if (!pid) return held ? note : std::nullopt;
  if (*pid == 0) return std::nullopt;
  FolderHolder holder;
  holder.pid = *pid;
  std::error_code ec;
  std::filesystem::path cwd = std::filesystem::read_symlink("/proc/" + std::to_string(*pid) + "/cwd", ec);
  if (!ec) holder.instance_folder = cwd;
  else if (note && note->pid == *pid) holder.instance_folder = note->instance_folder;
  return holder;
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
    claim.error = last_system_error(folder);
    return claim;
  }
  for (int attempt = 0; attempt < kClaimTries; ++attempt) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      record_holder(fd);
      claim.outcome = Claim::kClaimed;
      claim.lock = FolderLock(fd);
      return claim;
    }
    if (errno != EWOULDBLOCK) {
      claim.error = last_system_error(folder);
      ::close(fd);
      return claim;
    }
    if (auto holder = holder_of(fd, true)) {
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
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::optional<FolderHolder> holder = holder_of(fd, false);
  ::close(fd);
  return holder;
}

}  // namespace qz
