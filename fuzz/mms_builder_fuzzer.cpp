// The MMS builder takes its number, subject, text and attachment paths from a job file,
// and the attachments themselves are whatever files those paths name. The input is cut
// at every 0xFF byte into: recipient, own number, subject, text, PDU capacity (decimal;
// empty for the gateway's own), content type (empty for the default), then pairs of
// attachment name and content, at most four; a name without content names a file that is
// not there. Whatever they hold, the builder writes nothing past the capacity, and what
// it returns is a send request that reads back field by field and part by part, with the
// subject, the text and every attachment as given.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "modem/mms_builder.h"
#include "scratch_folder.h"

namespace {

constexpr std::size_t kMaxAttachments = 4;

std::vector<std::string_view> fields_of(std::string_view input) {
  std::vector<std::string_view> fields;
  while (true) {
    std::size_t cut = input.find('\xFF');
    fields.push_back(input.substr(0, cut));
    if (cut == std::string_view::npos) return fields;
    input.remove_prefix(cut + 1);
  }
}

std::string_view field(const std::vector<std::string_view>& fields, std::size_t n) {
  return n < fields.size() ? fields[n] : std::string_view{};
}

std::string_view up_to_nul(std::string_view s) { return s.substr(0, s.find('\0')); }

// Reads a send request front to back; every step fails rather than reading past the end.
class PduReader {
 public:
  explicit PduReader(std::span<const unsigned char> pdu) : pdu_(pdu) {}

  bool at_end() const { return pos_ == pdu_.size(); }
  bool byte(unsigned char& out) {
    if (pos_ >= pdu_.size()) return false;
    out = pdu_[pos_++];
    return true;
  }
  bool expect(unsigned char want) {
    unsigned char got = 0;
    return byte(got) && got == want;
  }
  bool expect(std::string_view want) {
    for (char c : want) {
      if (!expect(static_cast<unsigned char>(c))) return false;
    }
    return true;
  }
  bool peek_is(unsigned char want) const { return pos_ < pdu_.size() && pdu_[pos_] == want; }
  // A text up to its terminating NUL, which is consumed.
  bool text(std::string& out) {
    out.clear();
    for (unsigned char c = 0; byte(c);) {
      if (c == 0) return true;
      out.push_back(static_cast<char>(c));
    }
    return false;
  }
  bool uintvar(uint32_t& out) {
    out = 0;
    for (int i = 0; i < 5; ++i) {
      unsigned char c = 0;
      if (!byte(c)) return false;
      out = (out << 7) | (c & 0x7F);
      if ((c & 0x80) == 0) return true;
    }
    return false;
  }
  bool octets(std::size_t n, std::string& out) {
    if (n > pdu_.size() - pos_) return false;
    out.assign(reinterpret_cast<const char*>(pdu_.data() + pos_), n);
    pos_ += n;
    return true;
  }

 private:
  std::span<const unsigned char> pdu_;
  std::size_t pos_ = 0;
};

struct Part {
  std::string type;  // the well-known octet as one character, or the media type
  std::string data;
};

bool read_part(PduReader& r, Part& part) {
  unsigned char headers = 0;
  uint32_t length = 0;
  std::string type;
  if (!r.byte(headers) || headers == 0 || !r.uintvar(length) || !r.octets(headers, type)) {
    return false;
  }
  // One well-known octet, or a media type with its NUL.
  if (headers == 1) {
    if ((static_cast<unsigned char>(type[0]) & 0x80) == 0) return false;
  } else if (type.back() != '\0' || type.find('\0') != type.size() - 1) {
    return false;
  } else {
    type.pop_back();
  }
  part.type = type;
  return r.octets(length, part.data);
}

std::string expected_type(std::string_view path) {
  std::string extension(path.substr(path.rfind('.') == std::string_view::npos ? path.size()
                                                                               : path.rfind('.')));
  for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  if (extension.starts_with(".amr")) return "audio/amr";
  if (extension.starts_with(".3gp")) return "video/3gp";
  return "\x9E";  // JPEG
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::vector<std::string_view> fields =
      fields_of(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string_view recipient = field(fields, 0);
  const std::string_view subject = field(fields, 2);
  const std::string_view text = field(fields, 3);

  std::size_t capacity = qz::kMmsPduCapacity;
  if (std::string_view digits = field(fields, 4); !digits.empty()) {
    capacity = 0;
    for (char c : digits.substr(0, 6)) capacity = capacity * 10 + static_cast<unsigned char>(c) % 10;
    capacity = std::min(capacity, qz::kMmsPduCapacity);
  }

  qz::MmsBuildOptions options;
  options.own_number = std::string(field(fields, 1));
  if (!field(fields, 5).empty()) options.content_type = std::string(field(fields, 5));
  options.now = std::chrono::system_clock::time_point(std::chrono::seconds(1700000000));
  options.log = [](qz::MmsLogTarget, const std::string& line) { FUZZ_CHECK(!line.empty()); };

  // Attachments live in the scratch folder under names of their own, so no input names
  // a file outside it; a name may still carry the NUL that ends it for the builder.
  qz::MmsFileList files{};
  std::vector<std::filesystem::path> made;
  std::vector<std::string> contents;
  for (std::size_t n = 0; n < kMaxAttachments && 6 + 2 * n < fields.size(); ++n) {
    std::string name(field(fields, 6 + 2 * n).substr(0, 64));
    for (char& c : name) c = c == '/' ? '_' : c;
    files[n] = (qz::fuzz::scratch_folder() / ("a" + std::to_string(n) + "-" + name)).string();
    if (7 + 2 * n < fields.size()) {
      const std::filesystem::path path(std::string(up_to_nul(files[n])));
      if (qz::fuzz::write_file(path, field(fields, 7 + 2 * n))) made.push_back(path);
    }
  }

  std::vector<unsigned char> buffer(capacity + 16, 0xEE);
  const int built = qz::build_mms(files, std::span(buffer.data(), capacity), recipient, subject,
                                  text, options);
  for (const std::filesystem::path& path : made) std::filesystem::remove(path);
  for (std::size_t i = capacity; i < buffer.size(); ++i) FUZZ_CHECK(buffer[i] == 0xEE);
  FUZZ_CHECK(built == -1 || (built > 0 && static_cast<std::size_t>(built) <= capacity));
  if (built == -1) return 0;
  FUZZ_CHECK(qz::is_mms_recipient(recipient));

  PduReader r(std::span<const unsigned char>(buffer.data(), static_cast<std::size_t>(built)));
  std::string value;
  // Message type, transaction ID (hexadecimal), version, To.
  FUZZ_CHECK(r.expect(0x8C) && r.expect(0x80) && r.expect(0x98) && r.text(value));
  FUZZ_CHECK(!value.empty() && value.find_first_not_of("0123456789ABCDEF") == std::string::npos);
  FUZZ_CHECK(r.expect(0x8D) && r.expect(0x90) && r.expect(0x97) && r.text(value));
  FUZZ_CHECK(value == std::string(recipient) + "/TYPE=PLMN");
  // From: our number with its value length, or the request to insert it.
  FUZZ_CHECK(r.expect(0x89));
  unsigned char length = 0;
  FUZZ_CHECK(r.byte(length));
  if (length == 1) {
    FUZZ_CHECK(r.expect(0x81));
  } else {
    uint32_t from_length = length;
    if (length == 0x1F) FUZZ_CHECK(r.uintvar(from_length) && from_length > 30);
    FUZZ_CHECK(from_length <= 30 || length == 0x1F);
    FUZZ_CHECK(r.expect(0x80) && r.text(value) && from_length == 1 + value.size() + 1);
    FUZZ_CHECK(value.ends_with("/TYPE=PLMN"));
  }
  if (!up_to_nul(subject).empty()) {
    FUZZ_CHECK(r.expect(0x96));
    if (static_cast<unsigned char>(up_to_nul(subject).front()) >= 0x80) FUZZ_CHECK(r.expect(0x7F));
    FUZZ_CHECK(r.text(value) && value == up_to_nul(subject));
  }

  std::size_t entries = text.empty() ? 0 : 1;
  for (const std::string& path : files) entries += up_to_nul(path).empty() ? 0 : 1;
  if (options.content_type.starts_with(qz::kMmsMultipartMixed)) {
    FUZZ_CHECK(r.expect(0x84) && r.expect(0xA3) && r.expect(static_cast<unsigned char>(entries)));
  }
  Part part;
  if (!text.empty()) {
    FUZZ_CHECK(read_part(r, part) && part.type == "\x83");
    FUZZ_CHECK(part.data == text.substr(0, qz::kMmsMaxTextBytes));
  }
  for (std::size_t n = 0; n < files.size(); ++n) {
    if (files[n].empty()) continue;
    FUZZ_CHECK(read_part(r, part));
    FUZZ_CHECK(part.type == expected_type(up_to_nul(files[n])));
    FUZZ_CHECK(part.data == field(fields, 7 + 2 * n));
  }
  FUZZ_CHECK(r.at_end());
  return 0;
}
