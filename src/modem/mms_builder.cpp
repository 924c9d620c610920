#include "modem/mms_builder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/files.h"
#include "core/paths.h"
#include "modem/phone_number.h"

namespace qz {
namespace {

// Header field codes (0x80 | field number) and well-known values of the encapsulation.
constexpr unsigned char kMessageType = 0x8C, kSendReq = 0x80;
constexpr unsigned char kTransactionId = 0x98;
constexpr unsigned char kMmsVersion = 0x8D, kVersion10 = 0x90;
constexpr unsigned char kTo = 0x97;
constexpr unsigned char kFrom = 0x89, kAddressPresent = 0x80, kInsertAddress = 0x81;
constexpr unsigned char kSubject = 0x96;
constexpr unsigned char kContentType = 0x84, kMultipartMixed = 0xA3;
constexpr unsigned char kTextPlain = 0x83, kImageJpeg = 0x9E;
// A text-string whose first octet is 0x80 or above must be preceded by this quote, or
// a reader takes that octet for a well-known value.
constexpr unsigned char kTextQuote = 0x7F;
// Value lengths above 30 are written as this octet followed by a uintvar.
constexpr unsigned char kLengthQuote = 0x1F;
constexpr std::string_view kPlmnSuffix = "/TYPE=PLMN";

// The texts we take are C strings in the message's data model: they end at a NUL.
std::string_view up_to_nul(std::string_view s) { return s.substr(0, s.find('\0')); }

void log_line(const MmsBuildOptions& options, MmsLogTarget target, const std::string& text) {
  if (options.log) options.log(target, text);
}

// Appends to the caller's buffer and never past its end; once a field did not fit,
// every later one is refused too.
class PduWriter {
 public:
  explicit PduWriter(std::span<unsigned char> out) : out_(out) {}

  bool ok() const { return ok_; }
  std::size_t size() const { return pos_; }
  std::size_t room() const { return ok_ ? out_.size() - pos_ : 0; }
  unsigned char* cursor() { return out_.data() + pos_; }

  void byte(unsigned char b) { bytes(&b, 1); }
  void bytes(const void* data, std::size_t n) {
    if (!ok_ || n > out_.size() - pos_) {
      ok_ = false;
      return;
    }
    if (n > 0) std::memcpy(out_.data() + pos_, data, n);
    pos_ += n;
  }
  void text(std::string_view s) { bytes(s.data(), s.size()); }
  void uintvar(uint32_t v) {
    unsigned char buf[5];
    bytes(buf, encode_uintvar(v, buf));
  }
  // Counts `n` octets that were placed at the cursor by other means.
  void advance(std::size_t n) {
    if (ok_) pos_ += n;
  }
  void overflow() { ok_ = false; }

 private:
  std::span<unsigned char> out_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

struct FileType {
  std::string_view pattern;
  std::string_view content_type;  // empty: the well-known JPEG octet
};

constexpr FileType kFileTypes[] = {
    {".jpg", {}}, {".jpeg", {}}, {".amr", "audio/amr"}, {".3gp", "video/3gp"}};

bool starts_with_ignoring_case(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    if (lower(s[i]) != lower(prefix[i])) return false;
  }
  return true;
}

// From the last dot of the file name on; empty when the name has no dot. Both slash
// kinds end a folder name, as job files may carry paths written the Windows way.
std::string_view extension_of(std::string_view path) {
  std::size_t name = path.find_last_of("/\\");
  name = (name == std::string_view::npos) ? 0 : name + 1;
  std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || dot < name) return {};
  return path.substr(dot);
}

const FileType* file_type_of(std::string_view extension) {
  for (const FileType& t : kFileTypes) {
    if (starts_with_ignoring_case(extension, t.pattern)) return &t;
  }
  return nullptr;
}

enum class ReadOutcome { kOk, kCannotOpen, kTooBig, kNoRoom };

// Up to `size` bytes, fewer only at the end of the file; -1 on a read error.
int64_t read_up_to(File& file, unsigned char* data, std::size_t size) {
  std::size_t total = 0;
  while (total < size) {
    int64_t got = file.read(reinterpret_cast<char*>(data) + total, size - total);
    if (got < 0) return -1;
    if (got == 0) break;
    total += static_cast<std::size_t>(got);
  }
  return static_cast<int64_t>(total);
}

// Reads the file into `dest` (room for `room` octets) and sets `size`. Only a regular
// file is opened, so a FIFO or a device cannot block or feed us forever, and no more
// than one octet beyond the size limit is ever read. A read error counts as a corrupted
// file. kNoRoom: the file is within the limit but larger than `room`.
ReadOutcome read_attachment(const std::string& path, unsigned char* dest, std::size_t room,
                            std::size_t& size) {
  const std::filesystem::path file_path = path_from_text(path);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file_path, ec)) return ReadOutcome::kCannotOpen;
  File file = File::open(file_path, {.access = OpenFor::kRead});
  if (!file.is_open()) return ReadOutcome::kCannotOpen;

  constexpr std::size_t kLimit = kMmsMaxFileBytes + 1;
  const std::size_t want = std::min(room, kLimit);
  int64_t got = read_up_to(file, dest, want);
  if (got < 0) return ReadOutcome::kTooBig;
  std::size_t total = static_cast<std::size_t>(got);
  bool fits = true;
  // The destination is full but the limit is not reached: find out which of the two
  // failures it is, without keeping the surplus.
  if (total == want) {
    unsigned char scratch[4096];
    while (total < kLimit) {
      got = read_up_to(file, scratch, std::min(sizeof scratch, kLimit - total));
      if (got < 0) return ReadOutcome::kTooBig;
      if (got == 0) break;
      total += static_cast<std::size_t>(got);
      fits = false;
    }
  }
  if (total >= kLimit) return ReadOutcome::kTooBig;
  if (!fits) return ReadOutcome::kNoRoom;
  size = total;
  return ReadOutcome::kOk;
}

// One attachment entry: headers length, data length, content type, data. Returns false
// when the build must stop (the cause is logged, or the writer is marked full).
bool write_file_entry(PduWriter& w, const std::string& path, const MmsBuildOptions& options) {
  const std::string_view extension = extension_of(path);
  const FileType* type = file_type_of(extension);
  if (!type) {
    log_line(options, MmsLogTarget::kDailyLogAndWindowRed,
             "File: " + path + " - format " + std::string(extension) + " unknown");
    return false;
  }
  const bool textual = !type->content_type.empty();
  const std::size_t type_octets = textual ? type->content_type.size() + 1 : 1;

  // The data goes straight into the PDU, behind the shortest possible header (a data
  // length of one octet); it moves up once the real header is known.
  const std::size_t shortest_header = 1 + 1 + type_octets;
  const std::size_t room = w.room() > shortest_header ? w.room() - shortest_header : 0;
  unsigned char* data = room > 0 ? w.cursor() + shortest_header : nullptr;
  std::size_t size = 0;
  switch (read_attachment(path, data, room, size)) {
    case ReadOutcome::kCannotOpen:
      log_line(options, MmsLogTarget::kDailyLogAndWindowRed, "Unable to open file " + path);
      return false;
    case ReadOutcome::kTooBig:
      log_line(options, MmsLogTarget::kDailyLogAndWindowRed,
               " File error: File corrupted or bigger than " +
                   std::to_string(kMmsFileBufferBytes));
      return false;
    case ReadOutcome::kNoRoom:
      w.overflow();
      return false;
    case ReadOutcome::kOk:
      break;
  }

  unsigned char header[1 + 5 + 16];
  std::size_t h = 0;
  header[h++] = static_cast<unsigned char>(type_octets);
  h += encode_uintvar(static_cast<uint32_t>(size), header + h);
  if (textual) {
    std::memcpy(header + h, type->content_type.data(), type->content_type.size());
    h += type->content_type.size();
    header[h++] = 0x00;
  } else {
    header[h++] = kImageJpeg;
  }
  if (h + size > w.room()) {
    w.overflow();
    return false;
  }
  if (size > 0) std::memmove(w.cursor() + h, data, size);
  w.bytes(header, h);
  log_line(options, MmsLogTarget::kDailyLog,
           std::to_string(size) + " bytes read from file " + path);
  w.advance(size);
  return true;
}

void write_from(PduWriter& w, std::string_view own_number) {
  // Blanks are only layout; anything else that is not a phone number would make an
  // address the MMS centre refuses, so the centre is asked to insert ours instead.
  const std::string number = without_blanks(up_to_nul(own_number));
  w.byte(kFrom);
  if (!is_dialable(number)) {
    w.byte(1);
    w.byte(kInsertAddress);
    return;
  }
  const std::size_t length = 1 + number.size() + kPlmnSuffix.size() + 1;
  if (length <= 30) {
    w.byte(static_cast<unsigned char>(length));
  } else {
    w.byte(kLengthQuote);
    w.uintvar(static_cast<uint32_t>(length));
  }
  w.byte(kAddressPresent);
  w.text(number);
  w.text(kPlmnSuffix);
  w.byte(0x00);
}

}  // namespace

bool is_mms_attachment_type(std::string_view path) { return file_type_of(extension_of(path)) != nullptr; }

bool is_mms_recipient(std::string_view number) {
  return number.size() <= kMmsMaxRecipientLength && is_dialable(number);
}

std::size_t encode_uintvar(uint32_t value, unsigned char* out) {
  unsigned char groups[5];
  std::size_t n = 0;
  do {
    groups[n++] = value & 0x7F;
    value >>= 7;
  } while (value != 0);
  for (std::size_t i = 0; i < n; ++i) {
    out[i] = groups[n - 1 - i] | (i + 1 < n ? 0x80 : 0x00);
  }
  return n;
}

int build_mms(const MmsFileList& files, std::span<unsigned char> out, std::string_view recipient,
              std::string_view subject_text, std::string_view text,
              const MmsBuildOptions& options) {
  // The recipient goes verbatim into the To address; only a real number may.
  if (!is_mms_recipient(recipient)) {
    log_line(options, MmsLogTarget::kDailyLogAndWindowRed,
             "Invalid tel number " + std::string(recipient));
    return -1;
  }

  std::size_t entries = text.empty() ? 0 : 1;
  for (const std::string& path : files) {
    if (!up_to_nul(path).empty()) ++entries;
  }

  PduWriter w(out);
  w.byte(kMessageType);
  w.byte(kSendReq);

  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(options.now.time_since_epoch()).count();
  char id[24];
  std::snprintf(id, sizeof id, "%llX",
                static_cast<unsigned long long>(seconds > 0 ? seconds : 0));
  w.byte(kTransactionId);
  w.text(id);
  w.byte(0x00);

  w.byte(kMmsVersion);
  w.byte(kVersion10);

  w.byte(kTo);
  w.text(recipient);
  w.text(kPlmnSuffix);
  w.byte(0x00);

  write_from(w, options.own_number);

  const std::string_view subject = up_to_nul(subject_text);
  if (!subject.empty()) {
    w.byte(kSubject);
    if (static_cast<unsigned char>(subject.front()) >= 0x80) w.byte(kTextQuote);
    w.text(subject);
    w.byte(0x00);
  }

  if (options.content_type.starts_with(kMmsMultipartMixed)) {
    w.byte(kContentType);
    w.byte(kMultipartMixed);
    w.byte(static_cast<unsigned char>(entries));  // at most 21: a one-octet uintvar
  } else {
    log_line(options, MmsLogTarget::kDailyLog, "Unknown content type " + options.content_type);
  }

  if (!text.empty()) {
    if (text.size() > kMmsMaxTextBytes) {
      log_line(options, MmsLogTarget::kDailyLog,
               "Message size (" + std::to_string(text.size()) +
                   ") too big! Write only the first " + std::to_string(kMmsMaxTextBytes) +
                   " char");
    }
    const std::string_view part = text.substr(0, kMmsMaxTextBytes);
    w.byte(1);
    w.uintvar(static_cast<uint32_t>(part.size()));
    w.byte(kTextPlain);
    w.text(part);
  }

  for (const std::string& slot : files) {
    if (!w.ok()) return -1;
    const std::string path(up_to_nul(slot));
    if (path.empty()) continue;
    if (!write_file_entry(w, path, options)) return -1;
  }

  if (!w.ok() || w.size() > static_cast<std::size_t>(INT32_MAX)) return -1;
  return static_cast<int>(w.size());
}

}  // namespace qz
