// The processors on Windows: the process's affinity mask, of which the first 32 processors
// stand for the 32-bit masks the rule was made for.
#include <windows.h>

#include "gateway/processor_rule.h"

namespace qz {

std::optional<ProcessorMasks> read_processor_masks() {
  DWORD_PTR process_affinity = 0, system_affinity = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process_affinity, &system_affinity)) return std::nullopt;
  return ProcessorMasks{static_cast<uint32_t>(system_affinity), static_cast<uint32_t>(process_affinity)};
}

bool restrict_to_processors(uint32_t mask) { return SetProcessAffinityMask(GetCurrentProcess(), mask) != 0; }

}  // namespace qz
