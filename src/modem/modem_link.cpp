#include "modem/modem_link.h"

#include "modem/serial_port.h"

namespace qz {

ModemLink::ModemLink(std::filesystem::path instance_folder, SettingsFile& file, Settings& s,
                     GatewayLog& l, Workers& workers)
    : folder(std::move(instance_folder)),
      settings_file(file),
      settings(s),
      log(l),
      modem(l, s),
      workers_(workers) {}

ModemLink::~ModemLink() { modem.stop_input_thread(); }

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
