// Received SMS as the modem lists them in PDU mode (SMS-DELIVER, 3GPP TS 23.040): the
// sender and the text in UTF-8, whatever alphabet the sender's phone chose.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qz {

// Where one part stands in a long text. The reference is told apart by its size: an 8-bit
// 5 and a 16-bit 5 belong to different messages.
struct SmsPartOf {
  unsigned reference = 0;
  bool wide_reference = false;  // a 16-bit reference
  unsigned parts = 0;           // 2 or more
  unsigned sequence = 0;        // 1 to parts
};

struct DeliveredSms {
  std::string sender;  // digits with a leading '+' when international, or the sender's name
  std::string text;    // UTF-8
  // Not a text for a person: 8-bit data, or addressed to an application's port (a WAP
  // push such as an MMS notification). What `text` holds then means nothing.
  bool data = false;
  std::optional<SmsPartOf> part;  // from a concatenation header that makes sense
};

// `hex`: the PDU as listed, SMSC field first. Nothing when it is not a well-formed
// SMS-DELIVER; never reads outside it. 8-bit data is read as ISO 8859-1.
std::optional<DeliveredSms> decode_deliver_pdu(std::string_view hex);

// Whether the PDU is an SMS-STATUS-REPORT, by its message type alone.
bool is_status_report_pdu(std::string_view hex);

// The recipient of an SMS-STATUS-REPORT (the number the reported message went to);
// nothing when `hex` is no well-formed status report.
std::optional<std::string> status_report_recipient(std::string_view hex);

}  // namespace qz
