// A received SMS listed in PDU mode is hex written by whoever sent it and by the network.
// Whatever the hex holds, decoding stays inside it, and what it yields is well-formed
// UTF-8 for the command to take.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "core/utf8.h"
#include "fuzz_check.h"
#include "modem/sms_deliver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  // An exact-size copy, so that a read past the end is a finding.
  auto bytes = std::make_unique<char[]>(size);
  std::copy(data, data + size, bytes.get());
  const auto sms = qz::decode_deliver_pdu(std::string_view(bytes.get(), size));
  if (sms) {
    FUZZ_CHECK(qz::is_utf8(sms->sender));
    FUZZ_CHECK(qz::is_utf8(sms->text));
    // Only a part that can be joined is called one.
    if (sms->part) FUZZ_CHECK(sms->part->parts >= 2 && sms->part->sequence >= 1 && sms->part->sequence <= sms->part->parts);
  }
  // A status report is never taken for a received text.
  const std::string_view hex(bytes.get(), size);
  if (qz::is_status_report_pdu(hex)) FUZZ_CHECK(!sms);
  if (const auto recipient = qz::status_report_recipient(hex)) FUZZ_CHECK(qz::is_utf8(*recipient));
  return 0;
}
