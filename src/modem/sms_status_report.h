// Delivery reports as the network sends them (SMS-STATUS-REPORT, 3GPP TS 23.040 9.2.2.3):
// which message they are about (the reference the modem gave at submission), to whom, and
// whether it reached the phone. The modem hands them over as a PDU in PDU mode, or as the
// fields of a "+CDS:" line in text mode (TS 27.005 3.4.1); both are read here.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qz {

struct StatusReport {
  int reference = 0;         // 0..255, as "+CMGS: <mr>" gave it
  std::string recipient;     // digits, a leading '+' when international; may be empty
  std::string discharged;    // when the phone took it, or the network gave up: "YYYY-MM-DD hh:mm:ss"
  int status = 0;            // TP-Status

  // 0x00..0x1F: the message reached the phone (or was replaced); nothing more comes.
  bool delivered() const { return status < 0x20; }
  // 0x20..0x3F: the service centre is still trying; a final report follows.
  bool still_trying() const { return status >= 0x20 && status < 0x40; }
};

// `hex`: the PDU as the modem gives it, SMSC field first. Nothing when it is not a
// well-formed SMS-STATUS-REPORT; never reads outside it.
std::optional<StatusReport> decode_status_report_pdu(std::string_view hex);

// The fields after "+CDS: " in text mode: <fo>,<mr>,[<ra>],[<tora>],<scts>,<dt>,<st>.
std::optional<StatusReport> parse_status_report_fields(std::string_view fields);

// Why a message was not delivered, in words, for the log and the report command.
std::string status_reason(int status);

}  // namespace qz
