#include "modem/sms.h"

#include <cstdio>
#include <mutex>
#include <string>

#include "core/clock.h"
#include "core/colours.h"
#include "modem/modem_link.h"
#include "modem/gsm_charset.h"
#include "modem/phone_number.h"
#include "modem/service_centre.h"

namespace qz {

namespace {

constexpr std::size_t kMaxTextLength = 2047;
// The room the "at+cmgs" argument leaves for the number.
constexpr std::size_t kMaxNumberLength = 47;

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

int send_sms(ModemLink& link, std::string_view number, std::string_view text, int flash) {
  ModemChannel& m = link.modem;
  std::lock_guard modem_lock(m.ModemLock);

  std::string dial = without_blanks(number);
  if (!is_dialable(dial) || dial.size() > kMaxNumberLength) {
    link.log.Log("Invalid tel number " + std::string(number), kRed);
    return -1;
  }
  clock().sleep_ms(50);

  m.events.clear(OkEvent);
  m.SendCommand("at+csmp", flash > 0 ? "=17,167,0,16\r" : "=17,167,0,0\r");
  if (m.WaitOk(5000) != 0) return timed_out(link, 0);

  std::string body(text.substr(0, kMaxTextLength));
  std::size_t limit = link.settings.MaxMsgLength > 0 ? static_cast<std::size_t>(link.settings.MaxMsgLength) : 0;
  if (body.size() > limit) body.resize(limit);

  const std::size_t part_length = sms_part_length(body);

  for (std::size_t offset = 0; offset < body.size(); offset += part_length) {
    m.SendCommand("at+cmgs", "=\"" + dial + "\"\r");
    // The prompt "> " ends with no line end: it is seen only in the line being assembled.
    bool prompted = false;
    for (int look = 0; look < 50 && !prompted; ++look) {
      prompted = m.PartialLineStartsWith("> ");
      if (!prompted) clock().sleep_ms(100);
    }
    if (!prompted) {
      // A prompt that comes after we gave up would leave the modem taking every later
      // command as message text (and sent by the next Ctrl-Z). ESC
      // ends such a text entry without sending; in command mode the modem drops it.
      const unsigned char escape = 0x1B;
      m.WriteRaw(&escape, 1);
      return timed_out(link, 1);
    }

    std::size_t end = std::min(body.size(), offset + part_length);
    for (std::size_t i = offset; i < end; ++i) {
      unsigned char gsm = to_gsm(static_cast<unsigned char>(body[i]));
      m.WriteRaw(&gsm, 1);
    }
    m.events.clear(OkEvent);
    m.events.clear(ErrorEvent);
    const unsigned char ctrl_z = 0x1A;
    m.WriteRaw(&ctrl_z, 1);
    if (m.WaitOkOrError(30000) != 0) return timed_out(link, 2);
  }
  return 0;
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
