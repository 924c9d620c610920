#include "jobs/job_text.h"

#include <algorithm>
#include <set>
#include <string_view>

#include "core/utf8.h"
#include "core/windows_1252.h"
#include "modem/gsm_charset.h"

namespace qz {

namespace {

class Lacking {
 public:
  void add(char32_t code) {
    if (seen_.insert(code).second) append_utf8(text_, code);
  }
  std::string take() { return std::move(text_); }

 private:
  std::set<char32_t> seen_;
  std::string text_;
};

// Blanks become a space as they should, and control characters have no form to show in a
// log line: neither is worth a report.
bool is_quiet(char32_t code) {
  return code == ' ' || code == '\t' || code == 0xA0 || code < 0x20 || (code >= 0x7F && code <= 0x9F);
}

// Whether `code` reaches the subscriber as written; `gsm` when the text goes through the
// GSM send table.
bool carried(char32_t code, bool gsm) {
  if (code > 0xFF) return false;
  return !gsm || is_quiet(code) || to_gsm(static_cast<unsigned char>(code)) != ' ';
}

// The widths the job file's fields (and the alarm texts) are cut to, in bytes.
constexpr std::size_t kMessageWidth = 2047;
constexpr std::size_t kNameWidth = 63;
constexpr std::size_t kSubjectWidth = 1023;

// The length of the text to read as UTF-8, 0 when it is ISO 8859-1. A text at its field
// width that is well-formed UTF-8 up to a character begun but not finished at its end was
// cut there: the piece is dropped, a clean end, rather than read as one or two odd
// letters. (An ISO 8859-1 text of exactly that width, ASCII but for an accented last
// letter, loses that letter; a shorter one is never touched.)
std::size_t utf8_length(std::string_view text, std::size_t width) {
  bool beyond_ascii = false;
  for (std::size_t pos = 0; pos < text.size();) {
    const Utf8Char c = decode_utf8(text, pos);
    if (c.length == 0) return c.cut && text.size() >= width ? pos : 0;
    beyond_ascii = beyond_ascii || c.length > 1;
    pos += c.length;
  }
  return beyond_ascii ? text.size() : 0;
}

void convert(std::string& text, std::size_t width, bool gsm, Lacking& lacking) {
  const std::size_t length = utf8_length(text, width);
  if (length == 0) {
    // Windows-1252: the euro sign, dashes and quotes of 0x80-0x9F have no 8-bit form here.
    for (char& byte : text) {
      const char32_t code = windows_1252_char(static_cast<unsigned char>(byte));
      if (!carried(code, gsm)) lacking.add(code);
      if (code > 0xFF) byte = '?';
    }
    return;
  }
  std::string latin1;
  latin1.reserve(length);
  for (std::size_t pos = 0; pos < length;) {
    const Utf8Char c = decode_utf8(text, pos);
    pos += c.length;
    if (!carried(c.code, gsm)) lacking.add(c.code);
    latin1 += c.code <= 0xFF ? static_cast<char>(c.code) : '?';
  }
  text = std::move(latin1);
}

// An SMS text in UTF-8 (ASCII included) stays UTF-8: the sender finds the GSM alphabet or
// UCS-2 for every character. So does a single-byte text with a character of Windows-1252
// beyond ISO 8859-1 (the euro sign, a dash), made UTF-8. False for any other single-byte
// text, which keeps its old path.
bool keep_as_utf8(std::string& text, std::size_t width) {
  const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) return true;
  const std::size_t length = utf8_length(text, width);
  if (length == 0) {
    if (!has_windows_1252_extras(text)) return false;
    text = utf8_from_windows_1252(text);
    return true;
  }
  text.resize(length);
  return true;
}

}  // namespace

std::string convert_job_texts(AlarmJob& job) {
  const bool sms = job.IsMiniMessage != 0 || job.ContentType == "SMS";
  // A byte-order mark that came along from an editor or a joined file is no character of
  // the alarm: kept, it alone would force a whole SMS into UCS-2.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (std::string_view(job.Message).starts_with(kByteOrderMark)) job.Message.erase(0, kByteOrderMark.size());
  Lacking lacking;
  job.MessageIsUtf8 = sms && keep_as_utf8(job.Message, kMessageWidth);
  if (!job.MessageIsUtf8) convert(job.Message, kMessageWidth, sms, lacking);
  convert(job.Name, kNameWidth, false, lacking);
  convert(job.Subject, kSubjectWidth, false, lacking);
  return lacking.take();
}

}  // namespace qz
