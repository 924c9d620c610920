#include "ui/dialogs/global_settings_page.h"

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
#include <limits>
#include <utility>

#include "core/settings.h"
#include "ui/dialogs/dialog_layout.h"
#include "ui/dialogs/gateway_text.h"

namespace qz::ui {
namespace {

// Capacities of the settings record's text fields, terminator included.
constexpr std::size_t kPortCapacity = 64;
constexpr std::size_t kModeCapacity = 64;
constexpr std::size_t kPinCapacity = 10;
constexpr std::size_t kNumberCapacity = 128;

// What each number field takes: the record's fields are 32-bit, and the poll period is
// held there in milliseconds.
struct NumberRule {
  NumberKind kind;
  int64_t min;
  int64_t max;
};
constexpr NumberRule kInt{NumberKind::kInteger, std::numeric_limits<int32_t>::min(),
                          std::numeric_limits<int32_t>::max()};
constexpr NumberRule kUnsigned{NumberKind::kUnsigned, 0, std::numeric_limits<int32_t>::max()};
constexpr NumberRule kPollSeconds{NumberKind::kUnsigned, 0,
                                  std::numeric_limits<int32_t>::max() / 1000};

constexpr int kTextFieldWidth = 120;   // dialog units
constexpr int kNumberFieldWidth = 40;  // dialog units

std::optional<int64_t> NumberIn(const QLineEdit* field, const NumberRule& rule,
                                FieldProblem* problem) {
  return ReadNumberField(field->text(), rule.kind, rule.min, rule.max, problem);
}

// For a field already checked.
int32_t CheckedNumberIn(const QLineEdit* field, const NumberRule& rule) {
  FieldProblem ignored;
  return static_cast<int32_t>(NumberIn(field, rule, &ignored).value_or(0));
}

}  // namespace

CGlobalSettingsPage::CGlobalSettingsPage(const Settings& settings,
                                         const std::vector<std::string>& serial_ports,
                                         QWidget* parent)
    : QWidget(parent), mode_(SplitMode(settings.Mode)) {
  const int text_width = DialogUnitsToPixels(*this, QSize(kTextFieldWidth, 0)).width();
  // Room for the longest 32-bit number on any font, and never narrower than the units say.
  const int number_width =
      std::max(DialogUnitsToPixels(*this, QSize(kNumberFieldWidth, 0)).width(),
               fontMetrics().horizontalAdvance(QStringLiteral("-2147483648")) + 16);  // + frame

  auto text_field = [&](const char* name, std::size_t capacity, const std::string& value) {
    auto* field = new QLineEdit(this);
    field->setObjectName(QLatin1String(name));
    field->setMaxLength(static_cast<int>(capacity - 1));
    field->setText(FromGatewayText(value));
    field->setFixedWidth(text_width);
    return field;
  };
  auto number_field = [&](const char* name, int32_t value) {
    auto* field = new QLineEdit(QString::number(value), this);
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

  QStringList ports;
  for (int n = 1; n <= 8; ++n) ports << QStringLiteral("COM%1").arg(n);
  for (const std::string& port : serial_ports) ports << FromGatewayText(port);
  port_ = combo("port", ports, FromGatewayText(settings.Port));
  port_->setFixedWidth(text_width);
  // The stable device names are long: the list opens as wide as they are.
  port_->view()->setMinimumWidth(port_->view()->sizeHintForColumn(0) +
                                 port_->view()->verticalScrollBar()->sizeHint().width());
  port_->lineEdit()->setMaxLength(static_cast<int>(kPortCapacity - 1));

  baud_rate_ = text_field("baudRate", kModeCapacity, mode_[0]);
  baud_rate_->setFixedWidth(number_width);
  parity_ = text_field("parity", kModeCapacity, mode_[1]);
  parity_->setFixedWidth(number_width);
  parity_->setEnabled(false);
  pin_ = text_field("pin", kPinCapacity, settings.PIN);
  number_ = text_field("phoneNumber", kNumberCapacity, settings.Number);

  QStringList counts;
  for (int n = 1; n <= 9; ++n) counts << QString::number(n);
  retry_count_ = combo("retryCount", counts, QString::number(settings.RetryCount));
  retry_count_->setFixedWidth(number_width);
  retry_delay_ = number_field("retryDelay", settings.RetryDelay);

  incoming_ = new QCheckBox(QStringLiteral("Enable Incoming"), this);
  incoming_->setObjectName(QStringLiteral("incomingEnable"));
  incoming_->setChecked(settings.IncomingEnable != 0);
  auto* incoming_syntax = new QLabel(this);
  incoming_syntax->setTextFormat(Qt::PlainText);
  incoming_syntax->setText(
      QStringLiteral("incoming batch file synthax: \"incoming.bat  [PhoneNum] [Msg] \""));

  quality_poll_ = number_field("qualityPoll", settings.QualityPollEverySecs / 1000);
  auto* digits_only =
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
  tech_alarm_ = number_field("techAlarmNbr", settings.TechAlarmNbr);
  tech_alarm_->setValidator(digits_only);
  sleep_after_alarm_ = number_field("sleepMinAfterAlarm", settings.SleepMinAfterAlarm);
  sleep_after_alarm_->setValidator(digits_only);
  voice_call_ = number_field("voiceCallDuration", settings.VoiceCallDuration);
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

std::optional<FieldProblem> CGlobalSettingsPage::FirstRefusedField() const {
  const std::pair<QLineEdit*, NumberRule> in_page_order[] = {
      {retry_delay_, kUnsigned}, {voice_call_, kInt},        {quality_poll_, kPollSeconds},
      {tech_alarm_, kInt},       {sleep_after_alarm_, kInt},
  };
  for (const auto& [field, rule] : in_page_order) {
    FieldProblem problem{field, {}};
    if (!NumberIn(field, rule, &problem)) return problem;
  }
  return std::nullopt;
}

void CGlobalSettingsPage::CopyTo(Settings& settings) const {
  settings.Port = ToGatewayText(port_->currentText(), kPortCapacity);
  settings.RetryCount = LeadingInteger(retry_count_->currentText());
  settings.IncomingEnable = incoming_->isChecked() ? 1 : 0;
  settings.PIN = ToGatewayText(pin_->text(), kPinCapacity);
  settings.Number = ToGatewayText(number_->text(), kNumberCapacity);
  settings.RetryDelay = CheckedNumberIn(retry_delay_, kUnsigned);
  settings.QualityPollEverySecs = CheckedNumberIn(quality_poll_, kPollSeconds) * 1000;
  settings.SleepMinAfterAlarm = CheckedNumberIn(sleep_after_alarm_, kInt);
  settings.TechAlarmNbr = CheckedNumberIn(tech_alarm_, kInt);
  settings.VoiceCallDuration = CheckedNumberIn(voice_call_, kInt);
  ModeFields mode = mode_;
  mode[0] = ToGatewayText(baud_rate_->text());
  settings.Mode = CutToCapacity(JoinMode(mode), kModeCapacity);
}

}  // namespace qz::ui
