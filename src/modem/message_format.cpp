#include "modem/message_format.h"

#include <string>

#include "core/clock.h"
#include "core/colors.h"
#include "modem/modem_link.h"

namespace qz {

namespace {

// A modem busy with a network event may refuse once; one that refuses this often will not.
constexpr int kTextModeTries = 3;
constexpr int64_t kBetweenTriesMs = 1000;

bool switch_to_text_mode(ModemChannel& m) {
  m.events.clear(OkEvent);
  m.events.clear(ErrorEvent);
  m.SendCommand("at+cmgf", "=1\r");
  const bool confirmed = m.WaitOkOrError(5000) == 0;
  // Unconfirmed, the modem may have switched or not: only a later OK tells.
  m.set_message_mode(confirmed ? ModemChannel::MessageMode::kText : ModemChannel::MessageMode::kUnknown);
  return confirmed;
}

}  // namespace

bool enter_pdu_mode(ModemLink& link) {
  ModemChannel& m = link.modem;
  m.events.clear(OkEvent);
  m.SendCommand("at+cmgf", "=0\r");
  const bool confirmed = m.WaitOk(5000) == 0;
  m.set_message_mode(confirmed ? ModemChannel::MessageMode::kPdu : ModemChannel::MessageMode::kUnknown);
  return confirmed;
}

void leave_pdu_mode(ModemLink& link, const char* after) {
  if (!switch_to_text_mode(link.modem)) {
    link.log.Log(std::string("The modem did not confirm its return to text mode after ") + after +
                     ": it is tried again before the next command of text mode",
                 kRed);
  }
}

bool ensure_text_mode(ModemLink& link) {
  ModemChannel& m = link.modem;
  for (int attempt = 0; attempt < kTextModeTries; ++attempt) {
    if (m.message_mode() == ModemChannel::MessageMode::kText) return true;
    if (m.device_gone()) return false;
    if (attempt > 0) clock().sleep_ms(kBetweenTriesMs);
    if (switch_to_text_mode(m)) {
      link.log.WriteDailyLog("The modem is back in text mode");
      return true;
    }
  }
  link.report_modem_fault("it stays out of text mode (at+cmgf=1 refused " + std::to_string(kTextModeTries) + " times)");
  return false;
}

}  // namespace qz
