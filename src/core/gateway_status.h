// What the gateway's status file tells a monitoring check (gateway/status_file.h), kept
// where it happens: the worker threads count and store, the front end's thread reads it
// every few seconds. The counts run from the start of the process.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace qz {

// One send attempt: when (seconds since 1970 on the gateway clock), to whom, how it ended.
struct SendRecord {
  int64_t time = 0;
  std::string to;
  std::string result;  // "sent", "failed", "failed, retrying (try 1/3)"
};

class GatewayStatus {
 public:
  // The modem answered its last exchange of the start or of the signal poll.
  std::atomic<bool> modem_up{false};
  std::atomic<bool> registered{false};
  // Seconds a job may wait before a check calls it late; set once the start has read the
  // settings, which the status writer's thread must not read while they are being read.
  std::atomic<int64_t> job_late_after{0};

  std::atomic<int64_t> sent{0};
  std::atomic<int64_t> failed{0};        // jobs whose last try failed
  std::atomic<int64_t> retried{0};       // failed tries with another one to come
  std::atomic<int64_t> bad_requests{0};  // job files that were no job
  std::atomic<int64_t> received{0};      // SMS handed to the incoming command

  void record_send(int64_t time, std::string to, std::string result) {
    std::lock_guard lock(mutex_);
    last_send_ = {time, std::move(to), std::move(result)};
  }
  SendRecord last_send() const {
    std::lock_guard lock(mutex_);
    return last_send_;
  }

 private:
  mutable std::mutex mutex_;
  SendRecord last_send_;
};

}  // namespace qz
