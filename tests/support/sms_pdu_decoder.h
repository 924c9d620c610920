// SMS PDUs as an independent decoder (libgammu, through python3-gammu) reads them,
// for the tests of what the gateway hands the modem in PDU mode.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qz::test {

struct DecodedSms {
  std::string number;
  std::string coding;  // "Default_No_Compression" (GSM) or "Unicode_No_Compression" (UCS-2)
  int message_class = -1;
  int reference = 0;   // concatenation reference; 0 without a header
  int part = -1;       // from 1; -1 without a header
  int parts = 0;
  std::string text;    // UTF-8
  int wide_reference = 0;  // a 16-bit concatenation reference
  std::string type;    // "Submit", "Deliver", "Status_Report"
};

// Nothing when the decoder is not installed; a PDU the decoder refuses fails the test
// that asked and leaves it out.
std::optional<std::vector<DecodedSms>> decode_sms_pdus(const std::vector<std::string>& pdus);

}  // namespace qz::test
