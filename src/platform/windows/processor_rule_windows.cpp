// The processor rule on Windows: the process's affinity mask, of which the first 32
// processors stand for the 32-bit masks the rule was made for.
#include <windows.h>

#include <bit>
#include <cstdio>
#include <cstdlib>

#include "core/clock.h"
#include "core/gateway_log.h"
#include "gateway/processor_rule.h"

namespace qz {

void apply_processor_rule(GatewayLog& log) {
  DWORD_PTR process_affinity = 0, system_affinity = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process_affinity, &system_affinity)) return;
  uint32_t process_mask = static_cast<uint32_t>(process_affinity);
  uint32_t system_mask = static_cast<uint32_t>(system_affinity);

  char line[128];
  int system_count = std::popcount(system_mask);
  if (system_count <= 1) return;
  std::snprintf(line, sizeof line, "Multi-processor system: %d CPUs found", system_count);
  log.WriteDailyLog(line);

  int process_count = std::popcount(process_mask);
  std::snprintf(line, sizeof line, "Current process has been started with %d CPU(s)", process_count);
  log.WriteDailyLog(line);
  if (process_count <= 1) return;

  auto seed = std::chrono::system_clock::to_time_t(clock().now());
  std::srand(static_cast<unsigned>(seed));
  int n = std::rand() % process_count;
  std::snprintf(line, sizeof line, "=> Setting process to use only processor %d of the available %d :",
                n + 1, process_count);
  log.WriteDailyLog(line);

  uint32_t new_mask = nth_processor_mask(process_mask, n);
  std::snprintf(line, sizeof line, "   [%08X] -> [%08X]", process_mask, new_mask);
  log.WriteDailyLog(line);
  log.WriteDailyLog(SetProcessAffinityMask(GetCurrentProcess(), new_mask) ? "done" : "FAILED");
}

}  // namespace qz
