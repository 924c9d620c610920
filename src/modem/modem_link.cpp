#include "modem/modem_link.h"

#include <cstdlib>
#include <random>
#include <utility>

#include "core/colors.h"
#include "modem/serial_port.h"

namespace qz {

ModemLink::ModemLink(std::filesystem::path instance_folder, SettingsFile& file, Settings& s,
                     GatewayLog& l, Workers& workers)
    : folder(std::move(instance_folder)),
      settings_file(file),
      settings(s),
      log(l),
      modem(l, s),
      workers_(workers) {
  modem.on_device_gone([this](const std::string& reason) { report_modem_fault("the device is gone (" + reason + ")"); });
}

void ModemLink::report_modem_fault(const std::string& why) {
  status.modem_up.store(false);
  {
    std::lock_guard lock(fault_mutex_);
    if (fault_) return;
    fault_ = why;
  }
  log.Log("The modem on port " + settings.Port + " fails: " + why + "; the port is opened anew", kRed);
  fault_event_.set();
}

std::optional<std::string> ModemLink::take_modem_fault() {
  std::lock_guard lock(fault_mutex_);
  // The event also carries the stop, which must keep waking the signal thread.
  if (!stopping()) fault_event_.reset();
  return std::exchange(fault_, std::nullopt);
}

bool ModemLink::has_modem_fault() const {
  std::lock_guard lock(fault_mutex_);
  return fault_.has_value();
}

bool ModemLink::wait_for_fault(int64_t ms) {
  // Hooked at the first wait, not at the making: the gateway makes its Workers after us.
  std::call_once(stop_wakes_fault_waits_, [this] { workers_.on_stop([this] { fault_event_.set(); }); });
  if (!has_modem_fault()) fault_event_.wait_ms(ms);
  return !stopping();
}

ModemLink::~ModemLink() { modem.stop_input_thread(); }

unsigned char ModemLink::next_concatenation_reference() {
  std::lock_guard lock(concatenation_mutex_);
  if (!concatenation_reference_) {
    const std::string kept = settings_file.read_text("WatchDog", "SmsReference", "", 8);
    char* end = nullptr;
    const unsigned long value = std::strtoul(kept.c_str(), &end, 10);
    if (!kept.empty() && *end == '\0' && value <= 255) {
      concatenation_reference_ = static_cast<unsigned char>(value);
    } else {
      concatenation_reference_ = static_cast<unsigned char>(std::random_device{}());
    }
  }
  concatenation_reference_ = static_cast<unsigned char>(*concatenation_reference_ + 1);
  // Kept before it is used: a process that ends during the send does not take it again.
  settings_file.write_text("WatchDog", "SmsReference", std::to_string(*concatenation_reference_));
  return *concatenation_reference_;
}

std::string ModemLink::service_centre_number() const {
  std::lock_guard lock(service_centre_mutex_);
  return service_centre_number_;
}

int32_t ModemLink::service_centre_type() const {
  std::lock_guard lock(service_centre_mutex_);
  return service_centre_type_;
}

void ModemLink::set_service_centre(std::string number, int32_t type) {
  std::lock_guard lock(service_centre_mutex_);
  service_centre_number_ = std::move(number);
  service_centre_type_ = type;
}

}  // namespace qz
