#include "modem/sms_deliver.h"

#include <vector>

#include "core/utf8.h"
#include "modem/sms_coding.h"

namespace qz {

namespace {

using Octets = std::vector<unsigned char>;

// `count` septets packed from `data`, starting `skip` septets in.
std::optional<std::string> unpack_septets(const unsigned char* data, std::size_t size, std::size_t skip,
                                          std::size_t count) {
  std::string septets;
  for (std::size_t i = skip; i < skip + count; ++i) {
    const std::size_t bit = i * 7;
    if (bit / 8 >= size) return std::nullopt;
    unsigned value = data[bit / 8] >> (bit % 8);
    if (bit % 8 > 1) {
      if (bit / 8 + 1 >= size) return std::nullopt;
      value |= static_cast<unsigned>(data[bit / 8 + 1]) << (8 - bit % 8);
    }
    septets += static_cast<char>(value & 0x7F);
  }
  return septets;
}

std::string gsm_to_utf8(std::string_view septets) {
  std::string utf8;
  for (std::size_t i = 0; i < septets.size(); ++i) {
    const bool escaped = septets[i] == 0x1B && i + 1 < septets.size();
    if (escaped) ++i;
    append_utf8(utf8, gsm_character(static_cast<unsigned char>(septets[i]), escaped));
  }
  return utf8;
}

std::string ucs2_to_utf8(const unsigned char* data, std::size_t size) {
  std::string utf8;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    char32_t unit = static_cast<char32_t>(data[i] << 8 | data[i + 1]);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < size) {
      const char32_t low = static_cast<char32_t>(data[i + 2] << 8 | data[i + 3]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      }
    }
    append_utf8(utf8, unit);  // a lone surrogate becomes U+FFFD
  }
  return utf8;
}

enum class Alphabet { kGsm, kEightBit, kUcs2 };

Alphabet alphabet_of(unsigned char dcs) {
  if ((dcs & 0xC0) == 0x00) {
    switch ((dcs >> 2) & 0x03) {
      case 1: return Alphabet::kEightBit;
      case 2: return Alphabet::kUcs2;
      default: return Alphabet::kGsm;
    }
  }
  if ((dcs & 0xF0) == 0xE0) return Alphabet::kUcs2;
  if ((dcs & 0xF0) == 0xF0) return (dcs & 0x04) != 0 ? Alphabet::kEightBit : Alphabet::kGsm;
  return Alphabet::kGsm;
}

// An address field (TS 23.040 9.1.2.5) at `pos`, which it moves past it: digits with a
// leading '+' when international, or a name in the GSM alphabet.
std::optional<std::string> read_address(const Octets& o, std::size_t& pos) {
  if (pos + 2 > o.size()) return std::nullopt;
  const std::size_t digits = o[pos];
  const unsigned char type = o[pos + 1];
  pos += 2;
  const std::size_t address_octets = (digits + 1) / 2;
  if (pos + address_octets > o.size()) return std::nullopt;
  std::string address;
  if ((type & 0x70) == 0x50) {
    // `digits` counts semi-octets.
    auto name = unpack_septets(&o[pos], address_octets, 0, digits * 4 / 7);
    if (!name) return std::nullopt;
    address = gsm_to_utf8(*name);
  } else {
    if ((type & 0x70) == 0x10) address = "+";
    static constexpr char kDigits[] = "0123456789*#abc";
    for (std::size_t i = 0; i < digits; ++i) {
      const unsigned semi = i % 2 == 0 ? o[pos + i / 2] & 0x0F : o[pos + i / 2] >> 4;
      if (semi < 0xF) address += kDigits[semi];
    }
  }
  pos += address_octets;
  return address;
}

// What the user data header says of the message: its place in a long text, and whether
// it is addressed to an application's port. A concatenation element that makes no sense
// (no parts, a part beyond the last) is ignored, so the part is read as a whole message.
struct HeaderFacts {
  std::optional<SmsPartOf> part;
  bool port = false;
};

HeaderFacts read_header(const unsigned char* header, std::size_t size) {
  HeaderFacts facts;
  for (std::size_t i = 0; i + 2 <= size;) {
    const unsigned char element = header[i];
    const std::size_t length = header[i + 1];
    const unsigned char* value = header + i + 2;
    if (i + 2 + length > size) break;
    SmsPartOf part;
    bool concatenation = false;
    if (element == 0x00 && length == 3) {
      part = {value[0], false, value[1], value[2]};
      concatenation = true;
    } else if (element == 0x08 && length == 4) {
      part = {static_cast<unsigned>(value[0] << 8 | value[1]), true, value[2], value[3]};
      concatenation = true;
    } else if (element == 0x04 || element == 0x05) {
      facts.port = true;
    }
    if (concatenation && part.parts >= 2 && part.sequence >= 1 && part.sequence <= part.parts) facts.part = part;
    i += 2 + length;
  }
  return facts;
}

}  // namespace

std::optional<DeliveredSms> decode_deliver_pdu(std::string_view hex) {
  const std::optional<Octets> pdu = octets_from_hex(hex);
  if (!pdu || pdu->empty()) return std::nullopt;
  const Octets& o = *pdu;
  std::size_t pos = 1 + o[0];  // past the SMSC field
  const auto need = [&](std::size_t n) { return pos + n <= o.size(); };

  if (!need(1) || (o[pos] & 0x03) != 0) return std::nullopt;  // not an SMS-DELIVER
  const bool header = (o[pos] & 0x40) != 0;
  ++pos;

  DeliveredSms sms;
  std::optional<std::string> sender = read_address(o, pos);
  if (!sender) return std::nullopt;
  sms.sender = std::move(*sender);

  if (!need(2 + 7 + 1)) return std::nullopt;  // protocol, coding, time stamp, length
  const Alphabet alphabet = alphabet_of(o[pos + 1]);
  pos += 2 + 7;
  const std::size_t length = o[pos++];
  const unsigned char* data = o.data() + pos;
  const std::size_t size = o.size() - pos;

  std::size_t header_octets = 0;
  if (header) {
    if (size == 0 || 1u + data[0] > size) return std::nullopt;
    header_octets = 1u + data[0];
    const HeaderFacts facts = read_header(data + 1, data[0]);
    sms.part = facts.part;
    sms.data = facts.port;
  }
  if (alphabet == Alphabet::kEightBit) sms.data = true;
  if (alphabet == Alphabet::kGsm) {
    const std::size_t header_septets = (header_octets * 8 + 6) / 7;
    if (length < header_septets) return std::nullopt;
    auto septets = unpack_septets(data, size, header_septets, length - header_septets);
    if (!septets) return std::nullopt;
    sms.text = gsm_to_utf8(*septets);
  } else {
    if (length > size || length < header_octets) return std::nullopt;
    if (alphabet == Alphabet::kUcs2) {
      sms.text = ucs2_to_utf8(data + header_octets, length - header_octets);
    } else {
      for (std::size_t i = header_octets; i < length; ++i) append_utf8(sms.text, data[i]);
    }
  }
  return sms;
}

bool is_status_report_pdu(std::string_view hex) {
  const std::optional<Octets> pdu = octets_from_hex(hex);
  return pdu && !pdu->empty() && 1u + (*pdu)[0] < pdu->size() && ((*pdu)[1u + (*pdu)[0]] & 0x03) == 0x02;
}

std::optional<std::string> status_report_recipient(std::string_view hex) {
  const std::optional<Octets> pdu = octets_from_hex(hex);
  if (!pdu || pdu->empty()) return std::nullopt;
  const Octets& o = *pdu;
  std::size_t pos = 1 + o[0];  // past the SMSC field
  if (pos + 2 > o.size() || (o[pos] & 0x03) != 0x02) return std::nullopt;
  pos += 2;  // first octet, message reference
  std::optional<std::string> recipient = read_address(o, pos);
  // The two time stamps and the status follow.
  if (!recipient || pos + 7 + 7 + 1 > o.size()) return std::nullopt;
  return recipient;
}

}  // namespace qz
