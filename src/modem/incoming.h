// Received SMS: polled from the modem's storage, each handed with its sender to the
// command of CmdLineFormat, then deleted from the modem.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qz {

class ModemChannel;
class ModemLink;

struct ListedMessage {
  int index = 0;
  std::string sender;  // the third field of the header, quotes kept
  std::string text;    // still in the GSM alphabet; lines joined by "\r", ending with "\r"
};

// Cuts a captured "+CMGL" listing into its messages. Never reads outside `capture`; an
// entry whose header lacks its third comma or its line end is passed over.
std::vector<ListedMessage> parse_listing(std::string_view capture);

void IncomingThread(ModemLink& link);

// A status report found among the received messages (listed in PDU mode, at `index`):
// the one place that decides what becomes of it. With DeliveryReports it goes to the
// delivery reports like one the modem passes on; otherwise it is logged and dropped. Either
// way it leaves the store.
void handle_listed_status_report(ModemLink& link, int index, std::string_view pdu_hex);

// Deletes the message at `index` from the store; waits `wait_ms` for the OK, or with
// `ok_only` false for an OK or an ERROR. The caller holds ModemLock.
void delete_message(ModemChannel& m, int index, int64_t wait_ms, bool ok_only);

// A received message with no text to hand on (`why`): logged with whom it is from (`from`,
// "from \"+4179...\"") and its PDU, counted, and deleted from the store. The caller holds
// ModemLock.
void drop_listed_message(ModemLink& link, int index, const std::string& from, std::string_view pdu_hex,
                         const std::string& why);

// Converts the text from the GSM alphabet (unless it is `utf8` already) and starts the
// command with the sender and the text as two arguments. False when the command could not
// be started.
bool run_incoming(ModemLink& link, const std::string& sender, std::string text, bool utf8 = false);

}  // namespace qz
