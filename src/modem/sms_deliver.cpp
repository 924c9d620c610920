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

  if (!need(2)) return std::nullopt;
  const std::size_t digits = o[pos];
  const unsigned char type = o[pos + 1];
  pos += 2;
  const std::size_t address_octets = (digits + 1) / 2;
  if (!need(address_octets)) return std::nullopt;
  DeliveredSms sms;
  if ((type & 0x70) == 0x50) {
    // A name in the GSM alphabet, `digits` counting semi-octets.
    auto name = unpack_septets(&o[pos], address_octets, 0, digits * 4 / 7);
    if (!name) return std::nullopt;
    sms.sender = gsm_to_utf8(*name);
  } else {
    if ((type & 0x70) == 0x10) sms.sender = "+";
    static constexpr char kDigits[] = "0123456789*#abc";
    for (std::size_t i = 0; i < digits; ++i) {
      const unsigned semi = i % 2 == 0 ? o[pos + i / 2] & 0x0F : o[pos + i / 2] >> 4;
      if (semi < 0xF) sms.sender += kDigits[semi];
    }
  }
  pos += address_octets;

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
  }
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

}  // namespace qz
