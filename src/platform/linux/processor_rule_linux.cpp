// The processor rule on Linux: the first 32 processors of the affinity set stand for
// the 32-bit masks the rule was made for.
#include <sched.h>
#include <unistd.h>

#include <bit>
#include <cstdio>
#include <cstdlib>

#include "core/clock.h"
#include "core/gateway_log.h"
#include "gateway/processor_rule.h"

namespace qz {

namespace {

uint32_t mask_of(const cpu_set_t& set) {
  uint32_t mask = 0;
  for (int cpu = 0; cpu < 32; ++cpu) {
    if (CPU_ISSET(cpu, &set)) mask |= 1u << cpu;
  }
  return mask;
}

// Every processor that exists, whatever this process may use.
uint32_t system_mask() {
  long count = sysconf(_SC_NPROCESSORS_CONF);
  if (count <= 0) return 0;
  if (count >= 32) return 0xFFFFFFFFu;
  return (1u << count) - 1u;
}

}  // namespace

void apply_processor_rule(GatewayLog& log) {
  cpu_set_t process_set;
  CPU_ZERO(&process_set);
  if (sched_getaffinity(0, sizeof process_set, &process_set) != 0) return;
  uint32_t process_mask = mask_of(process_set);

  char line[128];
  int system_count = std::popcount(system_mask());
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

  cpu_set_t new_set;
  CPU_ZERO(&new_set);
  for (int cpu = 0; cpu < 32; ++cpu) {
    if (new_mask & (1u << cpu)) CPU_SET(cpu, &new_set);
  }
  log.WriteDailyLog(sched_setaffinity(0, sizeof new_set, &new_set) == 0 ? "done" : "FAILED");
}

}  // namespace qz
