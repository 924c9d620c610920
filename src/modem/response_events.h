// The twelve manual-reset events that the response parser sets for the waiting modem
// user. Replies are not matched to requests: a user clears what it expects, writes its
// command and waits. All events share one lock so a user can wait for either of two.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace qz {

enum ResponseEvent : int {
  OkEvent,
  ErrorEvent,
  PinStatusEvent,
  FunctionalityEvent,
  MessageFormatEvent,
  ListLineEvent,
  ServiceCentreEvent,
  ConnectEvent,
  MmsStoredEvent,
  MmsMaxSizeEvent,
  MmsSendReportEvent,
  NoCarrierEvent,
  kResponseEventCount
};

class ResponseEvents {
 public:
  void set(ResponseEvent e);
  void clear(ResponseEvent e);
  bool is_set(ResponseEvent e) const;
  // True when `e` is or becomes set within `ms` gateway milliseconds.
  bool wait(ResponseEvent e, int64_t ms);
  // 0 when `first` is set (also when both are), 1 when only `second` is, -1 on time-out.
  int wait_either(ResponseEvent first, ResponseEvent second, int64_t ms);

  // The gateway is stopping: every wait_unless_stopping returns at once, now and later.
  void stop_waiting();
  // The modem is gone: every wait ends at once as if its time ran out, now and later, until
  // resume_waits (a port opened anew). No reply can come, and nobody is to wait for one.
  void fail_waits();
  void resume_waits();
  // 0 when `e` is or becomes set within `ms` (also when a stop came too), 1 when a stop
  // came first, -1 on time-out. For a wait that a stop may cut short, like a call's hold.
  int wait_unless_stopping(ResponseEvent e, int64_t ms);

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::array<bool, kResponseEventCount> set_{};
  bool stopping_ = false;
  bool failing_ = false;
};

}  // namespace qz
