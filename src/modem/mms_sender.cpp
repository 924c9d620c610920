#include "modem/mms_sender.h"

#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/colors.h"
#include "modem/modem_link.h"
#include "modem/phone_number.h"
#include "modem/serial_port.h"

namespace qz {

namespace {

constexpr int64_t kTrailingOkMs = 2000;

int fail(ModemLink& link, const std::string& text) {
  link.log.WriteDailyLog(text);
  return -1;
}

// After the modem stored the message: note why it failed and delete it from the store.
int clean_up(ModemLink& link, const std::string& handle, const std::string& text) {
  ModemChannel& m = link.modem;
  link.log.WriteDailyLog(text);
  m.events.clear(OkEvent);
  m.SendCommand("at+KPSD=", handle);
  m.WaitOk(5000);
  return -1;
}

// The modem closes its +KPSW answers with OK right after the line we wait for. That OK
// must be in before OkEvent is cleared for the next command, or it arrives after the
// clearing and passes for the next command's answer. A modem that sends no OK costs
// this short wait and nothing else.
void await_trailing_ok(ModemChannel& m) { m.WaitOk(kTrailingOkMs); }

}  // namespace

int send_mms(ModemLink& link, std::string_view number, const MmsFileList& files,
             std::string_view subject, std::string_view text) {
  ModemChannel& m = link.modem;
  std::lock_guard modem_lock(m.ModemLock);

  std::string recipient = without_blanks(number);
  clock().sleep_ms(50);
  if (number.size() < 3 || !is_mms_recipient(recipient)) {
    link.log.Log("Invalid tel number " + std::string(number), kRed);
    return -1;
  }

  m.events.clear(OkEvent);
  m.SendCommand("ate", "0\r");
  if (m.WaitOk(5000) != 0) return fail(link, "ATE response not received");

  std::vector<unsigned char> pdu(kMmsPduCapacity);
  MmsBuildOptions options;
  options.own_number = link.settings.Number;
  options.content_type = link.settings.MMSContentType;
  options.now = clock().now();
  options.log = [&link](MmsLogTarget target, const std::string& line) {
    if (target == MmsLogTarget::kDailyLogAndWindowRed) link.log.Log(line, kRed);
    else link.log.WriteDailyLog(line);
  };
  int size = build_mms(files, pdu, recipient, subject, text, options);
  if (size < 0) return fail(link, "Buffer Overflowed, please check data size");

  m.events.clear(OkEvent);
  m.events.clear(MmsMaxSizeEvent);
  m.SendCommand("at+KPSW", "=?\r");
  if (!m.events.wait(MmsMaxSizeEvent, 10000)) return fail(link, "AT+KPSW=? response not received");
  await_trailing_ok(m);
  if (size > m.MmsMaxPduSize()) {
    char line[128];
    std::snprintf(line, sizeof line, "PDU Size %d is greater than the max size allowed %d", size,
                  m.MmsMaxPduSize());
    link.log.Log(line, kRed);
    return -1;
  }

  // The handle arrives only after the transfer; all three are cleared before the command.
  m.events.clear(OkEvent);
  m.events.clear(ConnectEvent);
  m.events.clear(MmsStoredEvent);
  m.SendCommand("at+KPSW", "=\"MMS\"," + std::to_string(size) + "\r");
  if (!m.events.wait(ConnectEvent, 10000)) return fail(link, "CONNECT not received");

  for (int i = 0; i < size; ++i) link.port->Write(&pdu[i], 1);

  if (!m.events.wait(MmsStoredEvent, 60000) || m.MmsHandle().empty()) {
    return fail(link, "AT+KPSW response not received");
  }
  const std::string handle = m.MmsHandle();
  await_trailing_ok(m);

  m.events.clear(OkEvent);
  m.events.clear(MmsSendReportEvent);
  m.SendCommand("at+KPSSEND=", handle);
  if (m.WaitOk(60000) != 0) return clean_up(link, handle, "AT+KPSSEND response not received");
  if (!m.events.wait(MmsSendReportEvent, 200000)) {
    return clean_up(link, handle, "+KPSSR response not received");
  }
  if (m.MmsSent() == 0) return clean_up(link, handle, "+KPSSR response: status 1 (not sent) received");

  m.events.clear(OkEvent);
  m.SendCommand("at+KPSD=", handle);
  // The modem reported the message as sent: a deletion it does not acknowledge must not
  // make the job send the same MMS again.
  if (m.WaitOk(5000) != 0) link.log.WriteDailyLog("AT+KPSD response not received or error");
  return 0;
}

}  // namespace qz
