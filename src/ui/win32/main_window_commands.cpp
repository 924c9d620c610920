// What the main window's send buttons and the settings button do. Each opens its dialog on
// the window's thread; when it closes with its confirming button, the modem service runs
// on a thread of its own, so a send that waits behind a job in progress shows a wait
// cursor instead of freezing the window, which keeps showing what the gateway reports.
#include "core/colors.h"
#include "gateway/gateway.h"
#include "modem/mms_sender.h"
#include "modem/sms.h"
#include "ui/win32/main_window.h"
#include "ui/win32/send_dialogs.h"

namespace qz::ui::win32 {
namespace {

// The capacity of the service-centre number the modem is given.
constexpr std::size_t kServiceCentreCapacity = 128;

void post_send_result(GatewayLog& log, int result, const std::string& number) {
  // Window only: the services log their own failures to the daily log.
  if (result >= 0)
    log.PostWindowLine(nullptr, "Message sent to " + number, kGreen);
  else
    log.PostWindowLine(nullptr, "ERROR sending to " + number, kRed);
}

}  // namespace

void CMainDialog::RunOffTheWindowThread(std::function<void()> work) {
  // A stop may have begun while the operator's dialog was open: nothing new starts then.
  if (stopping_ || operator_busy_.exchange(true)) return;
  EnableSendButtons(false);
  if (operator_thread_.joinable()) operator_thread_.join();
  operator_thread_ = std::thread([this, work = std::move(work)] {
    work();
    PostMessageW(window_, kOperatorDoneMessage, 0, 0);
  });
}

void CMainDialog::SendSms() {
  Gateway& g = gateway_;
  const auto sms = RunSendSmsDialog(window_, g.settings_file, g.settings.ConcatenatedSMS != 0);
  if (!sms) return;
  RunOffTheWindowThread([&g, sms = *sms] {
    post_send_result(g.log, send_sms(g.link, sms.number, sms.message, sms.flash, TextCoding::kUtf8), sms.number);
  });
}

void CMainDialog::SendMms() {
  Gateway& g = gateway_;
  const auto mms = RunSendMmsDialog(window_, g.settings_file);
  if (!mms) return;
  MmsFileList files;
  files[0] = mms->image_path;
  files[1] = mms->audio_path;
  RunOffTheWindowThread([&g, mms = *mms, files] {
    post_send_result(g.log, send_mms(g.link, mms.number, files, mms.subject, mms.text), mms.number);
  });
}

void CMainDialog::ChangeSmsc() {
  Gateway& g = gateway_;
  const auto centre = RunSmscDialog(window_, {view_.service_centre_number(), view_.service_centre_type()});
  if (!centre) return;
  RunOffTheWindowThread([&g, number = centre->number.substr(0, kServiceCentreCapacity - 1), plan = centre->numbering_plan] {
    g.link.set_service_centre(number, plan);
    set_smsc(g.link);  // logs its own lines
  });
}

void CMainDialog::OpenSettings() {
  // The sheet edits what the file holds, not the running record, which the worker threads
  // read without a lock; the gateway takes the new values at the restart the sheet asks for.
  Settings edited;
  LoadSettings(gateway_.settings_file, edited);
  RunSettingsSheet(window_, edited, gateway_.settings_file, gateway_.log);
}

}  // namespace qz::ui::win32
