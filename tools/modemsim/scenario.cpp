#include "modemsim/scenario.h"
#include "modemsim/text.h"

#include <cctype>
#include <charconv>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>

namespace qz::sim {
namespace {

std::optional<long> number(std::string_view text, long min, long max) {
  std::string t = trim(text);
  long value = 0;
  auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
  if (t.empty() || ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
  if (value < min || value > max) return std::nullopt;
  return value;
}

// "<first>,<rest>": the first comma splits; the rest may hold more commas.
bool split_first(std::string_view value, std::string& first, std::string& rest) {
  std::size_t comma = value.find(',');
  if (comma == std::string_view::npos) return false;
  first = trim(value.substr(0, comma));
  rest = trim(value.substr(comma + 1));
  return true;
}

constexpr long kMaxMs = 24L * 3600 * 1000;
constexpr long kMaxInt = std::numeric_limits<int>::max();

class Parser {
 public:
  explicit Parser(Scenario& out) : out_(out) {}

  // Empty on success, else what is wrong with the line.
  std::string line(std::string_view key_in, std::string_view value) {
    const std::string key = to_lower(trim(key_in));
    ModemConfig& c = out_.config;

    if (key == "silent") return flag(value, c.silent);
    if (key == "echo") return flag(value, c.echo);
    if (key == "delay") return millis(value, c.reply_delay);
    if (key == "pin") {
      c.pin = trim(value);
      return {};
    }
    if (key == "network") {
      std::string v = to_lower(trim(value));
      if (v == "ok") c.network = NetworkMode::Registered;
      else if (v == "none") c.network = NetworkMode::NoAnswer;
      else if (v == "error") c.network = NetworkMode::Error;
      else return "expected ok, none or error";
      return {};
    }
    if (key == "csq") {
      auto v = number(value, 0, 99);
      if (!v || (*v > 31 && *v != 99)) return "expected a level of 0 to 31 or 99";
      c.signal = static_cast<int>(*v);
      return {};
    }
    if (key == "cfun") return integer(value, 0, 127, c.functionality);
    if (key == "cmgf") return integer(value, 0, 1, c.message_format);
    if (key == "strict_cmgf") return flag(value, c.strict_message_format);
    if (key == "csca") {
      std::string number_text = trim(value);
      std::string type_text;
      std::string first;
      if (split_first(value, first, type_text)) number_text = first;
      if (number_text.size() >= 2 && number_text.front() == '"' && number_text.back() == '"')
        number_text = number_text.substr(1, number_text.size() - 2);
      if (number_text.empty()) return "expected a number";
      c.service_centre = number_text;
      c.service_centre_type = number_text[0] == '+' ? 145 : 129;
      if (!type_text.empty()) return integer(type_text, 0, 255, c.service_centre_type);
      return {};
    }

    if (key == "error") return rule(CommandRule::error(command(value)), value);
    if (key == "drop") return rule(CommandRule::drop(command(value)), value);
    if (key == "ignore") return rule(CommandRule::ignore(command(value)), value);
    if (key == "cme" || key == "cms") {
      std::string cmd, code_text;
      if (!split_first(value, cmd, code_text)) return "expected <command>,<code>";
      auto code = number(code_text, 0, 99999);
      if (!code) return "expected an error code";
      int n = static_cast<int>(*code);
      return rule(key == "cme" ? CommandRule::cme_error(cmd, n) : CommandRule::cms_error(cmd, n),
                  cmd);
    }
    if (key == "reply" || key == "before") {
      std::string cmd, text, bytes;
      if (!split_first(value, cmd, text)) return "expected <command>,<text>";
      if (!decode_escapes(text, bytes)) return "bad escape in text";
      return rule(key == "reply" ? CommandRule::replace(cmd, bytes)
                                 : CommandRule::noise_before(cmd, bytes),
                  cmd);
    }
    if (key == "cmd_delay") {
      std::string cmd, ms_text;
      if (!split_first(value, cmd, ms_text)) return "expected <command>,<ms>";
      auto ms = number(ms_text, 0, kMaxMs);
      if (!ms) return "expected milliseconds";
      return rule(CommandRule::delayed(cmd, Millis(*ms)), cmd);
    }
    if (key == "times") {
      if (c.rules.empty()) return "no rule before this line";
      return integer(value, 0, kMaxInt, c.rules.back().times);
    }

    if (key == "sms") {
      std::string v = to_lower(trim(value));
      if (v == "ok") {
        c.sms.failure = SmsFailure::None;
      } else if (v == "error") {
        c.sms.failure = SmsFailure::Error;
      } else if (v == "cms" || v.rfind("cms:", 0) == 0) {
        c.sms.failure = SmsFailure::CmsError;
        if (v.size() > 4) return integer(v.substr(4), 0, 99999, c.sms.cms_error);
      } else if (v == "noprompt") {
        c.sms.failure = SmsFailure::NoPrompt;
      } else if (v == "noreply") {
        c.sms.failure = SmsFailure::NoReply;
      } else {
        return "expected ok, error, cms[:<code>], noprompt or noreply";
      }
      return {};
    }
    if (key == "sms_times") return integer(value, 0, kMaxInt, c.sms.times);
    if (key == "sms_prompt_delay") return millis(value, c.sms.prompt_delay);
    if (key == "sms_delay") return millis(value, c.sms.submit_delay);

    if (key == "call") {
      std::string v = to_lower(trim(value));
      if (v == "answer") c.call.outcome = CallOutcome::Answer;
      else if (v == "busy") c.call.outcome = CallOutcome::Busy;
      else if (v == "noanswer") c.call.outcome = CallOutcome::NoAnswer;
      else if (v == "nocarrier") c.call.outcome = CallOutcome::NoCarrier;
      else if (v == "never") c.call.outcome = CallOutcome::Never;
      else return "expected answer, busy, noanswer, nocarrier or never";
      return {};
    }
    if (key == "call_times") return integer(value, 0, kMaxInt, c.call.times);
    if (key == "call_delay") return millis(value, c.call.answer_delay);
    if (key == "call_hangup") return millis(value, c.call.hang_up_after);

    if (key == "mms") return flag(value, c.mms.supported);
    if (key == "kmmcnf") return choice(value, "ok", "error", c.mms.configure_ok);
    if (key == "mms_max") return integer(value, 1, kMaxInt, c.mms.max_pdu_size);
    if (key == "mms_store") {
      std::string v = to_lower(trim(value));
      if (v == "ok") c.mms.store = MmsStore::Ok;
      else if (v == "error") c.mms.store = MmsStore::Error;
      else if (v == "noconnect") c.mms.store = MmsStore::NoConnect;
      else if (v == "nohandle") c.mms.store = MmsStore::NoHandle;
      else return "expected ok, error, noconnect or nohandle";
      return {};
    }
    if (key == "mms_handle") {
      bool normal = true;
      std::string problem = choice(value, "normal", "short", normal);
      c.mms.short_handle = !normal;
      return problem;
    }
    if (key == "mms_report") {
      if (to_lower(trim(value)) == "never") {
        c.mms.report_status = -1;
        return {};
      }
      return integer(value, 0, 9, c.mms.report_status);
    }
    if (key == "mms_report_delay") return millis(value, c.mms.report_delay);
    if (key == "mms_delete") return choice(value, "ok", "error", c.mms.delete_ok);
    if (key == "mms_timeout") return millis(value, c.mms.data_timeout);

    if (key == "list_test") {
      std::string v = to_lower(trim(value));
      if (v == "numeric") c.list_test_reply = ListTestReply::Numeric;
      else if (v == "upper") c.list_test_reply = ListTestReply::Upper;
      else if (v == "lower") c.list_test_reply = ListTestReply::Lower;
      else if (v == "error") c.list_test_reply = ListTestReply::Error;
      else return "expected numeric, upper, lower or error";
      return {};
    }
    if (key == "list_forms") {
      ListForms forms{false, false, false};
      std::stringstream parts{std::string(value)};
      std::string part;
      while (std::getline(parts, part, ',')) {
        std::string p = to_lower(trim(part));
        if (p == "numeric") forms.numeric = true;
        else if (p == "upper") forms.upper = true;
        else if (p == "lower") forms.lower = true;
        else if (!p.empty()) return "unknown form '" + p + "'";
      }
      c.list_forms = forms;
      return {};
    }
    if (key == "store_size") return integer(value, 1, 1000, c.store_capacity);
    if (key == "store") return store(value);
    if (key == "inject_every") {
      std::string ms_text, text, bytes;
      if (!split_first(value, ms_text, text)) return "expected <ms>,<text>";
      auto ms = number(ms_text, 1, kMaxMs);
      if (!ms) return "expected milliseconds above 0";
      if (!decode_escapes(text, bytes)) return "bad escape in text";
      c.periodic_interval = Millis(*ms);
      c.periodic_bytes = bytes;
      return {};
    }
    return "unknown key '" + key + "'";
  }

 private:
  static std::string command(std::string_view value) { return trim(value); }

  std::string rule(CommandRule r, std::string_view cmd) {
    if (trim(cmd).empty()) return "expected a command";
    out_.config.rules.push_back(std::move(r));
    return {};
  }

  static std::string flag(std::string_view value, bool& out) {
    std::string v = to_lower(trim(value));
    if (v == "1" || v == "yes" || v == "true" || v == "on") out = true;
    else if (v == "0" || v == "no" || v == "false" || v == "off") out = false;
    else return "expected 0 or 1";
    return {};
  }

  static std::string choice(std::string_view value, const char* yes, const char* no, bool& out) {
    std::string v = to_lower(trim(value));
    if (v == yes) out = true;
    else if (v == no) out = false;
    else return std::string("expected ") + yes + " or " + no;
    return {};
  }

  static std::string integer(std::string_view value, long min, long max, int& out) {
    auto v = number(value, min, max);
    if (!v) return "expected a number from " + std::to_string(min) + " to " + std::to_string(max);
    out = static_cast<int>(*v);
    return {};
  }

  static std::string millis(std::string_view value, Millis& out) {
    auto v = number(value, 0, kMaxMs);
    if (!v) return "expected milliseconds";
    out = Millis(*v);
    return {};
  }

  std::string store(std::string_view value) {
    std::string index_text, rest;
    if (!split_first(value, index_text, rest)) return "expected <index>,\"<sender>\",<text>";
    auto index = number(index_text, 0, 1000);
    if (!index) return "expected an index";
    StoredMessage message;
    message.index = static_cast<int>(*index);
    std::string text;
    if (!rest.empty() && rest[0] == '"') {
      std::size_t close = rest.find('"', 1);
      if (close == std::string::npos) return "sender without closing quote";
      message.sender = rest.substr(1, close - 1);
      std::string after = trim(std::string_view(rest).substr(close + 1));
      if (!after.empty() && after[0] != ',') return "expected a comma after the sender";
      text = after.empty() ? "" : after.substr(1);
    } else if (!split_first(rest, message.sender, text)) {
      return "expected <index>,\"<sender>\",<text>";
    }
    if (!decode_escapes(trim(text), message.text)) return "bad escape in text";
    out_.messages.push_back(std::move(message));
    return {};
  }

  Scenario& out_;
};

}  // namespace

bool decode_escapes(std::string_view text, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\\') {
      out.push_back(c);
      continue;
    }
    if (++i >= text.size()) return false;
    switch (text[i]) {
      case 'r': out.push_back('\r'); break;
      case 'n': out.push_back('\n'); break;
      case 't': out.push_back('\t'); break;
      case 'e': out.push_back('\x1B'); break;
      case 'z': out.push_back('\x1A'); break;
      case '\\': out.push_back('\\'); break;
      case '"': out.push_back('"'); break;
      case 'x': {
        if (i + 2 >= text.size()) return false;
        unsigned value = 0;
        auto [end, ec] = std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
        if (ec != std::errc() || end != text.data() + i + 3) return false;
        out.push_back(static_cast<char>(value));
        i += 2;
        break;
      }
      default:
        return false;
    }
  }
  return true;
}

bool parse_scenario(std::string_view text, Scenario& out, std::string& error) {
  Parser parser(out);
  std::size_t line_number = 0;
  std::size_t pos = 0;
  while (pos <= text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string line = trim(text.substr(pos, end - pos));
    pos = end + 1;
    ++line_number;
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    std::size_t equals = line.find('=');
    if (equals == std::string::npos) {
      error = "line " + std::to_string(line_number) + ": expected key = value";
      return false;
    }
    std::string problem = parser.line(line.substr(0, equals), line.substr(equals + 1));
    if (!problem.empty()) {
      error = "line " + std::to_string(line_number) + ": " + problem;
      return false;
    }
  }
  return true;
}

bool load_scenario(const std::string& path, Scenario& out, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot read " + path;
    return false;
  }
  std::stringstream content;
  content << file.rdbuf();
  if (!parse_scenario(content.str(), out, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

}  // namespace qz::sim
