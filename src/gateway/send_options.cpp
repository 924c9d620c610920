#include "gateway/send_options.h"

#include <charconv>
#include <cstdint>

namespace qz {

namespace {

SendOptions usage_error(std::string text) {
  SendOptions options;
  options.action = SendOptions::Action::kUsageError;
  options.error = std::move(text);
  return options;
}

std::optional<int> number_in(const std::string& text, int lowest, int highest) {
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < lowest || value > highest) return std::nullopt;
  return value;
}

}  // namespace

SendOptions parse_send_options(const std::vector<std::string>& args) {
  SendOptions o;
  bool help = false, version = false, voice = false, entry_given = false;
  bool scenario_given = false, subject_given = false, name_given = false, instance_given = false;
  std::vector<std::string> positional;
  bool options_end = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    // /? is how Windows asks a command for its help; later, it is a TEXT.
    const bool windows_help = arg == "/?" && positional.empty() && !options_end;
    if (!windows_help && (options_end || arg == "-" || arg.empty() || arg.front() != '-')) {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_end = true;
      continue;
    }
    const std::size_t eq = arg.find('=');
    const std::string option = arg.substr(0, eq);
    // The option's value: after '=' or the next argument. nullopt when there is none.
    auto value = [&]() -> std::optional<std::string> {
      if (eq != std::string::npos) return arg.substr(eq + 1);
      if (i + 1 >= args.size()) return std::nullopt;
      return args[++i];
    };
    // A text option, once, with a value.
    auto text = [&](bool& given, std::string& into, const char* what) -> std::optional<std::string> {
      if (given) return option + " given twice";
      given = true;
      std::optional<std::string> v = value();
      if (!v || v->empty()) return option + " needs " + what;
      into = *v;
      return std::nullopt;
    };
    std::optional<std::string> problem;
    if ((option == "--help" || option == "-h" || option == "/?") && eq == std::string::npos) {
      help = true;
    } else if ((option == "--version" || option == "-V") && eq == std::string::npos) {
      version = true;
    } else if (option == "--voice" && eq == std::string::npos) {
      voice = true;
    } else if (option == "--flash" && eq == std::string::npos) {
      o.request.flash = true;
    } else if (option == "--wait") {
      if (o.wait) return usage_error("--wait given twice");
      o.wait = true;
      if (eq != std::string::npos) {
        o.wait_seconds = number_in(arg.substr(eq + 1), 1, kLongestWaitSeconds);
        if (!o.wait_seconds) return usage_error("--wait=SECONDS takes 1 to " + std::to_string(kLongestWaitSeconds));
      }
    } else if (option == "--instance") {
      problem = text(instance_given, o.instance, "a folder: --instance DIR");
    } else if (option == "--scenario") {
      problem = text(scenario_given, o.request.scenario, "a scenario: --scenario S");
    } else if (option == "--name") {
      problem = text(name_given, o.request.name, "a name: --name NAME");
    } else if (option == "--subject") {
      problem = text(subject_given, o.request.subject, "a subject: --subject S");
    } else if (option == "--entry") {
      if (entry_given) return usage_error("--entry given twice");
      entry_given = true;
      std::optional<std::string> v = value();
      std::optional<int> row = v ? number_in(*v, 0, INT32_MAX) : std::nullopt;
      if (!row) return usage_error("--entry needs the row of the report table, 0 or more: --entry N");
      o.request.entry = *row;
    } else if (option == "--mms") {
      std::optional<std::string> v = value();
      if (!v || v->empty()) return usage_error("--mms needs a file: --mms FILE");
      o.files.push_back(*v);
    } else {
      return usage_error("unknown option '" + arg + "'");
    }
    if (problem) return usage_error(*problem);
  }
  if (help || version) {
    o.action = help ? SendOptions::Action::kHelp : SendOptions::Action::kVersion;
    return o;
  }
  if (voice && !o.files.empty()) return usage_error("--voice and --mms: one alarm is a call or an MMS");
  if (subject_given && o.files.empty()) return usage_error("--subject goes with --mms");
  if (o.request.flash && (voice || !o.files.empty())) return usage_error("--flash is for an SMS");
  if (scenario_given != entry_given) return usage_error("--scenario and --entry go together: --scenario S --entry N");
  if (positional.empty()) return usage_error("no NUMBER to send to");
  if (positional.size() > 2) return usage_error("unexpected argument '" + positional[2] + "' (a TEXT of several words goes in quotes)");
  o.request.channel = voice ? JobChannel::kVoiceCall : !o.files.empty() ? JobChannel::kMms : JobChannel::kSms;
  o.request.number = positional[0];
  if (positional.size() == 2) {
    o.text_from_input = positional[1] == "-";
    if (!o.text_from_input) o.request.text = positional[1];
  }
  return o;
}

std::string send_help() {
  return
      "Usage: qzgsms-send [--instance DIR] [--voice | --mms FILE... [--subject S]] [--flash]\n"
      "                   [--scenario S --entry N] [--name NAME] [--wait[=SECONDS]] NUMBER [TEXT | -]\n"
      "\n"
      "Queues one alarm for the qzgsms gateway of an instance folder: an SMS with TEXT to\n"
      "NUMBER (TEXT - reads it from standard input), a voice call or an MMS. It writes one job\n"
      "file into the gateway's watch folder and prints its name; with --wait it waits for the\n"
      "outcome.\n"
      "\n"
      "Options:\n"
      "  --instance DIR    the gateway's instance folder (default: the current folder)\n"
      "  --voice           a voice call instead of an SMS (needs --scenario and --entry)\n"
      "  --mms FILE        an MMS with FILE attached (.jpg, .jpeg, .amr, .3gp); again for\n"
      "                    more files, up to 20 (needs --scenario and --entry)\n"
      "  --subject S       the MMS's subject\n"
      "  --flash           a flash SMS: shown at once, not stored by the phone\n"
      "  --scenario S      the alarm's scenario: its outcome goes into row N (from 0) of the\n"
      "  --entry N         report table S.dbf, and a failed send is tried again; without them\n"
      "                    the text goes out once, as a mini-message\n"
      "  --name NAME       the subscriber's name, shown in the operator window\n"
      "  --wait[=SECONDS]  wait for the outcome (default: as long as the gateway's tries of\n"
      "                    this job may take)\n"
      "  -h, --help        show this help and end\n"
      "  -V, --version     show the version and end\n"
      "  --                the end of the options: a TEXT beginning with '-' may follow\n"
      "\n"
      "Exit codes: 0 queued (with --wait: sent); 1 with --wait: failed; 2 nothing queued (a\n"
      "wrong command line, a request the gateway would refuse, a folder that may not be\n"
      "written); 3 with --wait: no outcome in time, or no gateway holds the watch folder (the\n"
      "job stays queued).\n";
}

}  // namespace qz
