#include "ui/dialogs/mms_settings_page.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

#include "core/settings.h"
#include "ui/dialogs/dialog_layout.h"
#include "ui/dialogs/gateway_text.h"

namespace qz::ui {
namespace {

// Capacities of the settings record's text fields, terminator included.
constexpr std::size_t kAddressCapacity = 256;  // URL, APN, IP address, login, content type
constexpr std::size_t kPasswordCapacity = 128;
constexpr std::size_t kPortTypeCapacity = 8;

constexpr int kFieldWidth = 180;    // dialog units
constexpr int kPortTypeWidth = 40;  // dialog units

}  // namespace

CMMSSettingsPage::CMMSSettingsPage(const Settings& settings, QWidget* parent) : QWidget(parent) {
  const int field_width = DialogUnitsToPixels(*this, QSize(kFieldWidth, 0)).width();
  auto text_field = [&](const char* name, std::size_t capacity, const std::string& value) {
    auto* field = new QLineEdit(this);
    field->setObjectName(QLatin1String(name));
    field->setMaxLength(static_cast<int>(capacity - 1));
    field->setText(FromGatewayText(value));
    field->setMinimumWidth(field_width);
    return field;
  };
  url_server_ = text_field("urlServer", kAddressCapacity, settings.MMSURLServer);
  apn_ = text_field("apn", kAddressCapacity, settings.MMSAPN);
  ip_address_ = text_field("ipAddress", kAddressCapacity, settings.MMSIPAddress);
  login_ = text_field("login", kAddressCapacity, settings.MMSLogin);
  password_ = text_field("password", kPasswordCapacity, settings.MMSPWD);
  content_type_ = text_field("contentType", kAddressCapacity, settings.MMSContentType);
  content_type_->setEnabled(false);

  port_type_ = new QComboBox(this);
  port_type_->setObjectName(QStringLiteral("portType"));
  port_type_->setEditable(true);
  port_type_->setCompleter(nullptr);
  port_type_->setInsertPolicy(QComboBox::NoInsert);
  port_type_->addItems({QStringLiteral("0"), QStringLiteral("1")});
  const QString port_type = FromGatewayText(settings.MMSPortType);
  port_type_->setCurrentIndex(
      port_type_->findText(port_type, Qt::MatchExactly | Qt::MatchCaseSensitive));
  port_type_->setEditText(port_type);
  port_type_->lineEdit()->setMaxLength(static_cast<int>(kPortTypeCapacity - 1));
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
  settings.MMSURLServer = ToGatewayText(url_server_->text(), kAddressCapacity);
  settings.MMSAPN = ToGatewayText(apn_->text(), kAddressCapacity);
  settings.MMSIPAddress = ToGatewayText(ip_address_->text(), kAddressCapacity);
  settings.MMSLogin = ToGatewayText(login_->text(), kAddressCapacity);
  settings.MMSPWD = ToGatewayText(password_->text(), kPasswordCapacity);
  settings.MMSPortType = ToGatewayText(port_type_->currentText(), kPortTypeCapacity);
}

}  // namespace qz::ui
