#include "ui/qt/dialogs/send_sms_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "core/colors.h"
#include "ui/qt/controls/color_label.h"
#include "ui/qt/dialogs/dialog_layout.h"
#include "ui/qt/dialogs/field_widgets.h"
#include "ui/qt/dialogs/text_limit.h"

namespace qz::ui {
namespace {

constexpr QSize kDialogSize(355, 111);
constexpr QSize kCounterSize(69, 15);

}  // namespace

CSendSmsDialog::CSendSmsDialog(SettingsFile& settings_file, QWidget* parent, bool concatenated_sms)
    : QDialog(parent), history_(settings_file), concatenated_sms_(concatenated_sms) {
  setWindowTitle(QStringLiteral("Send SMS"));

  auto* number_label = new QLabel(QStringLiteral("Phone Number :"), this);
  phone_number_ = new QComboBox(this);
  phone_number_->setObjectName(QStringLiteral("phoneNumber"));
  phone_number_->setEditable(true);
  // What is typed is what is sent: no inline completion from the history (a prefix of a
  // stored number would silently become that number) and no entry added on Enter.
  phone_number_->setCompleter(nullptr);
  phone_number_->setInsertPolicy(QComboBox::NoInsert);
  phone_number_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  number_label->setBuddy(phone_number_);

  auto* message_label = new QLabel(QStringLiteral("Message :"), this);
  message_ = new QPlainTextEdit(this);
  message_->setObjectName(QStringLiteral("message"));
  message_->setTabChangesFocus(true);
  message_label->setBuddy(message_);
  AlignWithFirstLine(*message_label, *message_);

  counter_ = new CColorLabel(this);
  counter_->setObjectName(QStringLiteral("counter"));
  counter_->SetFontName(QStringLiteral("LcdD")).SetFontSize(18);
  counter_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  counter_->setIndent(QFontMetrics(counter_->font()).horizontalAdvance(QLatin1Char('0')) / 2);
  // Room for the longest count in whatever face stands in for LcdD.
  counter_->SetText(FromUtf8(WidestSmsCount()));
  counter_->setFixedSize(
      DialogUnitsToPixels(*this, kCounterSize).expandedTo(counter_->minimumSizeHint()));
  counter_->SetText(FromUtf8(CountSmsMessage("", false).text));

  flash_ = new QCheckBox(QStringLiteral("Flash"), this);
  flash_->setObjectName(QStringLiteral("flash"));

  auto* send = new QPushButton(QStringLiteral("Send"), this);
  send->setObjectName(QStringLiteral("send"));
  send->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("cancel"));
  connect(send, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* below_message = new QHBoxLayout;
  below_message->addWidget(flash_);
  below_message->addStretch(1);
  below_message->addWidget(counter_);

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(send);
  buttons->addWidget(cancel);
  buttons->addStretch(1);

  auto* grid = new QGridLayout(this);
  grid->addWidget(number_label, 0, 0);
  grid->addWidget(phone_number_, 0, 1);
  grid->addWidget(message_label, 1, 0, Qt::AlignLeft | Qt::AlignTop);
  grid->addWidget(message_, 1, 1);
  grid->addLayout(below_message, 2, 1);
  grid->addLayout(buttons, 0, 2, 3, 1);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(1, 1);
  // The buttons stand apart from the fields, as on every dialog of the window.
  buttons->setContentsMargins(grid->horizontalSpacing(), 0, 0, 0);

  FillHistory(history_, *phone_number_);
  phone_number_->setCurrentIndex(-1);
  phone_number_->clearEditText();

  KeepWithinLimit(*message_, kMaxMessageLength);
  connect(message_, &QPlainTextEdit::textChanged, this, &CSendSmsDialog::UpdateCounter);

  setTabOrder(phone_number_, message_);
  setTabOrder(message_, flash_);
  setTabOrder(flash_, send);
  setTabOrder(send, cancel);
  phone_number_->setFocus();
  ResizeInDialogUnits(*this, kDialogSize);
}

std::string CSendSmsDialog::PhoneNumber() const {
  return ToGatewayText(phone_number_->currentText());
}

std::string CSendSmsDialog::Message() const {
  return ToUtf8(message_->toPlainText());
}

int CSendSmsDialog::Flash() const { return flash_->isChecked() ? 1 : 0; }

void CSendSmsDialog::accept() {
  // Nothing here can be refused: the edit already keeps the text within its limit.
  QDialog::accept();
  RememberFromBox(history_, *phone_number_);
}

void CSendSmsDialog::UpdateCounter() {
  const SmsCounter count = CountSmsMessage(Message(), concatenated_sms_);
  counter_->SetText(FromUtf8(count.text));
  if (count.over)
    counter_->SetTextColour(kRed);
  else
    counter_->SetSystemTextColour();
}

}  // namespace qz::ui
