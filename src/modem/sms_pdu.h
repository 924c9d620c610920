// SMS-SUBMIT in PDU mode (3GPP TS 23.040, TS 27.005): the octets that go after
// "at+cmgs=<length>" when the modem is in PDU mode.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "modem/sms_coding.h"

namespace qz {

// One part of a concatenated message: the header that lets the phone join the parts.
struct ConcatenationHeader {
  unsigned char reference = 0;  // the same for every part of one message
  unsigned char parts = 1;
  unsigned char sequence = 1;   // from 1
};

struct SubmitPdu {
  std::string hex;          // the PDU as the modem takes it, with an empty SMSC field
  std::size_t length = 0;   // octets without the SMSC field: the argument of at+cmgs
};

// `number`: digits with an optional leading '+' and '*' or '#' (is_dialable). `units`:
// one part as split_sms_text gives it. The validity period is 24 hours and a flash SMS
// has message class 0, as in text mode. `status_report` asks the network for a delivery
// report of the part.
SubmitPdu build_submit_pdu(std::string_view number, SmsAlphabet alphabet, std::string_view units,
                           bool flash, std::optional<ConcatenationHeader> header, bool status_report = false);

}  // namespace qz
