#include "modem/voice_call.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <string>

#include "core/colors.h"
#include "modem/modem_link.h"
#include "modem/phone_number.h"

namespace qz {

int voice_call(ModemLink& link, std::string_view number_text) {
  // The settings sheet takes any number; the hold keeps to the range the start allows.
  const int64_t hold_ms =
      int64_t{std::clamp(link.settings.VoiceCallDuration, 0, kMaxVoiceCallDuration)} * 1000;
  ModemChannel& m = link.modem;
  std::string number(number_text);
  std::lock_guard modem_lock(m.ModemLock);

  // Blanks are harmless inside a dial string (the modem skips them), so the number is
  // dialled as written; everything else must be dialable.
  if (!is_dialable(without_blanks(number))) {
    link.log.Log("Invalid tel number " + number, kRed);
    return -1;
  }

  m.events.clear(OkEvent);
  m.SendCommand("at+colp=", "1\r");
  if (m.WaitOk(5000) != 0) {
    link.log.WriteDailyLog("No answer from command \"at+colp=1\"");
    return -1;
  }

  // With connected-line identification on, OK to the dial means the call was answered.
  // NO CARRIER is cleared here, once, and not again during the hold: a hang-up that
  // arrives between answer and hold still counts.
  m.events.clear(OkEvent);
  m.events.clear(NoCarrierEvent);
  link.call_may_be_up = true;
  m.SendCommand("atd", number + ";\r");
  if (m.WaitOk(30000) != 0) {
    link.call_may_be_up = false;
    link.log.WriteDailyLog("Unable to call number " + number + " (\"ATD" + number + ";\" no response)");
    return -1;
  }

  if (hold_ms > 0) {
    int hold_end = m.events.wait_unless_stopping(NoCarrierEvent, hold_ms);
    if (hold_end == 0) {
      link.call_may_be_up = false;
      link.log.WriteDailyLog("Connection broken with number " + number);
      return -1;
    }
    if (hold_end == 1) link.log.WriteDailyLog("Stopping: the call to " + number + " is ended early");
  }

  for (int attempt = 0; attempt < 2; ++attempt) {
    m.events.clear(OkEvent);
    m.SendCommand("at+chup", "\r");
    if (m.WaitOk(5000) == 0) {
      link.call_may_be_up = false;
      return 0;
    }
  }
  // The call may still be up: a process that ends at once tries once more.
  link.log.WriteDailyLog("Unable to hang up (called number " + number + ")");
  return -1;
}

void hang_up_before_exit(ModemLink& link) {
  if (!link.call_may_be_up) return;
  link.log.WriteDailyLog("Hanging up the call in progress before the end");
  link.modem.SendCommandBeforeExit("at+chup", "\r");
}

}  // namespace qz
