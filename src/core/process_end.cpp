#include "core/process_end.h"

#include <cstdlib>
#include <mutex>

#include "core/service_manager.h"

namespace qz {

namespace {
std::mutex handler_mutex;
std::function<void(int)> handler;
}  // namespace

void end_process(int code) {
  std::function<void(int)> h;
  {
    std::lock_guard lock(handler_mutex);
    h = handler;
  }
  if (h) {
    h(code);
    return;
  }
  // Threads are never stopped in an orderly way: end at once, as a supervisor expects. A
  // Windows service manager is told first, so that it takes the end for a failure to recover.
  tell_service_stopped(code);
  std::_Exit(code);
}

void set_process_end_handler(std::function<void(int)> h) {
  std::lock_guard lock(handler_mutex);
  handler = std::move(h);
}

std::string process_end_notice(int64_t delay_ms, int code) {
  return "The gateway ends in " + std::to_string(delay_ms / 1000) + " s with exit code " +
         std::to_string(code) + ", for its supervisor to start it again";
}

}  // namespace qz
