#include "modem/sms_status_report.h"

#include <cstdio>
#include <vector>

#include "core/text.h"
#include "modem/sms_coding.h"

namespace qz {

namespace {

using Octets = std::vector<unsigned char>;

constexpr unsigned char kStatusReportType = 0x02;  // TP-MTI of an SMS-STATUS-REPORT

// Seven semi-octet pairs, each digit pair swapped: yy MM dd hh mm ss zz. Nothing when a
// digit is not one or a field is out of its range.
std::optional<std::string> time_stamp(const unsigned char* t) {
  int v[6];
  for (int i = 0; i < 6; ++i) {
    const int low = t[i] & 0x0F, high = t[i] >> 4;
    if (low > 9 || high > 9) return std::nullopt;
    v[i] = low * 10 + high;
  }
  if (v[1] < 1 || v[1] > 12 || v[2] < 1 || v[2] > 31 || v[3] > 23 || v[4] > 59 || v[5] > 59) return std::nullopt;
  char text[64];
  std::snprintf(text, sizeof text, "20%02d-%02d-%02d %02d:%02d:%02d", v[0], v[1], v[2], v[3], v[4], v[5]);
  return std::string(text);
}

// "yy/MM/dd,hh:mm:ss+zz" as text mode writes it (the quotes already gone).
std::optional<std::string> text_time_stamp(std::string_view date, std::string_view time) {
  int y, mo, d, h, mi, s;
  const std::string both = std::string(date) + "," + std::string(time);
  if (std::sscanf(both.c_str(), "%2d/%2d/%2d,%2d:%2d:%2d", &y, &mo, &d, &h, &mi, &s) != 6) return std::nullopt;
  Octets swapped;
  for (int v : {y, mo, d, h, mi, s}) {
    if (v < 0 || v > 99) return std::nullopt;
    swapped.push_back(static_cast<unsigned char>((v % 10) << 4 | v / 10));
  }
  return time_stamp(swapped.data());
}

// Fields of a text-mode line split at commas outside double quotes, the quotes removed.
std::vector<std::string> split_fields(std::string_view line) {
  std::vector<std::string> fields(1);
  bool quoted = false;
  for (char c : line) {
    if (c == '"') quoted = !quoted;
    else if (c == ',' && !quoted) fields.emplace_back();
    else fields.back() += c;
  }
  return fields;
}

std::optional<int> small_number(std::string_view text, int max) {
  text = trim(text);
  if (text.empty() || text.size() > 3) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > max) return std::nullopt;
  return value;
}

}  // namespace

std::optional<StatusReport> decode_status_report_pdu(std::string_view hex) {
  const std::optional<Octets> pdu = octets_from_hex(trim(hex));
  if (!pdu || pdu->empty()) return std::nullopt;
  const Octets& o = *pdu;
  std::size_t pos = 1 + std::size_t{o[0]};  // past the SMSC field
  const auto need = [&](std::size_t n) { return pos + n <= o.size(); };

  if (!need(4) || (o[pos] & 0x03) != kStatusReportType) return std::nullopt;
  StatusReport report;
  report.reference = o[pos + 1];
  const std::size_t digits = o[pos + 2];
  const unsigned char type = o[pos + 3];
  pos += 4;
  const std::size_t address_octets = (digits + 1) / 2;
  if (digits > 20 || !need(address_octets)) return std::nullopt;
  // A recipient named by letters is not one the gateway sends to: left empty.
  if ((type & 0x70) != 0x50) {
    if ((type & 0x70) == 0x10) report.recipient = "+";
    for (std::size_t i = 0; i < digits; ++i) {
      const unsigned semi = i % 2 == 0 ? o[pos + i / 2] & 0x0F : o[pos + i / 2] >> 4;
      if (semi <= 9) report.recipient += static_cast<char>('0' + semi);
    }
  }
  pos += address_octets;

  // Service centre time stamp, discharge time, status; what may follow is not needed.
  if (!need(7 + 7 + 1)) return std::nullopt;
  std::optional<std::string> discharged = time_stamp(&o[pos + 7]);
  if (!discharged) return std::nullopt;
  report.discharged = *discharged;
  report.status = o[pos + 14];
  return report;
}

std::optional<StatusReport> parse_status_report_fields(std::string_view fields) {
  const std::vector<std::string> f = split_fields(fields);
  // fo, mr, ra, tora, scts (date,time), dt (date,time), st: the time stamps hold a comma
  // inside their quotes, so they stay one field each.
  if (f.size() != 7) return std::nullopt;
  const std::optional<int> first = small_number(f[0], 255);
  const std::optional<int> reference = small_number(f[1], 255);
  const std::optional<int> status = small_number(f[6], 255);
  if (!first || (*first & 0x03) != kStatusReportType || !reference || !status) return std::nullopt;
  StatusReport report;
  report.reference = *reference;
  report.status = *status;
  for (char c : trim(f[2])) {
    if ((c >= '0' && c <= '9') || (c == '+' && report.recipient.empty())) report.recipient += c;
    else return std::nullopt;
  }
  const std::string& dt = f[5];
  const std::size_t comma = dt.find(',');
  if (comma == std::string::npos) return std::nullopt;
  std::optional<std::string> discharged = text_time_stamp(dt.substr(0, comma), dt.substr(comma + 1));
  if (!discharged) return std::nullopt;
  report.discharged = *discharged;
  return report;
}

std::string status_reason(int status) {
  switch (status) {
    case 0x00: return "received by the phone";
    case 0x01: return "forwarded, delivery not confirmed";
    case 0x02: return "replaced by the service centre";
    case 0x20: case 0x60: return "congestion";
    case 0x21: case 0x61: return "the phone is busy";
    case 0x22: case 0x62: return "no response from the phone";
    case 0x23: case 0x63: return "service rejected";
    case 0x24: case 0x64: return "quality of service not available";
    case 0x25: case 0x65: return "error in the phone";
    case 0x40: return "remote procedure error";
    case 0x41: return "incompatible destination";
    case 0x42: return "connection rejected by the phone";
    case 0x43: return "not obtainable";
    case 0x44: return "quality of service not available";
    case 0x45: return "no interworking available";
    case 0x46: return "validity period expired";
    case 0x47: return "deleted by the sender";
    case 0x48: return "deleted by the service centre";
    case 0x49: return "the message does not exist";
    default: break;
  }
  char text[40];
  std::snprintf(text, sizeof text, "status %d", status);
  return text;
}

}  // namespace qz
