#include <cstdio>
#include <mutex>

#include "core/colors.h"
#include "core/decimal.h"
#include "core/worker_progress.h"
#include "modem/incoming.h"
#include "modem/message_format.h"
#include "modem/modem_link.h"
#include "modem/sms_deliver.h"
#include "process/child_process.h"

namespace qz {

namespace {

constexpr std::string_view kHeader = "+CMGL:";

// The listing forms the modem may take: numeric status 4, "ALL" or "all".
struct ListingForm {
  bool numeric = true;
  bool capital = true;
  const char* argument() const {
    if (numeric) return "=4\r";
    return capital ? "=\"ALL\"\r" : "=\"all\"\r";
  }
};

void delete_message(ModemChannel& m, int index, int64_t wait_ms, bool ok_only) {
  m.events.clear(OkEvent);
  m.events.clear(ErrorEvent);
  m.SendCommand("at+cmgd", "=" + std::to_string(index) + "\r");
  if (ok_only) m.WaitOk(wait_ms);
  else m.WaitOkOrError(wait_ms);
}

// The entries of a listing, found as parse_listing finds them.
std::size_t count_entries(std::string_view capture) {
  std::size_t count = 0;
  for (std::size_t at = capture.find(kHeader); at != std::string_view::npos;
       at = capture.find(kHeader, at + 2 * kHeader.size())) {
    ++count;
  }
  return count;
}

// A listing in PDU mode has the PDU in hex where text mode has the text; the sender and
// the text come out of it in UTF-8. An entry that does not decode is dropped here, and so
// kept in the modem.
std::vector<ListedMessage> decode_pdu_entries(std::vector<ListedMessage> listed) {
  std::vector<ListedMessage> messages;
  for (ListedMessage& message : listed) {
    std::string_view hex = message.text;
    while (!hex.empty() && (hex.back() == '\r' || hex.back() == ' ')) hex.remove_suffix(1);
    if (auto sms = decode_deliver_pdu(hex)) {
      message.sender = "\"" + sms->sender + "\"";  // quoted, as in a text-mode listing
      message.text = std::move(sms->text);
      messages.push_back(std::move(message));
    }
  }
  return messages;
}

// Lists the storage and hands each message on; the reply: 0 OK, 1 ERROR, -1 none. A
// command that takes UTF-8 gets its messages through a listing in PDU mode, which alone
// tells in which alphabet each came; the modem goes back to text mode after it.
int list_and_hand_on(ModemLink& link, const ListingForm& form) {
  ModemChannel& m = link.modem;
  const bool utf8 = link.settings.IncomingUTF8 != 0;
  // The status words of a text-mode listing mean nothing to a modem left in PDU mode.
  if (!utf8 && !ensure_text_mode(link)) return -1;
  if (utf8 && !enter_pdu_mode(link)) {
    leave_pdu_mode(link, "a refused switch to PDU mode");
    return -1;
  }
  m.start_list_capture();
  m.events.clear(OkEvent);
  m.events.clear(ErrorEvent);
  m.SendCommand("at+cmgl", utf8 ? "=4\r" : form.argument());
  int reply = m.WaitOkOrError(15000);
  std::string capture = m.stop_capture();
  if (utf8) leave_pdu_mode(link, "listing in PDU mode");
  if (reply != 0) return reply;
  std::vector<ListedMessage> messages = parse_listing(capture);
  if (utf8) messages = decode_pdu_entries(std::move(messages));
  std::size_t entries = count_entries(capture);
  if (messages.size() < entries) {
    // Without its sender and text such an entry cannot be handed on, and deleting it
    // would lose it unread: it stays, and is reported at every poll that lists it.
    char line[96];
    std::snprintf(line, sizeof line, "%zu listed message(s) not understood, left in the modem",
                  entries - messages.size());
    link.log.WriteDailyLog(line);
  }
  for (const ListedMessage& message : messages) {
    // A message whose command could not start stays in the modem for a later poll.
    if (run_incoming(link, message.sender, message.text, utf8)) delete_message(m, message.index, 1000, true);
  }
  return 0;
}

}  // namespace

std::vector<ListedMessage> parse_listing(std::string_view capture) {
  std::vector<ListedMessage> messages;
  std::size_t start = capture.find(kHeader);
  while (start != std::string_view::npos) {
    std::size_t s = start + kHeader.size();
    std::size_t next = s + kHeader.size() <= capture.size() ? capture.find(kHeader, s + kHeader.size())
                                                            : std::string_view::npos;
    std::string_view entry = capture.substr(s, next == std::string_view::npos ? next : next - s);

    // The three commas must lie on the header line: a comma found in the message text
    // would make a sender out of header and text.
    std::size_t line_end = entry.find('\r');
    std::string_view header = entry.substr(0, line_end);
    std::size_t first = header.find(',');
    std::size_t second = first == std::string_view::npos ? first : header.find(',', first + 1);
    std::size_t third = second == std::string_view::npos ? second : header.find(',', second + 1);
    if (line_end != std::string_view::npos && third != std::string_view::npos) {
      ListedMessage message;
      message.index = parse_decimal(entry);
      message.sender = std::string(entry.substr(second + 1, third - second - 1));
      message.text = std::string(entry.substr(line_end + 1));
      messages.push_back(std::move(message));
    }
    start = next;
  }
  return messages;
}

void IncomingThread(ModemLink& link) {
  ModemChannel& m = link.modem;
  ListingForm form;

  std::unique_lock modem_lock(m.ModemLock);
  m.events.clear(OkEvent);
  m.events.clear(ListLineEvent);
  m.SendCommand("at+cmgl", "=?\r");
  if (m.events.wait(ListLineEvent, 5000)) {
    // The OK after the +CMGL line must be in before the lock goes to another user, or
    // it could pass for the answer to that user's command.
    m.WaitOk(2000);
    std::string forms = m.ListLine();
    if (forms.find("all") != std::string::npos) form.numeric = form.capital = false;
    if (forms.find("ALL") != std::string::npos) {
      form.numeric = false;
      form.capital = true;
    }
  }

  int failures = 0;
  for (;;) {
    mark_progress();
    modem_lock.unlock();
    if (!link.sleep_ms(15000)) return;
    // Commands handed on earlier may have ended meanwhile; collect them.
    reap_detached_children();
    modem_lock.lock();

    int reply = list_and_hand_on(link, form);
    // A modem that is gone or out of text mode is the signal thread's to bring back; its
    // storage is not to blame, and must not be cleaned.
    if (reply != 0 && (link.has_modem_fault() || m.device_gone())) continue;
    if (reply == 1) {
      // The form may simply have been the wrong guess: list again at once in the other.
      form.numeric = !form.numeric;
      ++failures;
      reply = list_and_hand_on(link, form);
      if (reply == 1) form.numeric = !form.numeric;
    }
    if (reply == 0) {
      failures = 0;
    } else if (++failures >= 2) {
      // Only a storage that cannot be listed at all is cleaned; messages in it are lost.
      for (int n = 9; n >= 1; --n) delete_message(m, n, 2000, false);
      failures = 0;
    }
  }
}

}  // namespace qz
