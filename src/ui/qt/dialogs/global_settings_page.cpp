#include "ui/qt/dialogs/global_settings_page.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <algorithm>

#include "core/settings.h"
#include "ui/qt/dialogs/dialog_layout.h"
#include "ui/qt/dialogs/field_widgets.h"
#include "ui/window_texts.h"

namespace qz::ui {
namespace {

constexpr int kTextFieldWidth = 120;   // dialog units
constexpr int kNumberFieldWidth = 40;  // dialog units

QStringList ListOf(const std::vector<std::string>& items) {
  QStringList list;
  for (const std::string& item : items) list << FromUtf8(item);
  return list;
}

}  // namespace

CGlobalSettingsPage::CGlobalSettingsPage(const Settings& settings,
                                         const std::vector<std::string>& serial_ports,
                                         QWidget* parent)
    : QWidget(parent) {
  const GlobalSettingsFields shown = GlobalFieldsOf(settings, &mode_);
  const int text_width = DialogUnitsToPixels(*this, QSize(kTextFieldWidth, 0)).width();
  // Room for the longest 32-bit number on any font, and never narrower than the units say.
  const int number_width =
      std::max(DialogUnitsToPixels(*this, QSize(kNumberFieldWidth, 0)).width(),
               fontMetrics().horizontalAdvance(QStringLiteral("-2147483648")) + 16);  // + frame

  auto text_field = [&](const char* name, std::size_t capacity, const std::string& value) {
    auto* field = new QLineEdit(this);
    field->setObjectName(QLatin1String(name));
    field->setMaxLength(static_cast<int>(capacity - 1));
    field->setText(FromUtf8(value));
    field->setFixedWidth(text_width);
    return field;
  };
  auto number_field = [&](const char* name, const std::string& value) {
    auto* field = new QLineEdit(FromUtf8(value), this);
    field->setObjectName(QLatin1String(name));
    field->setFixedWidth(number_width);
    return field;
  };
  auto combo = [&](const char* name, const QStringList& items, const QString& text) {
    auto* box = new QComboBox(this);
    box->setObjectName(QLatin1String(name));
    box->setEditable(true);
    // The setting is what was typed, not what a completion made of it.
    box->setCompleter(nullptr);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItems(items);
    box->setCurrentIndex(box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
    box->setEditText(text);
    return box;
  };

  port_ = combo("port", ListOf(PortChoices(serial_ports)), FromUtf8(shown.port));
  port_->setFixedWidth(text_width);
  // The stable device names are long: the list opens as wide as they are.
  port_->view()->setMinimumWidth(port_->view()->sizeHintForColumn(0) +
                                 port_->view()->verticalScrollBar()->sizeHint().width());
  port_->lineEdit()->setMaxLength(static_cast<int>(kPortCapacity - 1));

  baud_rate_ = text_field("baudRate", kModeCapacity, shown.baud_rate);
  baud_rate_->setFixedWidth(number_width);
  parity_ = text_field("parity", kModeCapacity, shown.parity);
  parity_->setFixedWidth(number_width);
  parity_->setEnabled(false);
  pin_ = text_field("pin", kPinCapacity, shown.pin);
  number_ = text_field("phoneNumber", kNumberCapacity, shown.number);

  retry_count_ = combo("retryCount", ListOf(RetryCountChoices()), FromUtf8(shown.retry_count));
  retry_count_->setFixedWidth(number_width);
  retry_delay_ = number_field("retryDelay", shown.retry_delay);

  incoming_ = new QCheckBox(QStringLiteral("Enable Incoming"), this);
  incoming_->setObjectName(QStringLiteral("incomingEnable"));
  incoming_->setChecked(shown.incoming);
  auto* incoming_syntax = new QLabel(this);
  incoming_syntax->setTextFormat(Qt::PlainText);
  incoming_syntax->setText(QString::fromLatin1(kIncomingSyntax));

  quality_poll_ = number_field("qualityPoll", shown.quality_poll);
  auto* digits_only =
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
  tech_alarm_ = number_field("techAlarmNbr", shown.tech_alarm);
  tech_alarm_->setValidator(digits_only);
  sleep_after_alarm_ = number_field("sleepMinAfterAlarm", shown.sleep_after_alarm);
  sleep_after_alarm_->setValidator(digits_only);
  voice_call_ = number_field("voiceCallDuration", shown.voice_call);
  voice_call_->setValidator(digits_only);

  // Labels in one column, fields in the next; a unit follows its field directly, and as
  // every number field has one width, the units line up too.
  auto* grid = new QGridLayout(this);
  int row = 0;
  auto add_row = [&](const QString& label, QWidget* field,
                     std::initializer_list<QWidget*> after = {}) {
    auto* caption = new QLabel(label, this);
    caption->setBuddy(field);
    grid->addWidget(caption, row, 0);
    auto* line = new QHBoxLayout;
    line->addWidget(field);
    for (QWidget* widget : after) line->addWidget(widget);
    line->addStretch(1);
    grid->addLayout(line, row++, 1);
  };
  auto label = [this](const char* text) { return new QLabel(QLatin1String(text), this); };
  auto add_separator = [&] {
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    grid->addWidget(line, row++, 0, 1, 2);
  };

  add_row(QStringLiteral("COM Port"), port_);
  add_row(QStringLiteral("Baud rate"), baud_rate_);
  add_row(QStringLiteral("Parity"), parity_);
  add_row(QStringLiteral("PIN Number"), pin_);
  add_row(QStringLiteral("Phone Number"), number_);
  add_separator();
  add_row(QStringLiteral("Retires on Error"), retry_count_,
          {label("every"), retry_delay_, label("seconds")});
  add_row(QStringLiteral("Voice call minimum duration"), voice_call_, {label("seconds")});
  add_separator();
  grid->addWidget(incoming_, row++, 0, 1, 2);
  grid->addWidget(incoming_syntax, row++, 0, 1, 2);
  add_row(QStringLiteral("Refresh Signal Indicator every"), quality_poll_, {label("seconds")});
  add_separator();
  add_row(QStringLiteral("Start watchdog tech-alarm on error:"), tech_alarm_);
  add_row(QStringLiteral("Do not check after tech-alarm for:"), sleep_after_alarm_,
          {label("minutes")});
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(row, 1);
}

GlobalSettingsFields CGlobalSettingsPage::Fields() const {
  GlobalSettingsFields f;
  f.port = ToUtf8(port_->currentText());
  f.baud_rate = ToUtf8(baud_rate_->text());
  f.parity = ToUtf8(parity_->text());
  f.pin = ToUtf8(pin_->text());
  f.number = ToUtf8(number_->text());
  f.retry_count = ToUtf8(retry_count_->currentText());
  f.retry_delay = ToUtf8(retry_delay_->text());
  f.incoming = incoming_->isChecked();
  f.quality_poll = ToUtf8(quality_poll_->text());
  f.tech_alarm = ToUtf8(tech_alarm_->text());
  f.sleep_after_alarm = ToUtf8(sleep_after_alarm_->text());
  f.voice_call = ToUtf8(voice_call_->text());
  return f;
}

std::optional<FieldProblem> CGlobalSettingsPage::FirstRefusedField() const {
  const auto refused = ui::FirstRefusedField(Fields());
  if (!refused) return std::nullopt;
  QLineEdit* const in_page_order[] = {retry_delay_, voice_call_, quality_poll_, tech_alarm_, sleep_after_alarm_};
  return FieldProblem{in_page_order[static_cast<int>(refused->field)], FromUtf8(refused->prompt)};
}

void CGlobalSettingsPage::CopyTo(Settings& settings) const { CopyGlobalFields(Fields(), mode_, settings); }

}  // namespace qz::ui
