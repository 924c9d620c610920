// Received messages as a network delivers them, built here octet by octet so that the
// tests do not take their PDUs from the code under test: SMS-DELIVER with any coding and
// user data header, and SMS-STATUS-REPORT. Hex, with an empty SMSC field.
#pragma once

#include <string>

namespace qz::test {

inline constexpr int kGsmCoding = 0x00;
inline constexpr int kEightBitCoding = 0x04;
inline constexpr int kUcs2Coding = 0x08;

struct DeliverSpec {
  std::string sender = "+41791234567";  // digits, '+' for an international number
  int coding = kGsmCoding;
  std::string header;  // user data header elements, without their length octet
  std::string units;   // septets (one a byte) for GSM, octets otherwise
};
std::string deliver_pdu(const DeliverSpec& spec);

// A concatenation element: 8-bit (IEI 0) or 16-bit (IEI 8) reference.
std::string concatenation_element(unsigned reference, bool wide, unsigned parts, unsigned sequence);
// A WAP push's application port element (IEI 5: destination 2948, source 9200).
std::string wap_push_ports();

std::string status_report_pdu(const std::string& recipient, int reference, int status);

// UCS-2, big-endian, of a text in the basic plane given as UTF-16 code units.
std::string ucs2(const std::u16string& text);

}  // namespace qz::test
