// What the simulated modem saw and what it holds: received commands, submitted messages,
// calls, MMS transfers, deletions, the message store and the modem's settings.
#pragma once

#include <string>
#include <vector>

#include "modemsim/config.h"

namespace qz::sim {

struct ReceivedCommand {
  std::string line;  // as received, without its line end
  SimClock::time_point at;
};

struct SubmittedSms {
  std::string number;  // from the submission command, without quotes; "(PDU)" in PDU mode
  std::string text;    // raw bytes between the prompt and Ctrl-Z (GSM alphabet, or the PDU in hex)
  bool accepted = false;  // false when cancelled with ESC or answered with an error
  SimClock::time_point at;
  bool pdu = false;    // submitted in PDU mode
};

struct DialledCall {
  std::string number;  // between "ATD" and ";"
  SimClock::time_point at;
};

struct StoredMms {
  std::string handle;  // without quotes; empty when the store failed
  std::string pdu;     // the bytes received after CONNECT
  bool submitted = false;
  bool deleted = false;
  SimClock::time_point at;
};

struct Recording {
  std::vector<ReceivedCommand> commands;
  std::vector<SubmittedSms> sms;
  std::vector<DialledCall> calls;
  std::vector<StoredMms> mms;
  std::vector<int> deletions;  // indices of every +CMGD, in order, existing or not
};

// A received SMS waiting in the modem's store.
struct StoredMessage {
  int index = 0;  // 0 when adding: the lowest free index
  std::string status = "REC UNREAD";  // or "REC READ"; listing marks it read
  std::string sender = "+41791234567";
  std::string timestamp = "24/03/01,12:00:00+04";
  std::string text;  // raw bytes in the GSM alphabet; line breaks are sent as CR LF
  bool ucs2 = false;  // text holds UCS-2 octets, big-endian: listed in hex in text mode
  // Not empty: the message as the network delivered it, in hex with its SMSC field (a long
  // text's part, data, a status report...), listed as it is in PDU mode; sender and text
  // are then not used.
  std::string pdu;
};

// The settings the modem keeps between commands.
struct ModemState {
  bool echo = true;
  bool sim_ready = true;
  int functionality = 1;
  int message_format = 0;
  std::string charset = "GSM";
  std::string service_centre;
  int service_centre_type = 145;
  std::string sms_parameters;  // arguments of the last +CSMP=
  bool colp = false;
  std::string mms_url;         // from +KMMCNF=1
  std::string mms_parameters;  // arguments of the last +KMMCNF=3
};

}  // namespace qz::sim
