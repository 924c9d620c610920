// How the simulated modem behaves: plain data, changed by tests through
// ModemSimulator::configure() or read from a scenario file (see scenario.h).
//
// Commands are named as they follow "AT" (a leading "AT" is allowed and dropped): "+COPS"
// matches "at+cops=0,0" and "AT+COPS?", "+CPIN?" only the query, "E0" the echo switch,
// "D" every dial command, and "" every command. Matching is a case-insensitive prefix test.
//
// Delays are real time on the steady clock; a test that runs the gateway on a faster clock
// scales them itself.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace qz::sim {

using SimClock = std::chrono::steady_clock;
using Millis = std::chrono::milliseconds;

// A rule that changes the answer to one command. The first rule whose command matches and
// whose count is not used up applies.
struct CommandRule {
  enum class Action {
    Answer,    // executed and answered normally (use with delay or before)
    Error,     // not executed; "ERROR"
    CmeError,  // not executed; "+CME ERROR: <code>"
    CmsError,  // not executed; "+CMS ERROR: <code>"
    Replace,   // not executed; `reply` is sent as it is
    Drop,      // executed, but its direct reply (final result, prompt, CONNECT) is lost
    Ignore,    // neither executed nor answered
  };

  std::string command;
  Action action = Action::Answer;
  int code = 0;        // CmeError, CmsError
  std::string reply;   // Replace: raw bytes, framing included
  std::string before;  // raw bytes sent just before the reply (noise, unsolicited lines)
  Millis delay{0};     // added to the global reply delay
  int times = -1;      // matching commands the rule still affects; -1 without limit

  static CommandRule error(std::string command, int times = -1);
  static CommandRule cme_error(std::string command, int code, int times = -1);
  static CommandRule cms_error(std::string command, int code, int times = -1);
  static CommandRule replace(std::string command, std::string reply, int times = -1);
  static CommandRule drop(std::string command, int times = -1);
  static CommandRule ignore(std::string command, int times = -1);
  static CommandRule delayed(std::string command, Millis delay, int times = -1);
  static CommandRule noise_before(std::string command, std::string bytes, int times = -1);
};

enum class NetworkMode {
  Registered,  // +COPS= answers OK
  NoAnswer,    // +COPS= is never answered; dialling gives NO CARRIER
  Error,       // +COPS= answers ERROR
};

enum class SmsFailure {
  None,      // prompt, text, "+CMGS: <n>" and OK
  Error,     // "ERROR" after Ctrl-Z
  CmsError,  // "+CMS ERROR: <cms_error>" after Ctrl-Z
  NoPrompt,  // the submission command is never answered; the modem stays in command mode
  NoReply,   // the text is taken but nothing answers the Ctrl-Z
};

struct SmsBehaviour {
  SmsFailure failure = SmsFailure::None;
  int cms_error = 500;
  int times = -1;  // submissions that still fail this way; -1 for all. Counts down.
  Millis prompt_delay{0};
  Millis submit_delay{0};  // between Ctrl-Z and the answer
};

enum class CallOutcome {
  Answer,     // OK after answer_delay: the called party answered
  Busy,       // "BUSY" after answer_delay
  NoAnswer,   // "NO ANSWER" after answer_delay
  NoCarrier,  // "NO CARRIER" after answer_delay
  Never,      // the dial command is never answered
};

struct CallBehaviour {
  CallOutcome outcome = CallOutcome::Answer;
  Millis answer_delay{0};
  Millis hang_up_after{0};  // > 0: the called party ends an answered call ("NO CARRIER")
  int times = -1;           // calls that still go this way; -1 for all. Counts down.
};

enum class MmsStore {
  Ok,         // CONNECT, the PDU, then +KPSW with the handle and OK
  Error,      // ERROR instead of CONNECT
  NoConnect,  // the store command is never answered
  NoHandle,   // CONNECT and the PDU, then ERROR instead of a handle
};

struct MmsBehaviour {
  bool supported = true;     // false: +KPSV? and every MMS command answer ERROR
  bool configure_ok = true;  // false: +KMMCNF answers ERROR
  int max_pdu_size = 102400;
  MmsStore store = MmsStore::Ok;
  bool short_handle = false;  // the handle has 8 characters instead of 20
  int report_status = 0;      // +KPSSR status: 0 sent, 1 not sent, others as given; -1 never
  Millis report_delay{100};   // from the OK of +KPSSEND to +KPSSR
  bool delete_ok = true;      // false: +KPSD answers ERROR
  Millis data_timeout{10000};  // a PDU transfer that stalls this long ends with ERROR
};

// Answer to "AT+CMGL=?".
enum class ListTestReply {
  Numeric,  // +CMGL: (0-4)
  Upper,    // +CMGL: ("REC UNREAD","REC READ","STO UNSENT","STO SENT","ALL")
  Lower,    // the same in lower case
  Error,    // ERROR
};

// Which status arguments "AT+CMGL=" accepts; a form not accepted answers ERROR.
struct ListForms {
  bool numeric = true;  // =4
  bool upper = true;    // ="ALL"
  bool lower = true;    // ="all"
};

struct ModemConfig {
  bool silent = false;  // no echo and no answer at all; commands are still recorded
  Millis reply_delay{0};
  std::vector<CommandRule> rules;

  std::string pin;  // not empty: the SIM wants this PIN before it is ready
  NetworkMode network = NetworkMode::Registered;
  int signal = 20;  // +CSQ level, 0 to 31 or 99

  // The modem's state at power-on (construction and power_cycle()).
  bool echo = true;
  int functionality = 1;
  int message_format = 0;
  // In PDU mode a submission that names its number in quotes, as text mode does, is
  // refused ("+CMS ERROR: 304"), as a real modem refuses it. Off, it is taken in either
  // mode, for exchanges typed by hand at a modem fresh from its power-on (PDU mode).
  bool strict_message_format = false;
  std::string service_centre = "+41794999000";
  int service_centre_type = 145;

  SmsBehaviour sms;
  CallBehaviour call;
  MmsBehaviour mms;

  ListTestReply list_test_reply = ListTestReply::Upper;
  ListForms list_forms;
  int store_capacity = 20;  // message indices 1 to store_capacity

  // Sent every periodic_interval when both are set (RING, +CREG: 1, noise).
  std::string periodic_bytes;
  Millis periodic_interval{0};
};

}  // namespace qz::sim
