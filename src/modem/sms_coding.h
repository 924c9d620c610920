// Unicode texts on their way into SMS: the GSM default alphabet with its extension table
// (3GPP TS 23.038) when it can carry the whole text, UCS-2 when it cannot, and the cut
// into parts. The gateway's older single-byte texts keep the GSM character table of
// gsm_charset.h; this is for texts known to be UTF-8.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qz {

enum class SmsAlphabet { kGsm, kUcs2 };

// A text coded for the air. GSM: one septet a byte (0x00 to 0x7F), an extension
// character as the escape 0x1B and its code. UCS-2: two bytes a code unit, big-endian, a
// character outside the basic plane as a surrogate pair.
struct SmsText {
  SmsAlphabet alphabet = SmsAlphabet::kGsm;
  std::string units;
};

// `utf8` is cut to `max_characters` characters first. Blanks and control characters other
// than LF and CR go to GSM as a space rather than forcing the whole text into UCS-2. A
// text that is not well-formed UTF-8 takes U+FFFD for each bad byte.
SmsText encode_sms_text(std::string_view utf8, std::size_t max_characters);

// The room of one part in septets (GSM) or code units (UCS-2): 160 or 70, and 153 or 67
// when a concatenation header shares the part.
std::size_t sms_part_room(SmsAlphabet alphabet, bool concatenated);

// The parts in text order, each at most sms_part_room long; an escape sequence or a
// surrogate pair is never split. With `concatenated` a text that fits one part still goes
// as one part of the full room. No parts for an empty text.
std::vector<std::string> split_sms_text(const SmsText& text, bool concatenated);

// Whether a text-mode submission can carry these GSM septets: Ctrl-Z (Greek capital Xi)
// would end the text early and ESC (every extension character) would cancel it.
bool text_mode_carries(const SmsText& text);

// The character of a received GSM septet, `escaped` when the escape 0x1B came before it.
// An escaped septet without an extension character is read as its plain one, as the
// standard asks; the escape itself is a space.
char32_t gsm_character(unsigned char septet, bool escaped);

// What the send dialog's counter shows: the length as the modem will send it, the room of
// a part for it, and the number of parts.
struct SmsCount {
  SmsAlphabet alphabet = SmsAlphabet::kGsm;
  std::size_t length = 0;
  std::size_t part_room = 0;
  std::size_t parts = 0;
};
SmsCount count_sms(std::string_view utf8, bool concatenated);

// A PDU as the modem writes it, two hexadecimal digits an octet; nothing when it is not.
std::optional<std::vector<unsigned char>> octets_from_hex(std::string_view hex);

}  // namespace qz
