// The watch folder on Windows: a change notification for names and writes in the folder.
// Windows signals while a file is still being written, not once it is closed: the reader's
// pause before it reads a new file is what gives the writer time to finish.
#include <windows.h>

#include <algorithm>
#include <chrono>

#include "core/clock.h"
#include "core/text.h"
#include "core/worker_progress.h"
#include "jobs/folder_watch.h"

namespace qz {

namespace {

HANDLE handle_of(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// `mask` with * (any run) and ? (any one character), without regard to ASCII case: what
// fnmatch with FNM_CASEFOLD does with such masks on Linux.
bool matches(std::string_view mask, std::string_view name) {
  size_t m = 0, n = 0, star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || lower_ascii(mask[m]) == lower_ascii(name[n]))) {
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
    : wake_(reinterpret_cast<intptr_t>(CreateEventW(nullptr, TRUE, FALSE, nullptr))) {
  if (wake_ == 0) wake_ = -1;
  HANDLE h = FindFirstChangeNotificationW(folder.c_str(), FALSE,
                                          FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE);
  if (h != INVALID_HANDLE_VALUE) watch_ = reinterpret_cast<intptr_t>(h);
}

FolderWatch::~FolderWatch() {
  if (watch_ != -1) FindCloseChangeNotification(handle_of(watch_));
  if (wake_ != -1) CloseHandle(handle_of(wake_));
}

void FolderWatch::wake() {
  if (wake_ != -1) SetEvent(handle_of(wake_));
}

bool FolderWatch::active() const { return watch_ != -1; }

bool FolderWatch::wait(int64_t ms) {
  ProgressWait waiting(ms);
  auto real = std::chrono::duration_cast<std::chrono::milliseconds>(clock().real_duration(ms));
  DWORD timeout = static_cast<DWORD>(std::clamp<int64_t>(real.count(), ms > 0 ? 1 : 0, INFINITE - 1));
  if (watch_ == -1) {
    clock().sleep_ms(ms);
    return false;
  }
  HANDLE waits[2] = {handle_of(watch_), handle_of(wake_)};
  if (WaitForMultipleObjects(wake_ != -1 ? 2 : 1, waits, FALSE, timeout) != WAIT_OBJECT_0) return false;
  // Several changes between two scans are one reason to scan.
  FindNextChangeNotification(handle_of(watch_));
  return true;
}

bool file_name_matches(const std::string& mask, const std::string& name) { return matches(mask, name); }

}  // namespace qz
