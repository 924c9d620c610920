#include "headless.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "core/colors.h"
#include "core/settings.h"
#include "core/error_box.h"
#include "gateway/folder_claims.h"
#include "core/service_manager.h"
#include "core/this_process.h"
#include "gateway/front_end_view.h"
#include "gateway/gateway.h"
#include "gateway/headless_wait.h"
#include "gateway/orderly_stop.h"
#include "gateway/processor_rule.h"
#include "gateway/program_options.h"
#include "gateway/startup_report.h"
#include "gateway/status_check.h"
#include "gateway/status_file.h"
#include "core/window_sink.h"
#include "service_commands.h"
#include "service_watch.h"

namespace {

// Without a window there is nobody to close a box: report-table errors become red lines.
class RedLineErrorBox : public qz::ErrorBox {
 public:
  explicit RedLineErrorBox(qz::GatewayLog& log) : log_(log) {}
  void show(const std::string& title, const std::string& text) override {
    log_.Log(title + ": " + text, qz::kRed);
  }

 private:
  qz::GatewayLog& log_;
};

const char* ansi_color(qz::Color c) {
  switch (c) {
    case qz::kRed: return "\033[31m";
    case qz::kGreen: return "\033[32m";
    case qz::kBlue: return "\033[34m";
    case qz::kGrey: return "\033[90m";
    default: return "";
  }
}

// How lines look on standard output: in color on a terminal; in the journal with the
// priority prefix of sd-daemon(3), so `journalctl -p err` shows the red lines, which are
// the log's errors and warnings alike; plain elsewhere.
struct Output {
  bool color = qz::standard_output_is_terminal();
  bool journal = qz::standard_output_is_journal();
};

void print_line(const std::string& text, qz::Color c, const Output& out) {
  if (out.journal) {
    std::printf("%s%s\n", c == qz::kRed ? "<3>" : "<6>", text.c_str());
  } else if (out.color && *ansi_color(c)) {
    std::printf("%s%s\033[0m\n", ansi_color(c), text.c_str());
  } else {
    std::printf("%s\n", text.c_str());
  }
}

void print_pending_lines(qz::FrontEndView& view, const Output& out, ServiceWatch* watch = nullptr) {
  while (auto line = view.take_pending_line()) {
    print_line(line->text, line->color, out);
    if (watch != nullptr) watch->line_printed(line->text, line->color);
  }
  std::fflush(stdout);
}

const qz::ProgramDescription kProgram{
    "qzgsmsd",
    "The qzgsms alarm gateway without a window: delivers the alarm of each job file that\n"
    "arrives in its watch folder through the GSM modem on its serial port, reports it in\n"
    "the scenario's table and files the job. Window-log lines go to standard output.",
    qz::kOptionHelp | qz::kOptionVersion | qz::kOptionInstance | qz::kOptionCheck | qz::kOptionStatus |
        qz::kOptionService};

// Started from Explorer in a folder without settings (the program's own, most likely), the
// gateway would write its settings there and, with no modem on the default port, close its
// window a minute later with nobody the wiser. It says what it needs instead.
int explain_double_click() {
  std::printf(
      "qzgsmsd is the qzgsms alarm gateway without a window. It runs in an instance folder,\n"
      "which holds its settings, QZGSMS.INI; there are none here (%s).\n"
      "\n"
      "Run it from a command prompt, with its instance folder:\n"
      "    qzgsmsd --instance C:\\qzt\\qzgsms\n"
      "or register it as a Windows service, in a command prompt opened as administrator:\n"
      "    qzgsmsd --install-service default --instance C:\\qzt\\qzgsms\n"
      "\n"
      "qzgsmsd --help lists the options; docs\\windows.txt beside the program tells more.\n"
      "\n"
      "Press a key to close this window.\n",
      std::filesystem::current_path().string().c_str());
  std::fflush(stdout);
  qz::wait_for_key();
  return 1;
}

}  // namespace

int qzgsmsd_main(int argc, char** argv) {
  qz::ProgramOptions options;
  if (auto code = qz::handle_program_options(kProgram, argc, argv, options)) return *code;
  if (options.action == qz::ProgramOptions::Action::kCheck) return run_settings_check();
  if (options.action == qz::ProgramOptions::Action::kStatus) return run_status_check(options.json);
  if (options.action == qz::ProgramOptions::Action::kInstallService) return run_install_service(options.service);
  if (options.action == qz::ProgramOptions::Action::kRemoveService) return run_remove_service(options.service);
  if (options.action == qz::ProgramOptions::Action::kRunService) return run_service(options.service);
  if (options.instance.empty() && qz::console_is_own()) {
    std::error_code ec;
    if (!std::filesystem::exists(qz::SettingsFile(std::filesystem::current_path()).path(), ec)) {
      return explain_double_click();
    }
  }
  return run_headless_gateway();
}

int run_settings_check() {
  const Output out;
  qz::InstanceCheck check = qz::check_instance(std::filesystem::current_path());
  for (const std::string& line : check.summary) print_line(line, qz::kBlack, out);
  for (const qz::SettingsFinding& finding : check.findings) {
    print_line(finding.text, finding.problem ? qz::kRed : qz::kBlack, out);
  }
  const int problems = check.problems();
  if (problems == 0) print_line("No problem found", qz::kBlack, out);
  else print_line(std::to_string(problems) + (problems == 1 ? " problem" : " problems") + " found", qz::kRed, out);
  std::fflush(stdout);
  return problems == 0 ? 0 : 1;
}

int run_status_check(bool json) {
  qz::StatusAnswer answer = qz::check_status(std::filesystem::current_path());
  std::fputs((json ? answer.json : answer.text).c_str(), stdout);
  std::fflush(stdout);
  return answer.exit_code;
}

int run_headless_gateway() {
  const Output out;
  // Before anything in the instance folder is read or written: a second gateway on it
  // would fire false technical alarms and write into the running one's settings.
  static qz::InstanceClaim claim = qz::claim_instance_folder(std::filesystem::current_path());
  if (!claim.refusal.empty()) {
    print_line(claim.refusal, qz::kRed, out);
    std::fflush(stdout);
    return 1;
  }
  if (!claim.warning.empty()) print_line(claim.warning, qz::kRed, out);

  // Worker threads only notify it; this thread, which plays the part of the window,
  // reads the shared tables. Made before any thread starts, as it takes the stop signals.
  static qz::HeadlessWait wait;

  static qz::Gateway gateway(std::filesystem::current_path());
  qz::apply_processor_rule(gateway.log);
  static RedLineErrorBox error_box(gateway.log);
  gateway.set_error_box(&error_box);
  qz::FrontEndView view(gateway);

  ServiceWatch watch(gateway);
  // Set once the start has succeeded; the loop below tells the service manager.
  static std::atomic<bool> started{false};
  std::thread startup([] {
    if (!qz::init_gsms(gateway, &wait)) return;
    started = true;
    wait.notify(qz::kNotifyLogLine);  // wakes the loop
  });
  startup.detach();

  // The orderly stop runs beside the loop below, which goes on printing what it says.
  bool stop_asked = false;
  qz::StatusFileWriter status(qz::current_process_id());
  bool ready = false;
  for (;;) {
    status.write_when_due(gateway);
    // The status file is due every few seconds whatever happens: a long call or MMS posts
    // no line for minutes, and a status that old reads as a hung gateway.
    const int watch_wait = watch.timeout_ms();
    qz::HeadlessWait::Woken woken = wait.wait(watch_wait < 0 ? status.wait_ms() : std::min(status.wait_ms(), watch_wait));
    if (!woken.notified.empty()) {
      if (std::find(woken.notified.begin(), woken.notified.end(), qz::kNotifySignal) != woken.notified.end()) {
        watch.signal_read();
      }
      print_pending_lines(view, out, &watch);
    }
    if (!ready && started) {
      ready = true;
      // Before the service manager hears of it: a monitoring check asked at once finds
      // the modem up.
      status.write(gateway, false);
      watch.started();
    }
    if (auto notice = watch.tick()) {
      print_line(notice->text, notice->color, out);
      std::fflush(stdout);
    }
    if (woken.stop_done) break;
    if (woken.stop_signal) {
      // A second signal while stopping means: now.
      if (stop_asked) break;
      stop_asked = true;
      watch.stopping();
      std::thread([] {
        qz::stop_in_order(gateway);
        wait.stop_done();
      }).detach();
    }
  }
  gateway.log.Log("Stopped", qz::kBlack);
  status.write(gateway, true);
  print_pending_lines(view, out);
  // Also after the stop limit or a second signal: a call still up is hung up first.
  qz::end_gateway_process(gateway, 0);
}
