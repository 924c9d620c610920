#include "modemsim/modem_engine.h"
#include "modemsim/text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

namespace qz::sim {
namespace {

// Longer command lines are not commands a modem would take; they are answered with ERROR.
constexpr std::size_t kMaxLine = 4096;
// Longer SMS texts end the text entry with ERROR instead of growing without bound.
constexpr std::size_t kMaxSmsText = 8192;
// The largest MMS transfer accepted whatever max_pdu_size says.
constexpr long kMaxPdu = 4L * 1024 * 1024;

constexpr char kCtrlZ = 0x1A;
constexpr char kEsc = 0x1B;

std::string unquote(std::string_view text) {
  std::string t = trim(text);
  if (t.size() >= 2 && t.front() == '"' && t.back() == '"') return t.substr(1, t.size() - 2);
  return t;
}

bool is_quoted(std::string_view text) {
  std::string t = trim(text);
  return t.size() >= 2 && t.front() == '"' && t.back() == '"';
}

// Splits the arguments of a set command at the commas outside double quotes.
std::vector<std::string> split_args(std::string_view args) {
  std::vector<std::string> out;
  std::string current;
  bool quoted = false;
  for (char c : args) {
    if (c == '"') quoted = !quoted;
    if (c == ',' && !quoted) {
      out.push_back(trim(current));
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  out.push_back(trim(current));
  return out;
}

std::optional<long> parse_number(std::string_view text) {
  std::string t = trim(text);
  if (t.empty()) return std::nullopt;
  long value = 0;
  auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
  if (ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
  return value;
}

std::string framed(std::string_view line) {
  std::string out = "\r\n";
  out.append(line);
  out += "\r\n";
  return out;
}

const std::string kOk = "\r\nOK\r\n";
const std::string kError = "\r\nERROR\r\n";

std::string cme(int code) { return framed("+CME ERROR: " + std::to_string(code)); }
std::string cms(int code) { return framed("+CMS ERROR: " + std::to_string(code)); }

// Stored texts may break lines any way; the modem sends every break as CR LF.
std::string to_hex(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned char b : bytes) {
    hex += kHex[b >> 4];
    hex += kHex[b & 0xF];
  }
  return hex;
}

// Septets packed seven into eight bits, least significant first.
std::string pack_septets(std::string_view septets) {
  std::string packed((septets.size() * 7 + 7) / 8, '\0');
  for (std::size_t i = 0; i < septets.size(); ++i) {
    const std::size_t bit = i * 7;
    const unsigned value = static_cast<unsigned char>(septets[i]) & 0x7F;
    packed[bit / 8] = static_cast<char>(packed[bit / 8] | (value << (bit % 8)));
    if (bit % 8 > 1) packed[bit / 8 + 1] = static_cast<char>(packed[bit / 8 + 1] | (value >> (8 - bit % 8)));
  }
  return packed;
}

// A stored message as SMS-DELIVER in hex, as a modem lists it in PDU mode: the sender a
// number when it is one, else a name; the time stamp fixed.
std::string deliver_pdu(const StoredMessage& message) {
  std::string pdu("\x00\x04", 2);  // no SMSC field; SMS-DELIVER
  std::string digits = message.sender;
  const bool international = !digits.empty() && digits[0] == '+';
  if (international) digits.erase(0, 1);
  if (!digits.empty() && digits.find_first_not_of("0123456789") == std::string::npos) {
    pdu += static_cast<char>(digits.size());
    pdu += static_cast<char>(international ? 0x91 : 0x81);
    for (std::size_t i = 0; i < digits.size(); i += 2) {
      const int low = digits[i] - '0';
      const int high = i + 1 < digits.size() ? digits[i + 1] - '0' : 0xF;
      pdu += static_cast<char>(high << 4 | low);
    }
  } else {
    const std::string name = pack_septets(message.sender.substr(0, 11));
    pdu += static_cast<char>((message.sender.substr(0, 11).size() * 7 + 3) / 4);
    pdu += static_cast<char>(0xD0);
    pdu += name;
  }
  pdu += '\0';                                 // protocol identifier
  pdu += static_cast<char>(message.ucs2 ? 0x08 : 0x00);
  pdu += std::string("\x42\x30\x10\x21\x00\x00\x40", 7);  // 24/03/01 12:00:00 +01:00
  pdu += static_cast<char>(message.text.size());
  pdu += message.ucs2 ? message.text : pack_septets(message.text);
  return to_hex(pdu);
}

std::string with_crlf(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      out += "\r\n";
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

const char* kListStatuses[] = {"REC UNREAD", "REC READ", "STO UNSENT", "STO SENT", "ALL"};

}  // namespace

std::string printable(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

ModemEngine::ModemEngine(ModemConfig config) : config_(std::move(config)) {
  power_cycle(SimClock::now());
}

void ModemEngine::power_cycle(SimClock::time_point now) {
  echo_ = config_.echo;
  pin_entered_ = false;
  functionality_ = config_.functionality;
  message_format_ = config_.message_format;
  charset_ = "GSM";
  service_centre_ = config_.service_centre;
  service_centre_type_ = config_.service_centre_type;
  sms_parameters_.clear();
  colp_ = false;
  mode_ = Mode::Command;
  line_.clear();
  line_overflow_ = false;
  skip_lf_ = false;
  pending_.clear();
  last_reply_due_ = now;
  next_periodic_.reset();
}

ModemState ModemEngine::state() const {
  ModemState s;
  s.echo = echo_;
  s.sim_ready = !sim_locked();
  s.functionality = functionality_;
  s.message_format = message_format_;
  s.charset = charset_;
  s.service_centre = service_centre_;
  s.service_centre_type = service_centre_type_;
  s.sms_parameters = sms_parameters_;
  s.colp = colp_;
  s.mms_url = mms_url_;
  s.mms_parameters = mms_parameters_;
  return s;
}

void ModemEngine::log(std::string line) { log_.push_back(std::move(line)); }

std::vector<std::string> ModemEngine::take_log() {
  std::vector<std::string> out;
  out.swap(log_);
  return out;
}

// ---- input -------------------------------------------------------------------------------

void ModemEngine::receive(std::string_view bytes, SimClock::time_point now) {
  for (char c : bytes) {
    switch (mode_) {
      case Mode::Command:
        receive_command_byte(c, now);
        break;
      case Mode::SmsText:
        receive_sms_byte(c, now);
        break;
      case Mode::MmsData:
        // An LF sent together with the CR of the store command belongs to its line end.
        if (skip_lf_ && c == '\n') {
          skip_lf_ = false;
          break;
        }
        skip_lf_ = false;
        mms_pdu_.push_back(c);
        mms_deadline_ = now + config_.mms.data_timeout;
        if (mms_pdu_.size() >= mms_expected_) finish_mms(now);
        break;
    }
  }
  // Only an LF in the same write as the CR counts as part of the line end.
  skip_lf_ = false;
}

void ModemEngine::receive_command_byte(char c, SimClock::time_point now) {
  if (c == '\r' || c == '\n') {
    if (line_overflow_) {
      line_overflow_ = false;
      recording_.commands.push_back({line_, now});
      log("<- (line too long) " + printable(line_.substr(0, 64)) + "...");
      line_.clear();
      queue_reply({kError}, Millis{0}, false, {}, now);
      return;
    }
    if (line_.empty()) return;
    std::string line;
    line.swap(line_);
    execute(line, now);
    if (mode_ != Mode::Command && c == '\r') skip_lf_ = true;
    return;
  }
  // A stray Ctrl-Z, ESC or NUL outside a text entry ends nothing; modems drop them.
  if (c == kCtrlZ || c == kEsc || c == '\0') return;
  if (c == '\b') {
    if (!line_.empty() && !line_overflow_) line_.pop_back();
    return;
  }
  if (line_.size() >= kMaxLine) {
    line_overflow_ = true;
    return;
  }
  line_.push_back(c);
}

void ModemEngine::receive_sms_byte(char c, SimClock::time_point now) {
  if (skip_lf_ && c == '\n') {
    skip_lf_ = false;
    return;
  }
  skip_lf_ = false;
  if (c == kCtrlZ) {
    finish_sms(false, now);
  } else if (c == kEsc) {
    finish_sms(true, now);
  } else if (sms_text_.size() >= kMaxSmsText) {
    mode_ = Mode::Command;
    recording_.sms.push_back({sms_number_, sms_text_, false, now});
    log("SMS to " + sms_number_ + " refused: text longer than " + std::to_string(kMaxSmsText));
    sms_text_.clear();
    queue_reply({kError}, Millis{0}, false, {}, now);
  } else {
    sms_text_.push_back(c);
  }
}

void ModemEngine::finish_sms(bool cancelled, SimClock::time_point now) {
  mode_ = Mode::Command;
  SubmittedSms record{sms_number_, sms_text_, false, now};
  sms_text_.clear();
  if (sms_pdu_length_ && !cancelled) {
    record.pdu = true;
    // The PDU in hex: the SMSC field (its length octet first), then the declared length.
    const std::string& hex = record.text;
    const bool is_hex = hex.find_first_not_of("0123456789ABCDEFabcdef") == std::string::npos;
    const std::size_t smsc = is_hex && hex.size() >= 2 ? std::stoul(hex.substr(0, 2), nullptr, 16) : 0;
    if (!is_hex || hex.size() % 2 != 0 || hex.size() / 2 != 1 + smsc + *sms_pdu_length_) {
      log("SMS PDU refused: not " + std::to_string(*sms_pdu_length_) + " octets in hex: " + printable(hex));
      recording_.sms.push_back(std::move(record));
      queue_reply({cms(304)}, Millis{0}, false, {}, now);
      return;
    }
  }
  if (cancelled) {
    recording_.sms.push_back(std::move(record));
    log("SMS to " + sms_number_ + " cancelled");
    queue_reply({kOk}, Millis{0}, false, {}, now);
    return;
  }
  Reply reply;
  reply.delay = config_.sms.submit_delay;
  switch (sms_failure_) {
    case SmsFailure::None:
    case SmsFailure::NoPrompt:
      record.accepted = true;
      sms_reference_ = sms_reference_ % 255 + 1;
      reply.bytes = framed("+CMGS: " + std::to_string(sms_reference_)) + kOk;
      break;
    case SmsFailure::Error:
      reply.bytes = kError;
      break;
    case SmsFailure::CmsError:
      reply.bytes = cms(config_.sms.cms_error);
      break;
    case SmsFailure::NoReply:
      break;
  }
  log("SMS to " + record.number + (record.accepted ? " accepted: " : " refused: ") +
      printable(record.text));
  recording_.sms.push_back(std::move(record));
  queue_reply(std::move(reply), Millis{0}, false, {}, now);
}

void ModemEngine::finish_mms(SimClock::time_point now) {
  mode_ = Mode::Command;
  StoredMms record;
  record.pdu.swap(mms_pdu_);
  record.at = now;
  if (mms_store_ == MmsStore::Ok) {
    record.handle = next_handle();
    mms_handles_.insert(record.handle);
    log("MMS stored as " + record.handle + ", " + std::to_string(record.pdu.size()) + " bytes");
    std::string reply = framed("+KPSW: \"" + record.handle + "\"") + kOk;
    recording_.mms.push_back(std::move(record));
    queue_reply({reply}, Millis{0}, false, {}, now);
  } else {
    log("MMS of " + std::to_string(record.pdu.size()) + " bytes received, not stored");
    recording_.mms.push_back(std::move(record));
    queue_reply({kError}, Millis{0}, false, {}, now);
  }
}

std::string ModemEngine::next_handle() {
  char handle[32];
  ++handle_counter_;
  if (config_.mms.short_handle) {
    std::snprintf(handle, sizeof handle, "MMS%05llu",
                  static_cast<unsigned long long>(handle_counter_ % 100000));
  } else {
    std::snprintf(handle, sizeof handle, "MMS%017llu",
                  static_cast<unsigned long long>(handle_counter_));
  }
  return handle;
}

// ---- commands ----------------------------------------------------------------------------

const CommandRule* ModemEngine::take_rule(const std::string& upper_body) {
  for (CommandRule& rule : config_.rules) {
    if (rule.times == 0) continue;
    std::string command = to_upper(trim(rule.command));
    if (starts_with_nocase(command, "AT")) command = command.substr(2);
    if (!starts_with_nocase(upper_body, command)) continue;
    if (rule.times > 0) --rule.times;
    return &rule;
  }
  return nullptr;
}

void ModemEngine::execute(const std::string& line, SimClock::time_point now) {
  recording_.commands.push_back({line, now});
  log("<- " + printable(line));
  if (config_.silent) return;

  if (echo_) {
    SimClock::time_point due = std::max(now, last_reply_due_);
    last_reply_due_ = due;
    pending_.emplace(due, Chunk{line + "\r\n", kTagNone, true});
  }
  std::string trimmed = trim(line);
  // Modems wait for "AT" and let anything else pass unanswered.
  if (!starts_with_nocase(trimmed, "AT")) return;
  std::string body = trimmed.substr(2);
  std::string upper = to_upper(body);

  const CommandRule* found = take_rule(upper);
  if (!found) {
    queue_reply(dispatch(body, now), Millis{0}, false, {}, now);
    return;
  }
  CommandRule rule = *found;
  Reply reply;
  bool drop = false;
  switch (rule.action) {
    case CommandRule::Action::Answer:
      reply = dispatch(body, now);
      break;
    case CommandRule::Action::Drop:
      reply = dispatch(body, now);
      drop = true;
      break;
    case CommandRule::Action::Error:
      reply.bytes = kError;
      break;
    case CommandRule::Action::CmeError:
      reply.bytes = cme(rule.code);
      break;
    case CommandRule::Action::CmsError:
      reply.bytes = cms(rule.code);
      break;
    case CommandRule::Action::Replace:
      reply.bytes = rule.reply;
      break;
    case CommandRule::Action::Ignore:
      break;
  }
  queue_reply(std::move(reply), rule.delay, drop, rule.before, now);
}

ModemEngine::Reply ModemEngine::dispatch(const std::string& body, SimClock::time_point now) {
  std::string upper = to_upper(body);
  if (upper.empty()) return {kOk};
  if (upper[0] == '+') {
    std::size_t end = upper.find_first_of("?=");
    if (end == std::string::npos) end = upper.size();
    return extended(trim(upper.substr(0, end)), body.substr(end), now);
  }
  if (upper[0] == 'D') return dial(body, now);
  return basic_command(trim(upper), body);
}

ModemEngine::Reply ModemEngine::basic_command(const std::string& upper, const std::string&) {
  if (upper == "&F" || upper == "&F0" || upper == "Z" || upper == "Z0") {
    echo_ = config_.echo;
    message_format_ = config_.message_format;
    charset_ = "GSM";
    colp_ = false;
    return {kOk};
  }
  if (upper == "E" || upper == "E0") {
    echo_ = false;
    return {kOk};
  }
  if (upper == "E1") {
    echo_ = true;
    return {kOk};
  }
  if (upper == "I" || upper == "I0") return {framed("qzgsms modem simulator") + kOk};
  if (upper == "H" || upper == "H0") {
    cancel(kTagCall);
    return {kOk};
  }
  return {kError};
}

ModemEngine::Reply ModemEngine::dial(const std::string& body, SimClock::time_point now) {
  std::string number = trim(body.substr(1));
  bool voice = !number.empty() && number.back() == ';';
  if (voice) number = trim(number.substr(0, number.size() - 1));
  if (number.empty()) return {kError};
  if (!voice) return {framed("NO CARRIER")};  // data calls are not simulated
  if (sim_locked()) return {cme(11)};
  recording_.calls.push_back({number, now});
  log("call to " + number);
  if (config_.network != NetworkMode::Registered) return {framed("NO CARRIER")};

  CallOutcome outcome = CallOutcome::Answer;
  if (config_.call.times != 0) {
    outcome = config_.call.outcome;
    if (config_.call.times > 0) --config_.call.times;
  }
  Reply reply;
  reply.delay = config_.call.answer_delay;
  reply.tag = kTagCall;
  switch (outcome) {
    case CallOutcome::Answer:
      if (colp_) reply.bytes = framed("+COLP: \"" + number + "\",129");
      reply.bytes += kOk;
      if (config_.call.hang_up_after > Millis{0})
        reply.later.push_back({config_.call.hang_up_after, framed("NO CARRIER"), kTagCall});
      break;
    case CallOutcome::Busy:
      reply.bytes = framed("BUSY");
      break;
    case CallOutcome::NoAnswer:
      reply.bytes = framed("NO ANSWER");
      break;
    case CallOutcome::NoCarrier:
      reply.bytes = framed("NO CARRIER");
      break;
    case CallOutcome::Never:
      reply.tag = kTagNone;
      break;
  }
  return reply;
}

ModemEngine::Reply ModemEngine::extended(const std::string& name, const std::string& suffix,
                                         SimClock::time_point now) {
  const bool query = suffix == "?";
  const bool test = suffix == "=?";
  const bool set = !test && !suffix.empty() && suffix[0] == '=';
  const bool action = suffix.empty();
  const std::string args = set ? suffix.substr(1) : std::string();

  if (name == "+CPIN") return pin(suffix);

  if (name == "+CFUN") {
    if (query) return {framed("+CFUN: " + std::to_string(functionality_)) + kOk};
    if (test) return {framed("+CFUN: (0,1,4),(0-1)") + kOk};
    if (set) {
      auto level = parse_number(split_args(args)[0]);
      if (!level || (*level != 0 && *level != 1 && *level != 4)) return {kError};
      functionality_ = static_cast<int>(*level);
      return {kOk};
    }
    return {kError};
  }

  if (name == "+COPS") {
    bool registered = config_.network == NetworkMode::Registered && functionality_ == 1;
    if (query) return {framed(registered ? "+COPS: 0,0,\"SIMNET\"" : "+COPS: 0") + kOk};
    if (test) return {framed("+COPS: (2,\"SIMNET\",\"SIMNET\",\"22899\"),,(0-4),(0-2)") + kOk};
    if (!set) return {kError};
    if (sim_locked()) return {cme(11)};
    if (functionality_ != 1) return {cme(30)};
    switch (config_.network) {
      case NetworkMode::Registered:
        return {kOk};
      case NetworkMode::NoAnswer:
        return {};
      case NetworkMode::Error:
        return {kError};
    }
    return {kError};
  }

  if (name == "+CREG") {
    bool registered = config_.network == NetworkMode::Registered && functionality_ == 1 &&
                      !sim_locked();
    if (query) return {framed(registered ? "+CREG: 0,1" : "+CREG: 0,0") + kOk};
    if (test) return {framed("+CREG: (0-2)") + kOk};
    return {set ? kOk : kError};
  }

  if (name == "+CMGF") {
    if (query) return {framed("+CMGF: " + std::to_string(message_format_)) + kOk};
    if (test) return {framed("+CMGF: (0-1)") + kOk};
    if (set) {
      auto format = parse_number(args);
      if (!format || (*format != 0 && *format != 1)) return {kError};
      message_format_ = static_cast<int>(*format);
      return {kOk};
    }
    return {kError};
  }

  if (name == "+CSCS") {
    if (query) return {framed("+CSCS: \"" + charset_ + "\"") + kOk};
    if (test) return {framed("+CSCS: (\"GSM\",\"IRA\",\"8859-1\",\"UCS2\")") + kOk};
    if (set) {
      std::string charset = to_upper(unquote(args));
      if (charset != "GSM" && charset != "IRA" && charset != "8859-1" && charset != "UCS2")
        return {kError};
      charset_ = charset;
      return {kOk};
    }
    return {kError};
  }

  if (name == "+CSCA") {
    if (sim_locked()) return {cme(11)};
    if (query) {
      return {framed("+CSCA: \"" + service_centre_ + "\"," +
                     std::to_string(service_centre_type_)) +
              kOk};
    }
    if (test) return {kOk};
    if (set) {
      std::vector<std::string> parts = split_args(args);
      std::string number = unquote(parts[0]);
      if (number.empty()) return {kError};
      int type = number[0] == '+' ? 145 : 129;
      if (parts.size() > 1) {
        auto t = parse_number(parts[1]);
        if (!t || *t < 0 || *t > 255) return {kError};
        type = static_cast<int>(*t);
      }
      service_centre_ = number;
      service_centre_type_ = type;
      log("service centre set to " + number + "," + std::to_string(type));
      return {kOk};
    }
    return {kError};
  }

  if (name == "+CSMP") {
    if (query) {
      std::string params = sms_parameters_.empty() ? "17,167,0,0" : sms_parameters_;
      return {framed("+CSMP: " + params) + kOk};
    }
    if (test) return {kOk};
    if (set) {
      for (const std::string& part : split_args(args)) {
        if (!part.empty() && !parse_number(part) && !is_quoted(part)) return {kError};
      }
      sms_parameters_ = trim(args);
      return {kOk};
    }
    return {kError};
  }

  if (name == "+CMGS") {
    if (test) return {kOk};
    if (!set) return {kError};
    return submit_sms(suffix);
  }
  if (name == "+CMGL") return list_messages(suffix);
  if (name == "+CMGD") return delete_message(suffix);

  if (name == "+CSQ") {
    if (test) return {framed("+CSQ: (0-31,99),(0-7,99)") + kOk};
    if (!action) return {kError};
    return {framed("+CSQ: " + std::to_string(config_.signal) + ",99") + kOk};
  }

  if (name == "+COLP") {
    if (query) return {framed(std::string("+COLP: ") + (colp_ ? "1" : "0") + ",1") + kOk};
    if (test) return {framed("+COLP: (0,1)") + kOk};
    if (set) {
      auto value = parse_number(args);
      if (!value || (*value != 0 && *value != 1)) return {kError};
      colp_ = *value == 1;
      return {kOk};
    }
    return {kError};
  }

  if (name == "+CHUP") {
    if (!action) return {test ? kOk : kError};
    cancel(kTagCall);
    return {kOk};
  }

  if (name == "+CGMI") return {framed("QZ") + kOk};
  if (name == "+CGMM") return {framed("Modem simulator") + kOk};

  if (name == "+KPSV") {
    if (!config_.mms.supported) return {kError};
    return {(query || test) ? kOk : kError};
  }

  if (name == "+KMMCNF") {
    if (!config_.mms.supported || !config_.mms.configure_ok) return {kError};
    if (query) {
      return {framed("+KMMCNF: 1,\"" + mms_url_ + "\"") + framed("+KMMCNF: 3," + mms_parameters_) +
              kOk};
    }
    if (test) return {kOk};
    if (!set) return {kError};
    std::vector<std::string> parts = split_args(args);
    auto profile = parse_number(parts[0]);
    if (!profile || parts.size() < 2) return {kError};
    if (*profile == 1) {
      mms_url_ = unquote(parts[1]);
      log("MMS server " + mms_url_);
    } else if (*profile == 3) {
      mms_parameters_ = trim(args.substr(args.find(',') + 1));
      log("MMS connection " + mms_parameters_);
    }
    return {kOk};
  }

  if (name == "+KPSW") {
    if (!config_.mms.supported) return {kError};
    if (test) return {framed("+KPSW: (\"MMS\")," + std::to_string(config_.mms.max_pdu_size)) + kOk};
    if (!set) return {kError};
    return mms_store(suffix, now);
  }
  if (name == "+KPSSEND") {
    if (!config_.mms.supported || !set) return {kError};
    return mms_send(suffix);
  }
  if (name == "+KPSD") {
    if (!config_.mms.supported || !set) return {kError};
    return mms_delete(suffix);
  }

  return {kError};
}

ModemEngine::Reply ModemEngine::pin(const std::string& suffix) {
  if (suffix == "?") return {framed(sim_locked() ? "+CPIN: SIM PIN" : "+CPIN: READY") + kOk};
  if (suffix == "=?") return {kOk};
  if (suffix.empty() || suffix[0] != '=') return {kError};
  std::string entered = unquote(split_args(suffix.substr(1))[0]);
  if (!sim_locked()) return {cme(3)};
  if (entered != config_.pin) {
    log("wrong PIN " + printable(entered));
    return {cme(16)};
  }
  pin_entered_ = true;
  log("PIN accepted");
  return {kOk};
}

ModemEngine::Reply ModemEngine::submit_sms(const std::string& suffix) {
  // Text mode names the number; PDU mode the length of the PDU to come, which holds it.
  // A quoted number is taken in either mode unless the modem is strict about its mode.
  std::string number;
  sms_pdu_length_.reset();
  const std::string argument = trim(suffix.substr(1));
  if (message_format_ == 0 && is_quoted(argument) && config_.strict_message_format) return {cms(304)};
  if (message_format_ == 0 && !is_quoted(argument)) {
    auto length = parse_number(argument);
    if (!length || *length < 1 || *length > 164) return {kError};
    sms_pdu_length_ = static_cast<std::size_t>(*length);
    number = "(PDU)";
  } else {
    number = unquote(split_args(suffix.substr(1))[0]);
  }
  if (number.empty()) return {kError};
  if (sim_locked()) return {cms(311)};
  if (config_.network != NetworkMode::Registered || functionality_ != 1) return {cms(331)};

  sms_failure_ = SmsFailure::None;
  if (config_.sms.times != 0 && config_.sms.failure != SmsFailure::None) {
    sms_failure_ = config_.sms.failure;
    if (config_.sms.times > 0) --config_.sms.times;
  }
  if (sms_failure_ == SmsFailure::NoPrompt) {
    log("SMS to " + number + ": no prompt");
    return {};
  }
  mode_ = Mode::SmsText;
  sms_number_ = number;
  sms_text_.clear();
  Reply reply;
  reply.bytes = "\r\n> ";
  reply.delay = config_.sms.prompt_delay;
  return reply;
}

ModemEngine::Reply ModemEngine::list_messages(const std::string& suffix) {
  if (suffix == "=?") {
    switch (config_.list_test_reply) {
      case ListTestReply::Numeric:
        return {framed("+CMGL: (0-4)") + kOk};
      case ListTestReply::Upper:
        return {framed("+CMGL: (\"REC UNREAD\",\"REC READ\",\"STO UNSENT\",\"STO SENT\",\"ALL\")") +
                kOk};
      case ListTestReply::Lower:
        return {framed("+CMGL: (\"rec unread\",\"rec read\",\"sto unsent\",\"sto sent\",\"all\")") +
                kOk};
      case ListTestReply::Error:
        return {kError};
    }
    return {kError};
  }
  if (!suffix.empty() && suffix[0] != '=') return {kError};

  // Which status is asked for, and in which form.
  std::string arg = suffix.empty() ? "\"REC UNREAD\"" : trim(suffix.substr(1));
  bool numeric = false;
  int status = -1;
  if (is_quoted(arg)) {
    std::string text = unquote(arg);
    bool has_lower = std::any_of(text.begin(), text.end(),
                                 [](unsigned char c) { return std::islower(c) != 0; });
    bool has_upper = std::any_of(text.begin(), text.end(),
                                 [](unsigned char c) { return std::isupper(c) != 0; });
    if (has_lower && has_upper) return {kError};
    if (has_lower ? !config_.list_forms.lower : !config_.list_forms.upper) return {kError};
    std::string upper = to_upper(text);
    for (int i = 0; i < 5; ++i) {
      if (upper == kListStatuses[i]) status = i;
    }
  } else {
    auto value = parse_number(arg);
    if (!value || !config_.list_forms.numeric) return {kError};
    if (*value >= 0 && *value <= 4) status = static_cast<int>(*value);
    numeric = true;
  }
  if (status < 0) return {kError};
  if (sim_locked()) return {cms(311)};

  std::string out;
  for (auto& [index, message] : store_) {
    int message_status = message.status == "REC READ" ? 1 : 0;
    if (status != 4 && status != message_status) continue;
    std::string header = "+CMGL: " + std::to_string(index) + ",";
    if (numeric && message_format_ == 0) {
      const std::string pdu = deliver_pdu(message);
      header += std::to_string(message_status) + ",," + std::to_string(pdu.size() / 2 - 1);
      out += "\r\n" + header + "\r\n" + pdu;
      message.status = "REC READ";
      continue;
    }
    if (numeric) {
      header += std::to_string(message_status) + ",," + std::to_string(message.text.size());
    } else {
      header += "\"" + message.status + "\",\"" + message.sender + "\",,\"" + message.timestamp +
                "\"";
    }
    out += "\r\n" + header + "\r\n" + (message.ucs2 ? to_hex(message.text) : with_crlf(message.text));
    message.status = "REC READ";
  }
  if (!out.empty()) out += "\r\n";
  return {out + kOk};
}

ModemEngine::Reply ModemEngine::delete_message(const std::string& suffix) {
  if (suffix == "=?") {
    return {framed("+CMGD: (1-" + std::to_string(config_.store_capacity) + "),(0-4)") + kOk};
  }
  if (suffix.empty() || suffix[0] != '=') return {kError};
  std::vector<std::string> parts = split_args(suffix.substr(1));
  auto index = parse_number(parts[0]);
  long flag = 0;
  if (parts.size() > 1) {
    auto f = parse_number(parts[1]);
    if (!f || *f < 0 || *f > 4) return {kError};
    flag = *f;
  }
  if (!index) return {kError};
  if (sim_locked()) return {cms(311)};
  if (flag == 0 && (*index < 1 || *index > config_.store_capacity)) return {cms(321)};

  recording_.deletions.push_back(static_cast<int>(*index));
  if (flag == 0) {
    store_.erase(static_cast<int>(*index));
  } else {
    // Flags 1 to 3 remove the read messages (this store holds no sent ones), 4 all.
    for (auto it = store_.begin(); it != store_.end();) {
      if (flag == 4 || it->second.status == "REC READ") {
        it = store_.erase(it);
      } else {
        ++it;
      }
    }
  }
  log("delete message " + std::to_string(*index) + (flag ? " flag " + std::to_string(flag) : ""));
  return {kOk};
}

ModemEngine::Reply ModemEngine::mms_store(const std::string& suffix, SimClock::time_point now) {
  std::vector<std::string> parts = split_args(suffix.substr(1));
  if (parts.size() != 2 || to_upper(unquote(parts[0])) != "MMS") return {kError};
  auto size = parse_number(parts[1]);
  if (!size || *size < 1 || *size > config_.mms.max_pdu_size || *size > kMaxPdu) return {kError};

  switch (config_.mms.store) {
    case MmsStore::Error:
      return {kError};
    case MmsStore::NoConnect:
      return {};
    case MmsStore::Ok:
    case MmsStore::NoHandle:
      break;
  }
  mode_ = Mode::MmsData;
  mms_store_ = config_.mms.store;
  mms_expected_ = static_cast<std::size_t>(*size);
  mms_pdu_.clear();
  mms_deadline_ = now + config_.mms.data_timeout;
  return {framed("CONNECT")};
}

ModemEngine::Reply ModemEngine::mms_send(const std::string& suffix) {
  std::string handle = unquote(suffix.substr(1));
  if (!mms_handles_.count(handle)) {
    log("MMS send of unknown handle " + printable(handle));
    return {kError};
  }
  if (StoredMms* record = recorded_mms(handle)) record->submitted = true;
  Reply reply{kOk};
  if (config_.mms.report_status >= 0) {
    reply.later.push_back({config_.mms.report_delay,
                           framed("+KPSSR: \"" + handle + "\"," +
                                  std::to_string(config_.mms.report_status)),
                           kTagNone});
  }
  log("MMS " + handle + " submitted");
  return reply;
}

ModemEngine::Reply ModemEngine::mms_delete(const std::string& suffix) {
  std::string handle = unquote(suffix.substr(1));
  if (!mms_handles_.count(handle)) {
    log("MMS delete of unknown handle " + printable(handle));
    return {kError};
  }
  if (!config_.mms.delete_ok) return {kError};
  mms_handles_.erase(handle);
  if (StoredMms* record = recorded_mms(handle)) record->deleted = true;
  log("MMS " + handle + " deleted");
  return {kOk};
}

StoredMms* ModemEngine::recorded_mms(const std::string& handle) {
  for (StoredMms& m : recording_.mms) {
    if (m.handle == handle) return &m;
  }
  return nullptr;
}

// ---- output ------------------------------------------------------------------------------

void ModemEngine::queue_reply(Reply reply, Millis extra_delay, bool drop, std::string before,
                       SimClock::time_point now) {
  if (config_.silent) return;
  SimClock::time_point due =
      std::max(now + config_.reply_delay + reply.delay + extra_delay, last_reply_due_);
  last_reply_due_ = due;
  if (!before.empty()) pending_.emplace(due, Chunk{std::move(before), kTagNone});
  if (!drop && !reply.bytes.empty()) {
    pending_.emplace(due, Chunk{std::move(reply.bytes), reply.tag, true});
  }
  for (Reply::Later& later : reply.later) {
    pending_.emplace(due + later.after, Chunk{std::move(later.bytes), later.tag});
  }
}

void ModemEngine::cancel(int tag) {
  SimClock::time_point last{};
  for (auto it = pending_.begin(); it != pending_.end();) {
    if (it->second.tag == tag) {
      it = pending_.erase(it);
    } else {
      if (it->second.reply) last = std::max(last, it->first);
      ++it;
    }
  }
  // A cancelled answer no longer holds back the replies after it.
  last_reply_due_ = last;
}

void ModemEngine::inject(std::string bytes, SimClock::time_point now) {
  if (bytes.empty()) return;
  pending_.emplace(now, Chunk{std::move(bytes), kTagNone});
}

void ModemEngine::tick(SimClock::time_point now) {
  if (mode_ == Mode::MmsData && now >= mms_deadline_) {
    log("MMS transfer stalled after " + std::to_string(mms_pdu_.size()) + " of " +
        std::to_string(mms_expected_) + " bytes");
    mode_ = Mode::Command;
    mms_pdu_.clear();
    queue_reply({kError}, Millis{0}, false, {}, now);
  }
  if (config_.periodic_interval > Millis{0} && !config_.periodic_bytes.empty()) {
    if (!next_periodic_) next_periodic_ = now + config_.periodic_interval;
    if (now >= *next_periodic_) {
      if (!config_.silent) inject(config_.periodic_bytes, now);
      next_periodic_ = now + config_.periodic_interval;
    }
  } else {
    next_periodic_.reset();
  }
}

std::optional<SimClock::time_point> ModemEngine::next_deadline() const {
  std::optional<SimClock::time_point> next;
  auto consider = [&next](SimClock::time_point t) {
    if (!next || t < *next) next = t;
  };
  if (!pending_.empty()) consider(pending_.begin()->first);
  if (mode_ == Mode::MmsData) consider(mms_deadline_);
  if (next_periodic_) consider(*next_periodic_);
  return next;
}

std::string ModemEngine::take_due(SimClock::time_point now) {
  std::string out;
  while (!pending_.empty() && pending_.begin()->first <= now) {
    out += pending_.begin()->second.bytes;
    pending_.erase(pending_.begin());
  }
  return out;
}

// ---- store -------------------------------------------------------------------------------

int ModemEngine::add_message(StoredMessage message, bool notify, SimClock::time_point now) {
  int index = message.index;
  if (index == 0) {
    for (int i = 1; i <= config_.store_capacity; ++i) {
      if (!store_.count(i)) {
        index = i;
        break;
      }
    }
    if (index == 0) return -1;
  }
  if (index < 1 || index > config_.store_capacity || store_.count(index)) return -1;
  message.index = index;
  if (message.status != "REC READ") message.status = "REC UNREAD";
  store_[index] = std::move(message);
  if (notify && !config_.silent) inject(framed("+CMTI: \"SM\"," + std::to_string(index)), now);
  return index;
}

std::vector<StoredMessage> ModemEngine::messages() const {
  std::vector<StoredMessage> out;
  for (const auto& [index, message] : store_) out.push_back(message);
  return out;
}

}  // namespace qz::sim
