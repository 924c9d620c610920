// How full the modem's message store is. A full store takes no more messages: every
// acknowledgement and command sent to the gateway is lost on the network's side until
// room is made, so the operator is told well before.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qz {

class ModemChannel;

struct StoreUse {
  int used = 0;
  int total = 0;
  // From 80 % on: parts still waiting for the rest of their message give way.
  bool nearly_full() const { return total > 0 && used * 5 >= total * 4; }
  bool full() const { return total > 0 && used >= total; }
  // Entries to free to come back under the nearly-full line.
  int over_line() const { return nearly_full() ? used - (total * 4 + 4) / 5 + 1 : 0; }
};

// The first store of a "+CPMS:" query reply (the one messages are listed from and deleted
// in): `+CPMS: "SM",3,20,...`. Nothing when the reply holds no such line or its numbers
// make no sense.
std::optional<StoreUse> parse_store_use(std::string_view reply);

// Asks the modem; the caller holds ModemLock. `refused` is set when the modem answered
// but does not tell (ERROR, or a reply that makes no sense), as against no answer at all.
std::optional<StoreUse> read_store_use(ModemChannel& modem, bool& refused);

// Says each change of level once: nearly full, full, and back to normal.
class StoreUseWatch {
 public:
  enum class Level { kNormal, kNearlyFull, kFull };
  // The line to log for a new reading, red unless it is back to normal; empty when the
  // level has not changed.
  std::string update(const StoreUse& use);
  Level level() const { return level_; }

 private:
  Level level_ = Level::kNormal;
};

}  // namespace qz
