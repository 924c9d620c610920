#include "modem/voice_call.h"

#include <mutex>
#include <string>

#include "core/colours.h"
#include "modem/modem_link.h"
#include "modem/phone_number.h"

namespace qz {

int voice_call(ModemLink& link, std::string_view number_text) {
  const int hold_seconds = link.settings.VoiceCallDuration;
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
  // arrives between answer and hold, or between two seconds of the hold, still counts.
  m.events.clear(OkEvent);
  m.events.clear(NoCarrierEvent);
  m.SendCommand("atd", number + ";\r");
  if (m.WaitOk(30000) != 0) {
    link.log.WriteDailyLog("Unable to call number " + number + " (\"ATD" + number + ";\" no response)");
    return -1;
  }

  for (int second = 0; second < hold_seconds; ++second) {
    if (m.events.wait(NoCarrierEvent, 1000)) {
      link.log.WriteDailyLog("Connection broken with number " + number);
      return -1;
    }
  }

  for (int attempt = 0; attempt < 2; ++attempt) {
    m.events.clear(OkEvent);
    m.SendCommand("at+chup", "\r");
    if (m.WaitOk(5000) == 0) return 0;
  }
  link.log.WriteDailyLog("Unable to hang up (called number " + number + ")");
  return -1;
}

}  // namespace qz
