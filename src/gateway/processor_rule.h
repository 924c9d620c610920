// The processor rule, applied once at process start: the gateway runs on one processor,
// chosen at random among those it may use, each step logged to the daily log. The masks
// come from sched_getaffinity on Linux and GetProcessAffinityMask on Windows; the rule
// itself is the same on both.
#pragma once

#include <cstdint>
#include <optional>

namespace qz {

class GatewayLog;

void apply_processor_rule(GatewayLog& log);

// The mask with only the (n+1)-th set bit of `process_mask`, counting from bit 0.
uint32_t nth_processor_mask(uint32_t process_mask, int n);

// What the platform says of the processors, as masks of the first 32 (the rule was made
// for 32-bit masks): every processor the machine has, and those this process may use.
struct ProcessorMasks {
  uint32_t system = 0;
  uint32_t process = 0;
};
std::optional<ProcessorMasks> read_processor_masks();

// Lets this process run only on the processors of `mask`; false when the platform refused.
bool restrict_to_processors(uint32_t mask);

}  // namespace qz
