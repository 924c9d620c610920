#include "core/startup.h"

#include "core/colours.h"
#include "core/gateway.h"

namespace qz {

uint32_t nth_processor_mask(uint32_t process_mask, int n) {
  for (int bit = 0; bit < 32; ++bit) {
    uint32_t b = 1u << bit;
    if ((process_mask & b) != 0 && n-- == 0) return b;
  }
  return 0;
}

void start_worker_threads(Gateway& g) {
  // The threads of the alarm path and the modem services join here as they are built,
  // in their fixed order: report, processing, job reader, incoming, signal.
  (void)g;
}

}  // namespace qz
