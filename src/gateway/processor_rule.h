// The processor rule, applied once at process start: the gateway runs on one processor,
// chosen at random among those it may use, each step logged to the daily log.
#pragma once

#include <cstdint>

namespace qz {

class GatewayLog;

void apply_processor_rule(GatewayLog& log);

// The mask with only the (n+1)-th set bit of `process_mask`, counting from bit 0.
uint32_t nth_processor_mask(uint32_t process_mask, int n);

}  // namespace qz
