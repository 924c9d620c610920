// Start-up of the gateway: the processor rule at process start, and the worker threads
// that init_gsms starts once the modem dialogue is done.
#pragma once

#include <cstdint>

namespace qz {

class Gateway;
class GatewayLog;

// Pins the process to one randomly chosen processor of those it may use, logging each
// step to the daily log.
void apply_processor_rule(GatewayLog& log);

// The mask with only the (n+1)-th set bit of `process_mask`, counting from bit 0.
uint32_t nth_processor_mask(uint32_t process_mask, int n);

// Starts the worker threads in their fixed order, each followed by its start line.
void start_worker_threads(Gateway& gateway);

}  // namespace qz
