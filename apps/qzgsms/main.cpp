// qzgsms: the gateway with its operator window. It runs in its current folder (the
// instance folder, or the one --instance names), like qzgsmsd; the window's first timer
// tick starts the gateway, and closing the window stops it in an orderly way and ends the
// program.
#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <string_view>
#include <vector>

#include "core/this_process.h"
#include "gateway/folder_claims.h"
#include "gateway/gateway.h"
#include "gateway/orderly_stop.h"
#include "gateway/processor_rule.h"
#include "gateway/program_options.h"
#include "gateway/status_file.h"
#include "gateway/stop_signals.h"
#include "ui/qt/main_dialog.h"
#include "ui/qt/window_error_box.h"
#include "ui/qt/window_images.h"

namespace {

const qz::ProgramDescription kProgram{
    "qzgsms",
    "The alarm gateway with its operator window: it delivers the jobs dropped into the watch\n"
    "folder through the GSM modem, shows them, the log and the signal, and sends by hand.\n"
    "Qt's own options (-platform, -style, ...) are passed to the toolkit.",
    qz::kOptionHelp | qz::kOptionVersion | qz::kOptionInstance};

// Our options are long ones (and -h, -V); Qt's own take one dash. They are told apart before
// the toolkit starts, so --help and --version answer even where no display is.
bool is_our_option(std::string_view arg) { return arg.starts_with("--") || arg == "-h" || arg == "-V"; }

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> ours{argv[0]};
  std::vector<char*> toolkit{argv[0]};
  for (int i = 1; i < argc; ++i) {
    if (is_our_option(argv[i])) {
      ours.push_back(argv[i]);
      if (std::string_view(argv[i]) == "--instance" && i + 1 < argc) ours.push_back(argv[++i]);
    } else {
      toolkit.push_back(argv[i]);
    }
  }
  qz::ProgramOptions options;
  if (auto code = qz::handle_program_options(kProgram, static_cast<int>(ours.size()), ours.data(), options)) {
    return *code;
  }
  int toolkit_argc = static_cast<int>(toolkit.size());
  toolkit.push_back(nullptr);

  // Before anything in the instance folder is read or written: a second gateway on it
  // would fire false technical alarms and write into the running one's settings. Before
  // the stop signals are taken, so that a stop ends the box as well.
  static qz::InstanceClaim claim = qz::claim_instance_folder(std::filesystem::current_path());
  if (!claim.refusal.empty()) {
    std::printf("%s\n", claim.refusal.c_str());
    std::fflush(stdout);
    QApplication app(toolkit_argc, toolkit.data());
    QMessageBox::critical(nullptr, QStringLiteral("Quazel GSM/SMS/MMS"), QString::fromStdString(claim.refusal));
    return 1;
  }
  if (!claim.warning.empty()) std::printf("%s\n", claim.warning.c_str());

  // The stop signals (SIGTERM, SIGINT, SIGHUP, SIGQUIT) close the window, which stops the
  // gateway in an orderly way. They are taken before any thread starts, so only the
  // descriptor sees them.
  static qz::StopSignals stop_signals = qz::StopSignals::take();
  QApplication app(toolkit_argc, toolkit.data());
  if (toolkit_argc > 1) {
    // What the toolkit did not take is neither its option nor ours.
    std::fprintf(stderr, "qzgsms: unexpected argument '%s'\nTry 'qzgsms --help'.\n", toolkit[1]);
    return qz::kExitUsage;
  }
  QApplication::setWindowIcon(qz::ui::ApplicationIcon());

  // Never destroyed: worker threads may still be about when the program ends.
  static qz::Gateway gateway(std::filesystem::current_path());
  qz::apply_processor_rule(gateway.log);

  // Listening starts before the window is built: building it may ask the operator a
  // question, and a stop must end the program then too.
  qz::ui::CMainDialog* window = nullptr;
  QSocketNotifier stop_requests(static_cast<qintptr>(stop_signals.native_handle()), QSocketNotifier::Read);
  int signals_seen = 0;
  QObject::connect(&stop_requests, &QSocketNotifier::activated, [&] {
    while (stop_signals.take_one()) ++signals_seen;
    // Before the window stands the gateway has not started: nothing to stop. A second
    // signal while stopping means: now.
    if (window == nullptr || signals_seen > 1) qz::end_gateway_process(gateway, 0);
    window->close();
  });

  window = new qz::ui::CMainDialog(gateway);
  static qz::ui::WindowErrorBox error_box(window);
  gateway.set_error_box(&error_box);
  window->show();
  // The status file for qzgsmsd --status, written on the window's thread like the
  // headless gateway's: now, then whenever it is due, and once more at the stop.
  static qz::StatusFileWriter status(qz::current_process_id());
  QTimer status_timer;
  QObject::connect(&status_timer, &QTimer::timeout, [&] {
    status.write_when_due(gateway);
    status_timer.start(status.wait_ms());
  });
  status_timer.setSingleShot(true);
  status_timer.start(0);
  QObject::connect(window, &qz::ui::CMainDialog::Stopped, [&] { status.write(gateway, true); });
  QObject::connect(window, &qz::ui::CMainDialog::Stopped, &app, &QApplication::quit);

  int code = app.exec();
  // Also after the stop limit ran out: a call still up is hung up first.
  qz::end_gateway_process(gateway, code);
}
