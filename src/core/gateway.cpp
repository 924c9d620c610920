#include "core/gateway.h"

#include "core/clock.h"
#include "modem/serial_port.h"

namespace qz {

Gateway::Gateway(std::filesystem::path instance_folder)
    : folder(std::move(instance_folder)),
      settings_file(folder),
      log(folder),
      modem(log, settings),
      jobs(log),
      journal(folder, log) {}

Gateway::~Gateway() {
  // Tests end here; the process itself ends through end_process or _exit.
  stop_workers(600000);
  for (auto& worker : workers_) {
    if (worker.joinable()) worker.join();
  }
  modem.stop_input_thread();
}

std::string Gateway::service_centre_number() const {
  std::lock_guard lock(service_centre_mutex_);
  return service_centre_number_;
}

int32_t Gateway::service_centre_type() const {
  std::lock_guard lock(service_centre_mutex_);
  return service_centre_type_;
}

void Gateway::set_service_centre(std::string number, int32_t type) {
  std::lock_guard lock(service_centre_mutex_);
  service_centre_number_ = std::move(number);
  service_centre_type_ = type;
}

bool Gateway::start_worker(std::function<void()> body) {
  std::lock_guard lock(workers_mutex_);
  if (stopping()) return false;
  ++running_workers_;
  workers_.emplace_back([this, body = std::move(body)] {
    body();
    std::lock_guard ended(workers_mutex_);
    --running_workers_;
    worker_ended_.notify_all();
  });
  return true;
}

bool Gateway::stop_workers(int64_t limit_ms) {
  std::vector<std::thread> ended;
  {
    std::unique_lock lock(workers_mutex_);
    stop_event_.set();
    if (!worker_ended_.wait_for(lock, clock().real_duration(limit_ms),
                                [this] { return running_workers_ == 0; })) {
      return false;
    }
    ended.swap(workers_);
  }
  // Every body has returned, so the joins are immediate; the process that ends right after
  // leaves no finished thread behind that nobody took back.
  for (auto& worker : ended) worker.join();
  return true;
}

}  // namespace qz
