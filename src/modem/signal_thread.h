// Polls the signal quality for the signal meter and re-registers the modem when the
// signal reads 0. When the modem stops answering those attempts, the gateway raises the
// technical alarm and ends, to be started afresh.
//
// It also brings the modem back after a fault reported to the ModemLink (its device gone,
// the modem stuck out of text mode), at once rather than at its next poll: the port is
// opened anew and the start dialogue run again for up to 30 s, and only a modem still not
// back then is lost as above. Either way the modem stays held meanwhile, and what failed
// while it was gone is tried again once it is back.
#pragma once

#include <string_view>

namespace qz {

class ModemLink;

void SignalThread(ModemLink& link);

// The level in a captured "+CSQ:" reply; 0 when missing, 99 (not detectable) or
// otherwise outside 0..31.
int parse_signal_level(std::string_view capture);

}  // namespace qz
