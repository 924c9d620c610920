#include "core/worker_progress.h"

#include "core/clock.h"

namespace qz {

namespace {

// The entry of the calling thread; nullptr on threads that are not workers.
thread_local WorkerProgress::Slot* current_slot = nullptr;

void mark(WorkerProgress::Doing doing, int64_t due_in_ms) {
  WorkerProgress::Slot* slot = current_slot;
  if (slot == nullptr) return;
  const int64_t now = clock().steady_ms();
  const bool unlimited = due_in_ms >= WorkerProgress::kNever - now;
  slot->marked_ms.store(now, std::memory_order_relaxed);
  slot->due_ms.store(unlimited ? WorkerProgress::kNever : now + due_in_ms, std::memory_order_relaxed);
  slot->doing.store(static_cast<int>(doing), std::memory_order_release);
}

}  // namespace

void WorkerProgress::enter(std::string worker) {
  std::lock_guard lock(mutex_);
  Slot& slot = slots_.emplace_back();
  slot.worker = std::move(worker);
  current_slot = &slot;
  mark_progress();
}

std::vector<WorkerProgress::Entry> WorkerProgress::snapshot() const {
  std::lock_guard lock(mutex_);
  std::vector<Entry> entries;
  for (const Slot& slot : slots_) {
    Doing doing = static_cast<Doing>(slot.doing.load(std::memory_order_acquire));
    entries.push_back({slot.worker, doing, slot.marked_ms.load(std::memory_order_relaxed),
                       slot.due_ms.load(std::memory_order_relaxed)});
  }
  return entries;
}

std::vector<std::string> WorkerProgress::overdue(int64_t now_ms) const {
  std::vector<std::string> late;
  for (const Entry& entry : snapshot()) {
    if (entry.doing == Doing::kEnded || entry.due_ms == kNever) continue;
    if (now_ms > entry.due_ms) late.push_back(entry.worker);
  }
  return late;
}

void mark_progress() { mark(WorkerProgress::Doing::kWorking, kProgressGraceMs); }

void mark_ended() { mark(WorkerProgress::Doing::kEnded, WorkerProgress::kNever); }

ProgressWait::ProgressWait(int64_t ms) {
  const int64_t limit = ms <= 0 ? 0 : ms > WorkerProgress::kNever - kProgressGraceMs ? WorkerProgress::kNever : ms;
  mark(WorkerProgress::Doing::kWaiting, limit == WorkerProgress::kNever ? limit : limit + kProgressGraceMs);
}

ProgressWait::~ProgressWait() { mark_progress(); }

void ProgressMutex::lock() {
  if (mutex_.try_lock()) return;
  mark(WorkerProgress::Doing::kWaitingForOther, WorkerProgress::kNever);
  mutex_.lock();
  mark_progress();
}

}  // namespace qz
