#include "modem/sms.h"

#include <cstdio>
#include <optional>
#include <vector>
#include <mutex>
#include <string>

#include "core/clock.h"
#include "core/colors.h"
#include "modem/modem_link.h"
#include "modem/gsm_charset.h"
#include "modem/message_format.h"
#include "modem/phone_number.h"
#include "modem/service_centre.h"
#include "modem/sms_coding.h"
#include "modem/sms_pdu.h"

namespace qz {

namespace {

constexpr std::size_t kMaxTextLength = 2047;

int timed_out(ModemLink& link, int step) {
  char line[64];
  std::snprintf(line, sizeof line, "Timed-out waiting for modem response [%d]", step);
  link.log.WriteDailyLog(line);
  return -1;
}

}  // namespace

std::size_t sms_part_length(std::string_view text) {
  for (unsigned char c : text) {
    if (c >= 0x80) return 140;
  }
  return 160;
}

namespace {

// at+cmgs with `argument`, the modem's prompt, `text` and Ctrl-Z; 0 when the modem took
// the part, else the step of the failure line.
int submit_part(ModemChannel& m, const std::string& argument, std::string_view text) {
  m.SendCommand("at+cmgs", argument);
  // The prompt "> " ends with no line end: it is seen only in the line being assembled.
  bool prompted = false;
  for (int look = 0; look < 50 && !prompted && !m.device_gone(); ++look) {
    prompted = m.PartialLineStartsWith("> ");
    if (!prompted) clock().sleep_ms(100);
  }
  if (!prompted) {
    // A prompt that comes after we gave up would leave the modem taking every later
    // command as message text (and sent by the next Ctrl-Z). ESC
    // ends such a text entry without sending; in command mode the modem drops it.
    const unsigned char escape = 0x1B;
    m.WriteRaw(&escape, 1);
    return 1;
  }
  m.WriteRaw(text.data(), static_cast<int>(text.size()));
  m.events.clear(OkEvent);
  m.events.clear(ErrorEvent);
  const unsigned char ctrl_z = 0x1A;
  m.WriteRaw(&ctrl_z, 1);
  if (m.WaitOkOrError(30000) != 0) return 2;
  return 0;
}

// Text mode, each part an SMS of its own. The parts are bytes ready for the modem.
int send_in_text_mode(ModemLink& link, const std::string& dial, const std::vector<std::string>& parts,
                      int flash) {
  ModemChannel& m = link.modem;
  if (!ensure_text_mode(link)) return -1;
  m.events.clear(OkEvent);
  m.SendCommand("at+csmp", flash > 0 ? "=17,167,0,16\r" : "=17,167,0,0\r");
  if (m.WaitOk(5000) != 0) return timed_out(link, 0);
  for (const std::string& part : parts) {
    if (int step = submit_part(m, "=\"" + dial + "\"\r", part)) return timed_out(link, step);
  }
  return 0;
}

// PDU mode for these messages only: everything else the gateway does with the modem
// (listing received messages above all) expects text mode, so it is restored on every
// path, failures included.
int send_in_pdu_mode(ModemLink& link, const std::string& dial, const SmsText& text,
                     const std::vector<std::string>& parts, bool concatenated, int flash,
                     int* kept_reference) {
  ModemChannel& m = link.modem;
  constexpr int kSent = -1;
  int failed_step = kSent;
  if (!enter_pdu_mode(link)) failed_step = 0;

  const bool joined = concatenated && parts.size() > 1;
  unsigned char reference = 0;
  if (joined && kept_reference != nullptr && *kept_reference != kNoConcatenationReference) {
    reference = static_cast<unsigned char>(*kept_reference);
  } else if (joined) {
    reference = link.next_concatenation_reference();
    if (kept_reference != nullptr) *kept_reference = reference;
  }
  for (std::size_t i = 0; i < parts.size() && failed_step == kSent; ++i) {
    std::optional<ConcatenationHeader> header;
    if (joined) {
      header = ConcatenationHeader{reference, static_cast<unsigned char>(parts.size()),
                                   static_cast<unsigned char>(i + 1)};
    }
    const SubmitPdu pdu = build_submit_pdu(dial, text.alphabet, parts[i], flash > 0, header);
    if (int step = submit_part(m, "=" + std::to_string(pdu.length) + "\r", pdu.hex)) failed_step = step;
  }

  leave_pdu_mode(link, "an SMS in PDU mode");
  return failed_step == kSent ? 0 : timed_out(link, failed_step);
}

int send_latin1(ModemLink& link, const std::string& dial, std::string_view text, int flash) {
  std::string body(text.substr(0, kMaxTextLength));
  std::size_t limit = link.settings.MaxMsgLength > 0 ? static_cast<std::size_t>(link.settings.MaxMsgLength) : 0;
  if (body.size() > limit) body.resize(limit);

  const std::size_t part_length = sms_part_length(body);
  std::vector<std::string> parts;
  for (std::size_t offset = 0; offset < body.size(); offset += part_length) {
    parts.push_back(to_gsm(std::string_view(body).substr(offset, part_length)));
  }
  return send_in_text_mode(link, dial, parts, flash);
}

int send_unicode(ModemLink& link, const std::string& dial, std::string_view utf8, int flash, int* reference) {
  const std::size_t limit = link.settings.MaxMsgLength > 0 ? static_cast<std::size_t>(link.settings.MaxMsgLength) : 0;
  const SmsText text = encode_sms_text(utf8, limit);
  const bool concatenated = link.settings.ConcatenatedSMS != 0;
  const std::vector<std::string> parts = split_sms_text(text, concatenated);

  const int result = text_mode_carries(text) && (!concatenated || parts.size() <= 1)
                         ? send_in_text_mode(link, dial, parts, flash)
                         : send_in_pdu_mode(link, dial, text, parts, concatenated, flash, reference);
  // Said of a message that went out, not of an attempt.
  const bool ucs2 = text.alphabet == SmsAlphabet::kUcs2;
  if (result == 0 && (ucs2 || parts.size() > 1)) {
    const std::string how = std::string(ucs2 ? "UCS-2" : "GSM 7-bit") + ", " +
                            std::to_string(parts.size()) + (parts.size() == 1 ? " part" : " parts") +
                            (concatenated && parts.size() > 1 ? " joined on the phone" : "");
    link.log.Log("Message to " + dial + " sent as " + how, kGrey);
  }
  return result;
}

}  // namespace

int send_sms(ModemLink& link, std::string_view number, std::string_view text, int flash,
             TextCoding coding, int* concatenation_reference) {
  ModemChannel& m = link.modem;
  std::lock_guard modem_lock(m.ModemLock);

  std::string dial = without_blanks(number);
  if (!is_dialable(dial) || dial.size() > kMaxSmsNumberLength) {
    link.log.Log("Invalid tel number " + std::string(number), kRed);
    return -1;
  }
  clock().sleep_ms(50);
  return coding == TextCoding::kUtf8 ? send_unicode(link, dial, text, flash, concatenation_reference)
                                     : send_latin1(link, dial, text, flash);
}

void read_service_centre(ModemLink& link) {
  ModemChannel& m = link.modem;
  link.set_service_centre("", link.service_centre_type());
  m.events.clear(OkEvent);
  m.events.clear(ServiceCentreEvent);
  m.SendCommand("at+csca", "?\r");
  if (m.events.wait(ServiceCentreEvent, 5000)) {
    ServiceCentre sc = parse_service_centre_reply(m.ServiceCentreReply());
    link.set_service_centre(sc.number, sc.type.value_or(link.service_centre_type()));
    // The OK after the +CSCA line must not be left to pass for the answer to whatever
    // command comes next (a dial, where OK means "answered").
    m.WaitOk(2000);
  }
}

int set_smsc(ModemLink& link) {
  ModemChannel& m = link.modem;
  std::lock_guard modem_lock(m.ModemLock);

  std::string number = link.service_centre_number();
  if (!is_dialable(number)) {
    link.log.Log("Invalid tel number " + number, kRed);
    return -1;
  }
  m.events.clear(OkEvent);
  m.SendCommand("at+csca", "=\"" + number + "\"," + std::to_string(link.service_centre_type()) + "\r");
  if (m.WaitOk(2000) != 0) return -1;
  link.log.Log("SMSC parameters updated", kGrey);

  read_service_centre(link);
  char line[256];
  std::snprintf(line, sizeof line, "New SMSC parameters : '%s' [%d]",
                link.service_centre_number().c_str(), link.service_centre_type());
  link.log.Log(line, kGrey);
  return 0;
}

}  // namespace qz
