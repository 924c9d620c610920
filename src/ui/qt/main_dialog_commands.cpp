#include "ui/qt/main_dialog_commands.h"

#include <QApplication>
#include <QPushButton>

#include "core/colors.h"
#include "gateway/gateway.h"
#include "modem/mms_sender.h"
#include "modem/sms.h"
#include "ui/qt/dialogs/send_mms_dialog.h"
#include "ui/qt/dialogs/send_sms_dialog.h"
#include "ui/qt/dialogs/settings_sheet.h"
#include "ui/qt/dialogs/smsc_dialog.h"
#include "ui/qt/main_dialog.h"

namespace qz::ui {

namespace {

// The capacity of the service-centre number the modem is given.
constexpr std::size_t kServiceCentreCapacity = 128;

void post_send_result(GatewayLog& log, int result, const std::string& number) {
  // Window only: the services log their own failures to the daily log.
  if (result >= 0) log.PostWindowLine(nullptr, "Message sent to " + number, kGreen);
  else log.PostWindowLine(nullptr, "ERROR sending to " + number, kRed);
}

}  // namespace

void MainDialogCommands::RunOffTheWindowThread(std::function<void()> work) {
  CMainDialog& w = window_;
  // A stop may have begun while the operator's dialog was open: nothing new starts then.
  if (w.stopping_ || w.operator_busy_.exchange(true)) return;
  w.EnableSendButtons(false);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  if (w.operator_thread_.joinable()) w.operator_thread_.join();
  w.operator_thread_ = std::thread([&w, work = std::move(work)] {
    work();
    QMetaObject::invokeMethod(&w, [&w] {
      QApplication::restoreOverrideCursor();
      if (!w.stopping_) w.EnableSendButtons(true);
      w.operator_busy_ = false;
    }, Qt::QueuedConnection);
  });
}

void MainDialogCommands::SendSms() {
  Gateway& g = window_.gateway_;
  CSendSmsDialog dialog(g.settings_file, &window_, g.settings.ConcatenatedSMS != 0);
  if (dialog.exec() != QDialog::Accepted) return;
  RunOffTheWindowThread([&g, number = dialog.PhoneNumber(), text = dialog.Message(), flash = dialog.Flash()] {
    post_send_result(g.log, send_sms(g.link, number, text, flash, TextCoding::kUtf8), number);
  });
}

void MainDialogCommands::SendMms() {
  Gateway& g = window_.gateway_;
  CSendMmsDialog dialog(g.settings_file, &window_);
  if (dialog.exec() != QDialog::Accepted) return;
  MmsFileList files;
  files[0] = dialog.ImagePath();
  files[1] = dialog.AudioPath();
  RunOffTheWindowThread([&g, number = dialog.PhoneNumber(), files, subject = dialog.Subject(),
                         text = dialog.Text()] {
    post_send_result(g.log, send_mms(g.link, number, files, subject, text), number);
  });
}

void MainDialogCommands::ChangeSmsc() {
  Gateway& g = window_.gateway_;
  CSmscDialog dialog(window_.view_.service_centre_number(), window_.view_.service_centre_type(), &window_);
  if (dialog.exec() != QDialog::Accepted) return;
  std::string number = dialog.Number().substr(0, kServiceCentreCapacity - 1);
  int32_t plan = dialog.NumberingPlan();
  RunOffTheWindowThread([&g, number, plan] {
    g.link.set_service_centre(number, plan);
    set_smsc(g.link);  // logs its own lines
  });
}

void MainDialogCommands::OpenSettings() {
  Gateway& g = window_.gateway_;
  // The sheet edits what the file holds, not the running record: the worker threads read
  // that without a lock (a text rewritten under them could be read half-changed), and
  // before the start has read the file it holds no settings at all. The gateway takes the
  // new values at the restart the sheet asks for.
  Settings edited;
  LoadSettings(g.settings_file, edited);
  CSettingsSheet sheet(edited, g.settings_file, g.log, &window_);
  sheet.exec();
}

}  // namespace qz::ui
