// Alarm by voice call: dial, wait for the answer, hold the line, hang up.
#pragma once

#include <string_view>

namespace qz {

class ModemLink;

// 0 when the call was answered, held for VoiceCallDuration seconds (at most
// kMaxVoiceCallDuration) and hung up; -1 else. A stop of the gateway ends the hold at
// once: the call is hung up and, answered as it was, counts as done, so that no restart
// calls again. A hang-up by the called party during the hold is a failure.
int voice_call(ModemLink& link, std::string_view number);

// For a process that ends without waiting for voice_call (the stop limit ran out, a
// second stop signal): hangs up a call the modem may still hold, best effort, without
// the modem lock and without waiting for the reply.
void hang_up_before_exit(ModemLink& link);

}  // namespace qz
