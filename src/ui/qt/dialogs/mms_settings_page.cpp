#include "ui/qt/dialogs/mms_settings_page.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

#include "core/settings.h"
#include "ui/qt/dialogs/dialog_layout.h"
#include "ui/qt/dialogs/field_widgets.h"
#include "ui/settings_form.h"

namespace qz::ui {
namespace {

constexpr int kFieldWidth = 180;    // dialog units
constexpr int kPortTypeWidth = 40;  // dialog units

}  // namespace

CMMSSettingsPage::CMMSSettingsPage(const Settings& settings, QWidget* parent) : QWidget(parent) {
  const MmsSettingsFields shown = MmsFieldsOf(settings);
  const int field_width = DialogUnitsToPixels(*this, QSize(kFieldWidth, 0)).width();
  auto text_field = [&](const char* name, std::size_t capacity, const std::string& value) {
    auto* field = new QLineEdit(this);
    field->setObjectName(QLatin1String(name));
    field->setMaxLength(static_cast<int>(capacity - 1));
    field->setText(FromUtf8(value));
    field->setMinimumWidth(field_width);
    return field;
  };
  url_server_ = text_field("urlServer", kMmsAddressCapacity, shown.url_server);
  apn_ = text_field("apn", kMmsAddressCapacity, shown.apn);
  ip_address_ = text_field("ipAddress", kMmsAddressCapacity, shown.ip_address);
  login_ = text_field("login", kMmsAddressCapacity, shown.login);
  password_ = text_field("password", kMmsPasswordCapacity, shown.password);
  content_type_ = text_field("contentType", kMmsAddressCapacity, shown.content_type);
  content_type_->setEnabled(false);

  port_type_ = new QComboBox(this);
  port_type_->setObjectName(QStringLiteral("portType"));
  port_type_->setEditable(true);
  port_type_->setCompleter(nullptr);
  port_type_->setInsertPolicy(QComboBox::NoInsert);
  for (const std::string& type : MmsPortTypeChoices()) port_type_->addItem(FromUtf8(type));
  const QString port_type = FromUtf8(shown.port_type);
  port_type_->setCurrentIndex(
      port_type_->findText(port_type, Qt::MatchExactly | Qt::MatchCaseSensitive));
  port_type_->setEditText(port_type);
  port_type_->lineEdit()->setMaxLength(static_cast<int>(kMmsPortTypeCapacity - 1));
  port_type_->setFixedWidth(std::max(DialogUnitsToPixels(*this, QSize(kPortTypeWidth, 0)).width(),
                                     port_type_->sizeHint().width()));

  auto* grid = new QGridLayout(this);
  int row = 0;
  auto add_row = [&](const QString& label, QWidget* field, Qt::Alignment align = {}) {
    auto* caption = new QLabel(label, this);
    caption->setBuddy(field);
    grid->addWidget(caption, row, 0);
    grid->addWidget(field, row, 1, align);
    ++row;
  };
  add_row(QStringLiteral("URL Server"), url_server_);
  add_row(QStringLiteral("Access Point Name"), apn_);
  add_row(QStringLiteral("IP Address"), ip_address_);
  add_row(QStringLiteral("Login"), login_);
  add_row(QStringLiteral("Password"), password_);
  add_row(QStringLiteral("Port Type"), port_type_, Qt::AlignLeft);
  add_row(QStringLiteral("Content Type"), content_type_);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(row, 1);
}

void CMMSSettingsPage::CopyTo(Settings& settings) const {
  MmsSettingsFields f;
  f.url_server = ToUtf8(url_server_->text());
  f.apn = ToUtf8(apn_->text());
  f.ip_address = ToUtf8(ip_address_->text());
  f.login = ToUtf8(login_->text());
  f.password = ToUtf8(password_->text());
  f.port_type = ToUtf8(port_type_->currentText());
  f.content_type = ToUtf8(content_type_->text());
  CopyMmsFields(f, settings);
}

}  // namespace qz::ui
