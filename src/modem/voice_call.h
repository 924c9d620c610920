// Alarm by voice call: dial, wait for the answer, hold the line, hang up.
#pragma once

#include <string_view>

namespace qz {

class ModemLink;

// 0 when the call was answered, held for VoiceCallDuration seconds and hung up; -1 else.
int voice_call(ModemLink& link, std::string_view number);

}  // namespace qz
