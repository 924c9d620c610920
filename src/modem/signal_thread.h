// Polls the signal quality for the signal meter and re-registers the modem when the
// signal reads 0. When the modem stops answering those attempts, the gateway raises the
// technical alarm and ends, to be started afresh.
#pragma once

#include <string_view>

namespace qz {

class ModemLink;

void SignalThread(ModemLink& link);

// The level in a captured "+CSQ:" reply; 0 when missing, 99 (not detectable) or
// otherwise outside 0..31.
int parse_signal_level(std::string_view capture);

}  // namespace qz
