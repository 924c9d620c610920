// The watch folder on Windows: a change notification for names and writes in the folder.
// Windows signals while a file is still being written, not once it is closed: the reader's
// pause before it reads a new file is what gives the writer time to finish.
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <chrono>

#include "core/clock.h"
#include "core/worker_progress.h"
#include "jobs/folder_watch.h"

namespace qz {

namespace {

// Kernel handles fit in 32 bits, so the watch's descriptor slot holds one.
HANDLE handle_of(int fd) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd)); }

// `mask` with * (any run) and ? (any one character), without regard to ASCII case: what
// fnmatch with FNM_CASEFOLD does with such masks on Linux.
bool matches(std::string_view mask, std::string_view name) {
  auto fold = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
  size_t m = 0, n = 0, star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || fold(mask[m]) == fold(name[n]))) {
      ++m;
      ++n;
    } else if (m < mask.size() && mask[m] == '*') {
      star = m++;
      resume = n;
    } else if (star != std::string_view::npos) {
      m = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

}  // namespace

// The wake is a manual-reset event: once woken, every later wait ends at once, as on Linux.
FolderWatch::FolderWatch(const std::filesystem::path& folder)
    : wake_fd_(static_cast<int>(reinterpret_cast<intptr_t>(CreateEventW(nullptr, TRUE, FALSE, nullptr)))) {
  HANDLE h = FindFirstChangeNotificationW(folder.c_str(), FALSE,
                                          FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE);
  if (h != INVALID_HANDLE_VALUE) fd_ = static_cast<int>(reinterpret_cast<intptr_t>(h));
}

FolderWatch::~FolderWatch() {
  if (fd_ >= 0) FindCloseChangeNotification(handle_of(fd_));
  if (wake_fd_ != 0) CloseHandle(handle_of(wake_fd_));
}

void FolderWatch::wake() {
  if (wake_fd_ != 0) SetEvent(handle_of(wake_fd_));
}

bool FolderWatch::active() const { return fd_ >= 0; }

bool FolderWatch::wait(int64_t ms) {
  ProgressWait waiting(ms);
  auto real = std::chrono::duration_cast<std::chrono::milliseconds>(clock().real_duration(ms));
  DWORD timeout = static_cast<DWORD>(std::clamp<int64_t>(real.count(), ms > 0 ? 1 : 0, INFINITE - 1));
  if (fd_ < 0) {
    clock().sleep_ms(ms);
    return false;
  }
  HANDLE waits[2] = {handle_of(fd_), handle_of(wake_fd_)};
  if (WaitForMultipleObjects(wake_fd_ != 0 ? 2 : 1, waits, FALSE, timeout) != WAIT_OBJECT_0) return false;
  // Several changes between two scans are one reason to scan.
  FindNextChangeNotification(handle_of(fd_));
  return true;
}

bool file_name_matches(const std::string& mask, const std::string& name) { return matches(mask, name); }

}  // namespace qz
