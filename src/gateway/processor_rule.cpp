#include "gateway/processor_rule.h"

namespace qz {

uint32_t nth_processor_mask(uint32_t process_mask, int n) {
  for (int bit = 0; bit < 32; ++bit) {
    uint32_t b = 1u << bit;
    if ((process_mask & b) != 0 && n-- == 0) return b;
  }
  return 0;
}

}  // namespace qz
