// Send SMS: one text to one number, typed by the operator. The dialog only collects what
// to send; after it closes with Send, the window hands the values to send_sms.
#pragma once

#include <QDialog>
#include <string>

#include "ui/phone_number_history.h"
#include "ui/send_fields.h"

class QCheckBox;
class QComboBox;
class QPlainTextEdit;

namespace qz {
class SettingsFile;
}

namespace qz::ui {

class CColorLabel;

class CSendSmsDialog : public QDialog {
  Q_OBJECT

 public:
  // The message edit takes no more than this many characters.
  static constexpr int kMaxMessageLength = kMaxSmsMessage;
  // The phone-number history is read from, and after Send written to, `settings_file`.
  // `concatenated_sms`: the gateway joins the parts of a long text on the phone
  // (ConcatenatedSMS), which leaves less room in each part for the counter.
  explicit CSendSmsDialog(SettingsFile& settings_file, QWidget* parent = nullptr,
                          bool concatenated_sms = false);

  // The values as they stand (after Send: as sent). The number is passed on as entered,
  // unchecked, in the gateway's 8-bit text; the message is UTF-8, for send_sms to code
  // in the GSM alphabet or UCS-2.
  std::string PhoneNumber() const;
  std::string Message() const;
  int Flash() const;

 public slots:
  // Send: closes the dialog as confirmed, then records the number in the history.
  void accept() override;

 private:
  void UpdateCounter();

  PhoneNumberHistory history_;
  const bool concatenated_sms_;
  QComboBox* phone_number_ = nullptr;
  QPlainTextEdit* message_ = nullptr;
  CColorLabel* counter_ = nullptr;
  QCheckBox* flash_ = nullptr;
};

}  // namespace qz::ui
