#include "support/received_pdus.h"

#include <cstdio>

namespace qz::test {

namespace {

std::string hex(const std::string& octets) {
  std::string out;
  char pair[3];
  for (unsigned char c : octets) {
    std::snprintf(pair, sizeof pair, "%02X", c);
    out += pair;
  }
  return out;
}

std::string address(const std::string& number) {
  const bool international = !number.empty() && number[0] == '+';
  const std::string digits = international ? number.substr(1) : number;
  std::string out;
  out += static_cast<char>(digits.size());
  out += static_cast<char>(international ? 0x91 : 0x81);
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    const int low = digits[i] - '0';
    const int high = i + 1 < digits.size() ? digits[i + 1] - '0' : 0xF;
    out += static_cast<char>(high << 4 | low);
  }
  return out;
}

const std::string kTimeStamp("\x42\x30\x10\x21\x00\x00\x40", 7);  // 24/03/01 12:00:00 +01:00

}  // namespace

std::string deliver_pdu(const DeliverSpec& spec) {
  std::string pdu("\x00", 1);
  pdu += static_cast<char>(spec.header.empty() ? 0x04 : 0x44);
  pdu += address(spec.sender);
  pdu += '\0';
  pdu += static_cast<char>(spec.coding);
  pdu += kTimeStamp;
  const std::string header =
      spec.header.empty() ? std::string() : static_cast<char>(spec.header.size()) + spec.header;
  if (spec.coding != kGsmCoding) {
    pdu += static_cast<char>(header.size() + spec.units.size());
    return hex(pdu + header + spec.units);
  }
  // The header in whole octets, fill bits up to a septet's edge, then the septets.
  std::string bits;
  for (unsigned char c : header) {
    for (int b = 0; b < 8; ++b) bits += (c >> b & 1) ? '1' : '0';
  }
  while (bits.size() % 7 != 0) bits += '0';
  const std::size_t header_septets = bits.size() / 7;
  for (unsigned char c : spec.units) {
    for (int b = 0; b < 7; ++b) bits += (c >> b & 1) ? '1' : '0';
  }
  std::string data((bits.size() + 7) / 8, '\0');
  for (std::size_t i = 0; i < bits.size(); ++i) {
    if (bits[i] == '1') data[i / 8] = static_cast<char>(data[i / 8] | 1 << (i % 8));
  }
  pdu += static_cast<char>(header_septets + spec.units.size());
  return hex(pdu + data);
}

std::string concatenation_element(unsigned reference, bool wide, unsigned parts, unsigned sequence) {
  std::string out;
  out += static_cast<char>(wide ? 0x08 : 0x00);
  out += static_cast<char>(wide ? 4 : 3);
  if (wide) out += static_cast<char>(reference >> 8);
  out += static_cast<char>(reference & 0xFF);
  out += static_cast<char>(parts);
  out += static_cast<char>(sequence);
  return out;
}

std::string wap_push_ports() { return std::string("\x05\x04\x0B\x84\x23\xF0", 6); }

std::string status_report_pdu(const std::string& recipient, int reference, int status) {
  std::string pdu("\x00\x06", 2);
  pdu += static_cast<char>(reference);
  pdu += address(recipient);
  pdu += kTimeStamp + kTimeStamp;
  pdu += static_cast<char>(status);
  return hex(pdu);
}

std::string ucs2(const std::u16string& text) {
  std::string out;
  for (char16_t unit : text) {
    out += static_cast<char>(unit >> 8);
    out += static_cast<char>(unit & 0xFF);
  }
  return out;
}

}  // namespace qz::test
