// Received SMS as the modem lists them in PDU mode (SMS-DELIVER, 3GPP TS 23.040): the
// sender and the text in UTF-8, whatever alphabet the sender's phone chose.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qz {

struct DeliveredSms {
  std::string sender;  // digits with a leading '+' when international, or the sender's name
  std::string text;    // UTF-8
};

// `hex`: the PDU as listed, SMSC field first. Nothing when it is not a well-formed
// SMS-DELIVER; never reads outside it. A concatenation header is skipped; 8-bit data is
// read as ISO 8859-1.
std::optional<DeliveredSms> decode_deliver_pdu(std::string_view hex);

}  // namespace qz
