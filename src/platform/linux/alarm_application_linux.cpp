// On Linux the alarm application's flag file lies beside the gateway's own settings.
#include "ui/alarm_application.h"

namespace qz::ui {

std::filesystem::path AlarmApplicationFolder(const std::filesystem::path& instance_folder) {
  return instance_folder;
}

}  // namespace qz::ui
