// The headless program's wait on Windows: the workers' numbers in a small queue with an
// event, the stop signals' event and an event for the end of the stop, in one
// WaitForMultipleObjects.
#include <windows.h>

#include <mutex>

#include "gateway/headless_wait.h"

namespace qz {

namespace {

// Numbers beyond this wait for the next wake-up to be taken; the wake-up itself stays.
constexpr std::size_t kMaxQueued = 4096;

bool is_set(HANDLE h) { return h != nullptr && WaitForSingleObject(h, 0) == WAIT_OBJECT_0; }

}  // namespace

struct HeadlessWait::Handles {
  std::mutex mutex;
  std::vector<unsigned char> queued;
  HANDLE notified = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE stop_done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
};

HeadlessWait::HeadlessWait() : signals_(StopSignals::take()), handles_(std::make_unique<Handles>()) {}

HeadlessWait::~HeadlessWait() {
  for (HANDLE h : {handles_->notified, handles_->stop_done}) {
    if (h) CloseHandle(h);
  }
}

void HeadlessWait::notify(int number) {
  std::lock_guard lock(handles_->mutex);
  if (handles_->queued.size() < kMaxQueued) handles_->queued.push_back(static_cast<unsigned char>(number));
  SetEvent(handles_->notified);
}

void HeadlessWait::stop_done() { SetEvent(handles_->stop_done); }

HeadlessWait::Woken HeadlessWait::wait(int64_t timeout_ms) {
  Woken woken;
  HANDLE handles[3];
  DWORD count = 0;
  handles[count++] = handles_->notified;
  handles[count++] = handles_->stop_done;
  HANDLE stop_signal = signals_.native_handle() == -1 ? nullptr : reinterpret_cast<HANDLE>(signals_.native_handle());
  if (stop_signal) handles[count++] = stop_signal;
  DWORD timeout = timeout_ms < 0 ? INFINITE : timeout_ms >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(timeout_ms);
  if (WaitForMultipleObjects(count, handles, FALSE, timeout) == WAIT_FAILED) return woken;
  {
    std::lock_guard lock(handles_->mutex);
    woken.notified.swap(handles_->queued);
    ResetEvent(handles_->notified);
  }
  if (is_set(stop_signal)) woken.stop_signal = signals_.take_one();
  woken.stop_done = is_set(handles_->stop_done);
  return woken;
}

}  // namespace qz
