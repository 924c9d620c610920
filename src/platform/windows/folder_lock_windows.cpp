// Folder claims on Windows: a handle on the folder itself opened for DELETE access while
// sharing only reading and writing. A second claim asks for DELETE too and meets a sharing
// violation; programs that list the folder or write files in it ask for neither and are
// not hindered. The system closes the handle when the process ends, however it ends, and
// the handle is not inheritable, so started commands do not keep it.
//
// Windows does not say who holds a handle, so the holder is named only when it is this
// process (its instance folder is its watch folder): each claim is remembered by the
// folder's identity, volume serial number and file index.
#include <windows.h>

#include <mutex>
#include <set>
#include <system_error>
#include <utility>

#include "gateway/folder_lock.h"
#include "platform/windows/windows_error.h"

namespace qz {

namespace {

using Identity = std::pair<DWORD, uint64_t>;

std::mutex claims_mutex;
std::set<Identity> claims_of_this_process;

HANDLE handle_of(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

HANDLE open_folder(const std::filesystem::path& folder, DWORD access, DWORD share) {
  return CreateFileW(folder.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool identity_of(HANDLE h, Identity& identity) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(h, &info)) return false;
  identity = {info.dwVolumeSerialNumber, (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
  return true;
}

bool claimed_here(const std::filesystem::path& folder) {
  HANDLE h = open_folder(folder, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
  if (h == INVALID_HANDLE_VALUE) return false;
  Identity identity;
  bool known = identity_of(h, identity);
  CloseHandle(h);
  std::lock_guard lock(claims_mutex);
  return known && claims_of_this_process.count(identity) > 0;
}

void forget(intptr_t handle) {
  Identity identity;
  if (identity_of(handle_of(handle), identity)) {
    std::lock_guard lock(claims_mutex);
    claims_of_this_process.erase(identity);
  }
  CloseHandle(handle_of(handle));
}

}  // namespace

FolderLock::FolderLock(FolderLock&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
  if (this != &other) {
    if (handle_ >= 0) forget(handle_);
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

FolderLock::~FolderLock() {
  if (handle_ >= 0) forget(handle_);
}

FolderLock::Claim FolderLock::claim(const std::filesystem::path& folder) {
  Claim claim;
  HANDLE h = open_folder(folder, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (h == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    if (code == ERROR_SHARING_VIOLATION) {
      claim.outcome = claimed_here(folder) ? Claim::kOurs : Claim::kInUse;
      if (claim.outcome == Claim::kOurs) claim.holder.pid = static_cast<long>(GetCurrentProcessId());
      return claim;
    }
    claim.error = std::generic_category().message(errno_from_windows(code));
    return claim;
  }
  Identity identity;
  if (identity_of(h, identity)) {
    std::lock_guard lock(claims_mutex);
    claims_of_this_process.insert(identity);
  }
  claim.outcome = Claim::kClaimed;
  claim.lock = FolderLock(reinterpret_cast<intptr_t>(h));
  return claim;
}

std::optional<FolderHolder> folder_holder(const std::filesystem::path& folder) {
  HANDLE h = open_folder(folder, DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return std::nullopt;
  }
  if (GetLastError() != ERROR_SHARING_VIOLATION) return std::nullopt;
  FolderHolder holder;  // held by a process Windows does not name
  if (claimed_here(folder)) holder.pid = static_cast<long>(GetCurrentProcessId());
  return holder;
}

}  // namespace qz
