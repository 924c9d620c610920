// Pictures of the operator window for review: the real window with its real gateway on
// the simulated modem, a job being sent beside cells in each other state, a mid-level
// signal, then each dialog.
// Run under a display (scripts/screenshot.sh starts one with Xvfb):
//   qzgsms-screenshots OUTPUT_FOLDER
#include <QApplication>
#include <QDialog>
#include <QTabWidget>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "gateway/gateway.h"
#include "modemsim/modem_simulator.h"
#include "ui/qt/about_dialog.h"
#include "ui/qt/dialogs/send_mms_dialog.h"
#include "ui/qt/dialogs/send_sms_dialog.h"
#include "ui/qt/dialogs/settings_sheet.h"
#include "ui/qt/dialogs/smsc_dialog.h"
#include "ui/qt/main_dialog.h"
#include "ui/qt/window_images.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

void write(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

bool process_until(const std::function<bool()>& done, std::chrono::seconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

void settle() { process_until([] { return false; }, 1s); }

bool save(QWidget& widget, const fs::path& file) {
  widget.show();
  widget.raise();
  settle();
  bool ok = widget.grab().save(QString::fromStdString(file.string()));
  std::printf("%s %s\n", ok ? "wrote" : "could not write", file.c_str());
  return ok;
}

std::string job(int i, const std::string& name, const std::string& text) {
  return "[Alarm]\r\nSzenario=plant\r\nName=" + name + "\r\nPhoneNumber=+4179555" + std::to_string(1000 + i) +
         "\r\nMessage=" + text + "\r\nAlarmKey=" + std::to_string(100 + i) + "\r\ndbentry=" + std::to_string(i) +
         "\r\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  QApplication::setWindowIcon(qz::ui::ApplicationIcon());
  fs::path out = fs::absolute(argv[1]);
  fs::create_directories(out);

  char pattern[] = "/tmp/qzgsms-screenshots-XXXXXX";
  fs::path folder = mkdtemp(pattern);
  fs::create_directories(folder / "log");
  fs::create_directories(folder / "jobs");
  fs::create_directories(folder / "tables");

  // A modem with a middling signal that takes its time over each SMS, so jobs are in
  // progress when the picture is taken.
  qz::sim::ModemSimulator modem;
  modem.configure([](qz::sim::ModemConfig& c) {
    c.signal = 17;
    c.sms.submit_delay = 20s;
  });
  write(folder / "qzalarm.ini", "[qzasms]\nSendWithQzgsms=1\n");
  write(folder / "QZGSMS.INI", "[Config]\nPort=" + modem.slave_path() +
                                    "\nWatchPath=jobs\nDonePath=done\nErrorPath=error\nWatchLogPath=tables\n"
                                    "IncomingEnable=0\nQualityPollEverySecs=1\nNumber=+41790000000\n"
                                    "[LastPhoneNums]\n1=+41791234567\n2=+41797654321\n3=0445551234\n");

  static qz::Gateway gateway(folder);
  qz::ui::CMainDialog window(gateway);
  window.show();
  if (!process_until([&] { return window.Gauge() && window.StatusLine() && gateway.link.SignalLevel.load() == 17; },
                     60s)) {
    std::fprintf(stderr, "the gateway did not come up\n");
  }
  // One job really being sent; the cells beside it show the other states of a job, labelled
  // as the gateway labels them, so one picture has a cell in each.
  write(folder / "jobs" / "a0.part", job(0, "Ann Meier", "Boiler 1: pressure low"));
  fs::rename(folder / "jobs" / "a0.part", folder / "jobs" / "a0.sms");
  process_until([&] { return window.CellImageIndex(0) == qz::kCellSending; }, 30s);
  gateway.jobs.show_job_cell(1, qz::kCellWaitingForRetry, "next try 14:32:05 alarm 101 to Bruno Keller");
  gateway.jobs.show_job_cell(2, qz::kCellFailed, "failed alarm 102 to Carla Rossi");
  gateway.jobs.show_job_cell(3, qz::kCellSent, "sent alarm 103 to Dario Weber");
  gateway.log.PostWindowLine(nullptr, "Message sent to +41795551003", qz::kGreen);
  settle();
  bool ok = save(window, out / "main-window.png");

  qz::ui::CSendSmsDialog sms(gateway.settings_file, &window);
  ok = save(sms, out / "send-sms.png") && ok;
  sms.hide();
  qz::ui::CSendMmsDialog mms(gateway.settings_file, &window);
  ok = save(mms, out / "send-mms.png") && ok;
  mms.hide();
  qz::ui::CSmscDialog smsc(gateway.link.service_centre_number(), gateway.link.service_centre_type(), &window);
  ok = save(smsc, out / "change-smsc.png") && ok;
  smsc.hide();
  qz::Settings edited = gateway.settings;
  qz::ui::CSettingsSheet sheet(edited, gateway.settings_file, gateway.log, &window);
  ok = save(sheet, out / "settings-global.png") && ok;
  if (auto* tabs = sheet.findChild<QTabWidget*>()) tabs->setCurrentIndex(1);
  ok = save(sheet, out / "settings-mms.png") && ok;
  sheet.hide();
  qz::ui::CAboutDialog about(&window);
  ok = save(about, out / "about.png") && ok;

  std::fflush(stdout);
  fs::remove_all(folder);
  // The gateway's threads are not joined, as in the program itself.
  _exit(ok ? 0 : 1);
}
