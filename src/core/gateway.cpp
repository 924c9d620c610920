#include "core/gateway.h"

#include "modem/serial_port.h"

namespace qz {

Gateway::Gateway(std::filesystem::path instance_folder)
    : folder(std::move(instance_folder)),
      settings_file(folder),
      log(folder),
      modem(log, settings),
      jobs(log) {}

Gateway::~Gateway() {
  stop_event_.set();
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

void Gateway::start_worker(std::function<void()> body) { workers_.emplace_back(std::move(body)); }

}  // namespace qz
