// SMS submission in text mode and the SMS service centre.
#pragma once

#include <cstddef>
#include <string_view>

namespace qz {

class ModemLink;

// The longest number (without its blanks) an SMS can go to: the room the "at+cmgs"
// argument leaves for it.
inline constexpr std::size_t kMaxSmsNumberLength = 47;

// The length of one SMS part for `text`: 160 characters, or 140 when any byte is 0x80 or
// above (the modem then takes the text as 8-bit data).
std::size_t sms_part_length(std::string_view text);

// How the bytes of a text to send are to be read.
enum class TextCoding {
  kLatin1,  // the gateway's single-byte text: the GSM character table, byte for byte
  kUtf8,    // the GSM alphabet with its extension table, or UCS-2 when that cannot carry it
};

// Sends `text` to `number` as one or more SMS; `flash` > 0 asks for a flash SMS. 0 when
// every part was accepted (an empty text counts), -1 at the first failure.
//
// Single-byte texts and UTF-8 texts in the GSM alphabet go in text mode. UTF-8 texts in
// UCS-2, with extension characters, or in parts joined on the phone (ConcatenatedSMS) go
// in PDU mode, and the modem is put back into text mode after them.
//
// `concatenation_reference`, when given, is the message's reference for parts joined on the
// phone, kept for all its tries: the first try that needs one takes it, later tries use it
// again, so the parts of a try cut short are completed by the next try and never joined
// with those of another message.
inline constexpr int kNoConcatenationReference = -1;
int send_sms(ModemLink& link, std::string_view number, std::string_view text, int flash,
             TextCoding coding = TextCoding::kLatin1, int* concatenation_reference = nullptr);

// Writes the gateway's service centre into the modem and reads it back. 0 when the modem
// acknowledged the new address, -1 when it did not.
int set_smsc(ModemLink& link);

// Reads the service centre from the SIM into the gateway; the number stays empty when
// the modem does not answer. The caller holds the modem.
void read_service_centre(ModemLink& link);

}  // namespace qz
