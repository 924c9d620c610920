#include "modem/sms_pdu.h"

#include <vector>

namespace qz {

namespace {

using Octets = std::vector<unsigned char>;

constexpr unsigned char kSubmitWithRelativeValidity = 0x11;
constexpr unsigned char kUserDataHeaderIndicator = 0x40;
constexpr unsigned char kStatusReportRequest = 0x20;
constexpr unsigned char kValidity24Hours = 167;
constexpr unsigned char kDcsGsm = 0x00;
constexpr unsigned char kDcsUcs2 = 0x08;
constexpr unsigned char kDcsClass0 = 0x10;
constexpr unsigned char kInternational = 0x91;
constexpr unsigned char kUnknownNumbering = 0x81;

unsigned char semi_octet(char digit) {
  if (digit == '*') return 0xA;
  if (digit == '#') return 0xB;
  return static_cast<unsigned char>(digit - '0');
}

void append_address(Octets& pdu, std::string_view number) {
  const bool international = !number.empty() && number.front() == '+';
  if (international) number.remove_prefix(1);
  pdu.push_back(static_cast<unsigned char>(number.size()));
  pdu.push_back(international ? kInternational : kUnknownNumbering);
  for (std::size_t i = 0; i < number.size(); i += 2) {
    const unsigned char low = semi_octet(number[i]);
    const unsigned char high = i + 1 < number.size() ? semi_octet(number[i + 1]) : 0xF;
    pdu.push_back(static_cast<unsigned char>(high << 4 | low));
  }
}

// Septets packed seven into eight bits, least significant first, after `header` octets
// that take whole septets (the rest of the last one is fill bits).
Octets pack_septets(const Octets& header, std::string_view septets, std::size_t& udl) {
  const std::size_t header_septets = (header.size() * 8 + 6) / 7;
  udl = header_septets + septets.size();
  Octets packed((udl * 7 + 7) / 8, 0);
  std::copy(header.begin(), header.end(), packed.begin());
  for (std::size_t i = 0; i < septets.size(); ++i) {
    const std::size_t bit = (header_septets + i) * 7;
    const unsigned value = static_cast<unsigned char>(septets[i]) & 0x7F;
    packed[bit / 8] |= static_cast<unsigned char>(value << (bit % 8));
    if (bit % 8 > 1) packed[bit / 8 + 1] |= static_cast<unsigned char>(value >> (8 - bit % 8));
  }
  return packed;
}

}  // namespace

SubmitPdu build_submit_pdu(std::string_view number, SmsAlphabet alphabet, std::string_view units,
                           bool flash, std::optional<ConcatenationHeader> header, bool status_report) {
  Octets udh;
  if (header) {
    // Information element 0: concatenation with an 8-bit reference.
    udh = {5, 0x00, 3, header->reference, header->parts, header->sequence};
  }

  Octets pdu;
  pdu.push_back(static_cast<unsigned char>(kSubmitWithRelativeValidity | (header ? kUserDataHeaderIndicator : 0) |
                                           (status_report ? kStatusReportRequest : 0)));
  pdu.push_back(0);  // message reference: the modem sets it
  append_address(pdu, number);
  pdu.push_back(0);  // protocol identifier
  const unsigned char dcs = alphabet == SmsAlphabet::kGsm ? kDcsGsm : kDcsUcs2;
  pdu.push_back(static_cast<unsigned char>(dcs | (flash ? kDcsClass0 : 0)));
  pdu.push_back(kValidity24Hours);

  if (alphabet == SmsAlphabet::kGsm) {
    std::size_t udl = 0;
    const Octets data = pack_septets(udh, units, udl);
    pdu.push_back(static_cast<unsigned char>(udl));
    pdu.insert(pdu.end(), data.begin(), data.end());
  } else {
    pdu.push_back(static_cast<unsigned char>(udh.size() + units.size()));
    pdu.insert(pdu.end(), udh.begin(), udh.end());
    pdu.insert(pdu.end(), units.begin(), units.end());
  }

  static constexpr char kHex[] = "0123456789ABCDEF";
  SubmitPdu out;
  out.length = pdu.size();
  out.hex = "00";  // no SMSC address: the one stored in the modem
  for (unsigned char octet : pdu) {
    out.hex += kHex[octet >> 4];
    out.hex += kHex[octet & 0xF];
  }
  return out;
}

}  // namespace qz
