// Folder claims on Windows: a named mutex whose name is the folder's identity (volume
// serial number and file index), so two spellings of one folder, or a link to it, meet the
// same claim. Nothing is written into the folder and nothing in it is held open: the alarm
// application lists and writes the watch folder as before. The system removes the mutex
// with the last handle, when the process ends however it ends, and the handle is not
// inheritable, so started commands do not keep it.
//
// Windows does not say who holds a named object, so the holder is named only when it is
// this process (its instance folder is its watch folder).
#include <windows.h>

#include <cstdio>
#include <mutex>
#include <set>
#include <string>

#include "gateway/folder_lock.h"
#include "platform/windows/windows_error.h"

namespace qz {

namespace {

std::mutex claims_mutex;
std::set<std::wstring> claims_of_this_process;

// The claim's name for `folder`; empty with `error` set when the folder cannot be opened.
std::wstring claim_name(const std::filesystem::path& folder, int& error) {
  HANDLE h = CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = errno_from_windows(GetLastError());
    return {};
  }
  BY_HANDLE_FILE_INFORMATION info{};
  bool known = GetFileInformationByHandle(h, &info);
  if (!known) error = errno_from_windows(GetLastError());
  CloseHandle(h);
  if (!known) return {};
  wchar_t name[80];
  std::swprintf(name, 80, L"Global\\qzgsms-folder-%08lX-%08lX%08lX", info.dwVolumeSerialNumber,
                info.nFileIndexHigh, info.nFileIndexLow);
  return name;
}

bool claimed_here(const std::wstring& name) {
  std::lock_guard lock(claims_mutex);
  return claims_of_this_process.count(name) > 0;
}

struct Handle {
  HANDLE h;
  std::wstring name;
};

void release(intptr_t handle) {
  auto* held = reinterpret_cast<Handle*>(handle);
  {
    std::lock_guard lock(claims_mutex);
    claims_of_this_process.erase(held->name);
  }
  CloseHandle(held->h);
  delete held;
}

}  // namespace

FolderLock::FolderLock(FolderLock&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
  if (this != &other) {
    if (handle_ >= 0) release(handle_);
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

FolderLock::~FolderLock() {
  if (handle_ >= 0) release(handle_);
}

FolderLock::Claim FolderLock::claim(const std::filesystem::path& folder) {
  Claim claim;
  int error = 0;
  std::wstring name = claim_name(folder, error);
  if (name.empty()) {
    claim.error = {error, folder};
    return claim;
  }
  if (claimed_here(name)) {
    claim.outcome = Claim::kOurs;
    claim.holder.pid = static_cast<long>(GetCurrentProcessId());
    return claim;
  }
  HANDLE h = CreateMutexW(nullptr, FALSE, name.c_str());
  if (h == nullptr) {
    // A mutex of that name made by another user cannot be opened: in use all the same.
    if (GetLastError() == ERROR_ACCESS_DENIED) claim.outcome = Claim::kInUse;
    else claim.error = {errno_from_windows(GetLastError()), folder};
    return claim;
  }
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(h);
    claim.outcome = Claim::kInUse;  // by a process Windows does not name
    return claim;
  }
  {
    std::lock_guard lock(claims_mutex);
    claims_of_this_process.insert(name);
  }
  claim.outcome = Claim::kClaimed;
  claim.lock = FolderLock(reinterpret_cast<intptr_t>(new Handle{h, name}));
  return claim;
}

std::optional<FolderHolder> folder_holder(const std::filesystem::path& folder) {
  int error = 0;
  std::wstring name = claim_name(folder, error);
  if (name.empty()) return std::nullopt;
  HANDLE h = OpenMutexW(SYNCHRONIZE, FALSE, name.c_str());
  if (h == nullptr && GetLastError() != ERROR_ACCESS_DENIED) return std::nullopt;
  if (h != nullptr) CloseHandle(h);
  FolderHolder holder;
  if (claimed_here(name)) holder.pid = static_cast<long>(GetCurrentProcessId());
  return holder;
}

}  // namespace qz
