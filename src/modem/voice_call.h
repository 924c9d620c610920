// Alarm by voice call: dial, wait for the answer, hold the line, hang up.
#pragma once

#include <string_view>

namespace qz {

class Gateway;

// 0 when the call was answered, held for VoiceCallDuration seconds and hung up; -1 else.
int voice_call(Gateway& gateway, std::string_view number);

}  // namespace qz
