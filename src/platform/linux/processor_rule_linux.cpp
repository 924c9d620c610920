// The processors on Linux: the first 32 of the affinity set stand for the 32-bit masks the
// rule was made for.
#include <sched.h>
#include <unistd.h>

#include "gateway/processor_rule.h"

namespace qz {

std::optional<ProcessorMasks> read_processor_masks() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0) return std::nullopt;
  ProcessorMasks masks;
  for (int cpu = 0; cpu < 32; ++cpu) {
    if (CPU_ISSET(cpu, &set)) masks.process |= 1u << cpu;
  }
  // Every processor that exists, whatever this process may use.
  long count = sysconf(_SC_NPROCESSORS_CONF);
  if (count >= 32) {
    masks.system = 0xFFFFFFFFu;
  } else if (count > 0) {
    masks.system = (1u << count) - 1u;
  }
  return masks;
}

bool restrict_to_processors(uint32_t mask) {
  cpu_set_t set;
  CPU_ZERO(&set);
  for (int cpu = 0; cpu < 32; ++cpu) {
    if (mask & (1u << cpu)) CPU_SET(cpu, &set);
  }
  return sched_setaffinity(0, sizeof set, &set) == 0;
}

}  // namespace qz
