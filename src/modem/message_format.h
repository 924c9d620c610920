// The modem's message format (at+cmgf): text mode, which the start dialogue sets and the
// gateway keeps, and PDU mode, which a few exchanges switch to for their own length (an
// SMS in UCS-2 or in parts joined on the phone, a listing in UTF-8). Which one the modem
// is in is known, never assumed (ModemChannel::message_mode): a modem that did not confirm
// its return to text mode would take every later text-mode submission for a PDU, and
// refuse it.
#pragma once

namespace qz {

class ModemLink;

// Switches to PDU mode. False when the modem did not confirm; its mode is not known then.
// The caller holds the modem.
bool enter_pdu_mode(ModemLink& link);

// After an exchange in PDU mode: one try to go back to text mode. A refusal is said in red
// (`after` names the exchange) and mended by the next ensure_text_mode.
void leave_pdu_mode(ModemLink& link, const char* after);

// Before a command of text mode: nothing when the modem is known to be in text mode, else
// the return is tried again, a few times. False when the modem will not go back: that is
// reported as a modem fault (ModemLink::report_modem_fault), and the command must not be
// sent. The caller holds the modem.
bool ensure_text_mode(ModemLink& link);

}  // namespace qz
