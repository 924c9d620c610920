#include <algorithm>
#include <cctype>
#include <cstdio>
#include <mutex>
#include <optional>
#include <set>

#include "core/clock.h"
#include "core/colors.h"
#include "core/decimal.h"
#include "core/worker_progress.h"
#include "modem/incoming.h"
#include "modem/message_format.h"
#include "modem/modem_link.h"
#include "modem/message_parts.h"
#include "modem/sms_deliver.h"
#include "modem/store_use.h"
#include "process/child_process.h"

namespace qz {

void delete_message(ModemChannel& m, int index, int64_t wait_ms, bool ok_only) {
  m.events.clear(OkEvent);
  m.events.clear(ErrorEvent);
  m.SendCommand("at+cmgd", "=" + std::to_string(index) + "\r");
  if (ok_only) m.WaitOk(wait_ms);
  else m.WaitOkOrError(wait_ms);
}

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

// The entries of a listing, found as parse_listing finds them.
std::size_t count_entries(std::string_view capture) {
  std::size_t count = 0;
  for (std::size_t at = capture.find(kHeader); at != std::string_view::npos;
       at = capture.find(kHeader, at + 2 * kHeader.size())) {
    ++count;
  }
  return count;
}

// What the incoming thread keeps from one poll to the next.
struct IncomingState {
  ListingForm form;
  PartsJoiner joiner;
  StoreUseWatch store_watch;
  bool store_use_refused = false;  // the modem does not say: it is not asked again
  // Entries whose PDU did not decode at the last poll. A line cut on its way from the
  // modem reads as a PDU that does not decode just as a bad PDU does, but only once: an
  // entry is deleted for it only when the next listing shows it so again.
  std::set<int> undecodable;
};

// Reads the store's use into the status and says when its level changes. Nothing when
// the modem does not tell.
std::optional<StoreUse> read_store(ModemLink& link, IncomingState& state) {
  if (state.store_use_refused) return std::nullopt;
  bool refused = false;
  const std::optional<StoreUse> use = read_store_use(link.modem, refused);
  if (!use) {
    if (refused) {
      state.store_use_refused = true;
      link.log.Log("The modem does not tell how full its message store is (at+cpms?): a full store cannot be seen",
                   kRed);
    }
    return std::nullopt;
  }
  link.status.store_used.store(use->used);
  link.status.store_total.store(use->total);
  const std::string change = state.store_watch.update(*use);
  if (!change.empty()) {
    link.log.Log(change, state.store_watch.level() == StoreUseWatch::Level::kNormal ? kGreen : kRed);
  }
  return use;
}

std::string_view trimmed_hex(std::string_view hex) {
  while (!hex.empty() && (hex.back() == '\r' || hex.back() == ' ')) hex.remove_suffix(1);
  return hex;
}

// Why a decoded message has no text for the command, or nothing when it has one.
const char* no_text_reason(const DeliveredSms& sms) {
  if (sms.data) return "8-bit data or a message for an application, such as a WAP push";
  if (sms.text.find('\0') != std::string::npos) return "a text with a NUL character";
  return nullptr;
}

// A listing in PDU mode has the PDU in hex where text mode has the text; the sender and
// the text come out of it in UTF-8. Every entry leaves the store in the end: texts are
// handed on (the parts of a long one once it is whole), the rest is logged and deleted.
// Returns the entries deleted.
std::size_t hand_on_pdu_entries(ModemLink& link, IncomingState& state, const std::vector<ListedMessage>& listed,
                                const std::optional<StoreUse>& store) {
  std::size_t deleted = 0;
  std::vector<ListedText> texts;
  std::set<int> undecodable;
  for (const ListedMessage& message : listed) {
    const std::string_view hex = trimmed_hex(message.text);
    if (is_status_report_pdu(hex)) {
      handle_listed_status_report(link, message.index, hex);
      ++deleted;
      continue;
    }
    const std::optional<DeliveredSms> sms = decode_deliver_pdu(hex);
    if (!sms) {
      undecodable.insert(message.index);
      if (state.undecodable.count(message.index) == 0) {
        link.log.WriteDailyLog("Received message in place " + std::to_string(message.index) +
                               " does not decode: it is read again at the next poll");
        continue;
      }
      drop_listed_message(link, message.index, "from an unknown sender", hex, "a PDU that does not decode");
      ++deleted;
    } else if (const char* why = no_text_reason(*sms)) {
      drop_listed_message(link, message.index, "from \"" + sms->sender + "\"", hex, why);
      ++deleted;
    } else {
      // Quoted, as in a text-mode listing.
      texts.push_back({message.index, "\"" + sms->sender + "\"", sms->text, sms->part});
    }
  }

  state.undecodable = std::move(undecodable);

  std::size_t slots_wanted = store ? static_cast<std::size_t>(store->over_line()) : 0;
  slots_wanted -= std::min(slots_wanted, deleted);
  const int64_t wait_ms = int64_t{link.settings.IncomingPartsWaitSecs} * 1000;
  for (const JoinedText& joined : state.joiner.take_ready(texts, clock().steady_ms(), wait_ms, slots_wanted)) {
    if (!joined.missing.empty()) {
      const std::string missing = missing_parts_mark(joined.missing.front(), joined.missing.back(), joined.parts);
      link.log.Log("Long SMS from " + joined.sender + " handed on incomplete, " + missing.substr(1, missing.size() - 2) +
                       (joined.for_room ? ": the message store is nearly full"
                                        : " after " + std::to_string(link.settings.IncomingPartsWaitSecs) + " s"),
                   kRed);
    }
    // A message whose command could not start stays in the modem for a later poll.
    if (!run_incoming(link, joined.sender, joined.text, true)) continue;
    for (int index : joined.indices) delete_message(link.modem, index, 1000, true);
    deleted += joined.indices.size();
  }
  return deleted;
}

// Lists the storage and hands each message on; the reply: 0 OK, 1 ERROR, -1 none. A
// command that takes UTF-8 gets its messages through a listing in PDU mode, which alone
// tells in which alphabet each came; the modem goes back to text mode after it.
int list_and_hand_on(ModemLink& link, IncomingState& state) {
  ModemChannel& m = link.modem;
  const bool utf8 = link.settings.IncomingUTF8 != 0;
  const std::optional<StoreUse> store = read_store(link, state);
  // The status words of a text-mode listing mean nothing to a modem left in PDU mode.
  if (!utf8 && !ensure_text_mode(link)) return -1;
  if (utf8 && !enter_pdu_mode(link)) {
    leave_pdu_mode(link, "a refused switch to PDU mode");
    return -1;
  }
  m.start_list_capture();
  m.events.clear(OkEvent);
  m.events.clear(ErrorEvent);
  m.SendCommand("at+cmgl", utf8 ? "=4\r" : state.form.argument());
  int reply = m.WaitOkOrError(15000);
  std::string capture = m.stop_capture();
  if (utf8) leave_pdu_mode(link, "listing in PDU mode");
  if (reply != 0) return reply;
  std::vector<ListedMessage> messages = parse_listing(capture);
  std::size_t entries = count_entries(capture);
  if (messages.size() < entries) {
    // Without its index an entry cannot even be deleted: it stays, and is reported at
    // every poll that lists it.
    char line[96];
    std::snprintf(line, sizeof line, "%zu listed message(s) not understood, left in the modem",
                  entries - messages.size());
    link.log.WriteDailyLog(line);
  }
  std::size_t deleted = 0;
  if (utf8) {
    deleted = hand_on_pdu_entries(link, state, messages, store);
  } else {
    for (const ListedMessage& message : messages) {
      // A message whose command could not start stays in the modem for a later poll.
      if (!run_incoming(link, message.sender, message.text, false)) continue;
      delete_message(m, message.index, 1000, true);
      ++deleted;
    }
  }
  // The status shows the room made at once, not a poll later.
  if (deleted > 0) read_store(link, state);
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

void drop_listed_message(ModemLink& link, int index, const std::string& from, std::string_view pdu_hex,
                         const std::string& why) {
  // What does not decode may be anything: the log gets hex digits only, one line of them.
  std::string shown(pdu_hex.substr(0, 2 * 256));
  for (char& c : shown) {
    if (std::isxdigit(static_cast<unsigned char>(c)) == 0) c = '.';
  }
  link.log.WriteDailyLog("Received message " + from + " not handed on (" + why + "), deleted; its PDU: " + shown);
  ++link.status.not_handed_on;
  delete_message(link.modem, index, 1000, true);
}

void IncomingThread(ModemLink& link) {
  ModemChannel& m = link.modem;
  IncomingState state;
  ListingForm& form = state.form;

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

    int reply = list_and_hand_on(link, state);
    // A modem that is gone or out of text mode is the signal thread's to bring back; its
    // storage is not to blame, and must not be cleaned.
    if (reply != 0 && (link.has_modem_fault() || m.device_gone())) continue;
    if (reply == 1) {
      // The form may simply have been the wrong guess: list again at once in the other.
      form.numeric = !form.numeric;
      ++failures;
      reply = list_and_hand_on(link, state);
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
