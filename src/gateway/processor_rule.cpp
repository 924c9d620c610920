#include "gateway/processor_rule.h"

#include <bit>
#include <cstdio>
#include <cstdlib>

#include "core/clock.h"
#include "core/gateway_log.h"

namespace qz {

uint32_t nth_processor_mask(uint32_t process_mask, int n) {
  for (int bit = 0; bit < 32; ++bit) {
    uint32_t b = 1u << bit;
    if ((process_mask & b) != 0 && n-- == 0) return b;
  }
  return 0;
}

void apply_processor_rule(GatewayLog& log) {
  std::optional<ProcessorMasks> masks = read_processor_masks();
  if (!masks) return;

  char line[128];
  int system_count = std::popcount(masks->system);
  if (system_count <= 1) return;
  std::snprintf(line, sizeof line, "Multi-processor system: %d CPUs found", system_count);
  log.WriteDailyLog(line);

  int process_count = std::popcount(masks->process);
  std::snprintf(line, sizeof line, "Current process has been started with %d CPU(s)", process_count);
  log.WriteDailyLog(line);
  if (process_count <= 1) return;

  auto seed = std::chrono::system_clock::to_time_t(clock().now());
  std::srand(static_cast<unsigned>(seed));
  int n = std::rand() % process_count;
  std::snprintf(line, sizeof line, "=> Setting process to use only processor %d of the available %d :",
                n + 1, process_count);
  log.WriteDailyLog(line);

  uint32_t new_mask = nth_processor_mask(masks->process, n);
  std::snprintf(line, sizeof line, "   [%08X] -> [%08X]", masks->process, new_mask);
  log.WriteDailyLog(line);
  log.WriteDailyLog(restrict_to_processors(new_mask) ? "done" : "FAILED");
}

}  // namespace qz
