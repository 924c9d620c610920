// Scenario files for qzgsms-modemsim: the simulator's configuration as "key = value" lines.
//
// Blank lines and lines starting with '#' or ';' are ignored; spaces around key and value
// are dropped. Text values may hold the escapes \r \n \t \e (ESC) \z (Ctrl-Z) \\ \" and
// \xHH. Durations are milliseconds. Later lines override earlier ones; rule keys add a
// rule each. <cmd> names a command as it follows "AT" ("+COPS", "+CPIN?", "E0", "D").
//
//   silent = 0|1               answer nothing at all
//   delay = <ms>               delay of every answer
//   echo = 0|1                 echo at power-on (default 1)
//   pin = <pin>                the SIM wants this PIN
//   network = ok|none|error    +COPS= answers OK, nothing or ERROR
//   csq = <level>              signal level, 0..31 or 99
//   cfun = <n>                 functionality at power-on (default 1)
//   cmgf = <n>                 message format at power-on (default 0)
//   strict_cmgf = 0|1          1: a text-mode submission in PDU mode is refused
//   csca = <number>[,<type>]   service centre at power-on
//   error = <cmd>              ERROR instead of the answer
//   cme = <cmd>,<code>         +CME ERROR: <code> instead of the answer
//   cms = <cmd>,<code>         +CMS ERROR: <code> instead of the answer
//   drop = <cmd>               executed, but the answer is lost
//   ignore = <cmd>             neither executed nor answered
//   reply = <cmd>,<text>       <text> sent instead of the answer
//   before = <cmd>,<text>      <text> sent just before the answer
//   cmd_delay = <cmd>,<ms>     extra delay of that command's answer
//   times = <n>                the rule of the line before applies to n commands only
//   sms = ok|error|cms[:<code>]|noprompt|noreply
//   sms_times = <n>            submissions that fail as set by "sms" (default all)
//   sms_prompt_delay = <ms>
//   sms_delay = <ms>           from Ctrl-Z to the answer
//   call = answer|busy|noanswer|nocarrier|never
//   call_times = <n>           calls that go as set by "call" (default all)
//   call_delay = <ms>          until the dial command is answered
//   call_hangup = <ms>         the called party hangs up this long after answering (0 never)
//   mms = 0|1                  MMS support (+KPSV?)
//   kmmcnf = ok|error
//   mms_max = <bytes>          largest PDU accepted
//   mms_store = ok|error|noconnect|nohandle
//   mms_handle = normal|short
//   mms_report = <status>|never    +KPSSR status after +KPSSEND (0 sent, 1 not sent)
//   mms_report_delay = <ms>
//   mms_delete = ok|error
//   mms_timeout = <ms>         a stalled PDU transfer ends with ERROR
//   list_test = numeric|upper|lower|error     answer to AT+CMGL=?
//   list_forms = <form>[,<form>...]           forms of AT+CMGL= accepted: numeric, upper, lower
//   store_size = <n>           message indices 1..n
//   store = <index>,"<sender>",<text>         a received SMS (index 0: the lowest free)
//   inject_every = <ms>,<text>                unsolicited output at a fixed period
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "modemsim/config.h"
#include "modemsim/recording.h"

namespace qz::sim {

struct Scenario {
  ModemConfig config;
  std::vector<StoredMessage> messages;
};

// On failure `error` reads "line <n>: <what>" and `out` is left partly filled.
bool parse_scenario(std::string_view text, Scenario& out, std::string& error);
bool load_scenario(const std::string& path, Scenario& out, std::string& error);

// Resolves the escapes listed above; false on a malformed one.
bool decode_escapes(std::string_view text, std::string& out);

}  // namespace qz::sim
