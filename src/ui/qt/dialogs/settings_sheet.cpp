#include "ui/qt/dialogs/settings_sheet.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/gateway_log.h"
#include "core/settings.h"
#include "ui/qt/dialogs/dialog_layout.h"
#include "ui/qt/dialogs/field_widgets.h"
#include "ui/window_texts.h"
#include "ui/qt/dialogs/global_settings_page.h"
#include "ui/qt/dialogs/mms_settings_page.h"

namespace qz::ui {
namespace {

constexpr QSize kPageSize(300, 290);

}  // namespace

CSettingsSheet::CSettingsSheet(Settings& settings, SettingsFile& file, GatewayLog& log,
                               QWidget* parent, const std::vector<std::string>& serial_ports)
    : QDialog(parent), settings_(settings), file_(file), log_(log) {
  setWindowTitle(QString::fromLatin1(kSettingsCaption));

  tabs_ = new QTabWidget(this);
  tabs_->setObjectName(QStringLiteral("pages"));
  global_ = new CGlobalSettingsPage(settings_, serial_ports);
  global_->setObjectName(QStringLiteral("globalPage"));
  mms_ = new CMMSSettingsPage(settings_);
  mms_->setObjectName(QStringLiteral("mmsPage"));
  for (QWidget* page : {static_cast<QWidget*>(global_), static_cast<QWidget*>(mms_)})
    page->setMinimumSize(DialogUnitsToPixels(*page, kPageSize).expandedTo(page->minimumSizeHint()));
  tabs_->addTab(global_, QStringLiteral("Global"));
  tabs_->addTab(mms_, QStringLiteral("MMS"));
  tabs_->setCurrentIndex(0);
  connect(tabs_, &QTabWidget::currentChanged, this, &CSettingsSheet::LeavingPage);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("ok"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("cancel"));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addLayout(buttons);
  // The pages carry the size in dialog units; the sheet is what they need around them.
  layout->activate();
  resize(sizeHint().expandedTo(minimumSizeHint()));
}

void CSettingsSheet::accept() {
  for (int page = 0; page < tabs_->count(); ++page)
    if (!PageAccepted(page)) return;

  global_->CopyTo(settings_);
  mms_->CopyTo(settings_);
  // Saved on every OK, edited or not: filling a page already counts as a change.
  SaveSettings(file_, settings_, log_);
  prompt_(this, PromptBox{QMessageBox::Warning, QString::fromLatin1(kRestartTitle), QString::fromLatin1(kRestartText)});
  QDialog::accept();
}

void CSettingsSheet::LeavingPage(int next) {
  const int left = current_page_;
  current_page_ = next;
  if (left != next) PageAccepted(left);  // brings the page back when it refuses a field
}

bool CSettingsSheet::PageAccepted(int index) {
  if (tabs_->widget(index) != global_) return true;
  const auto problem = global_->FirstRefusedField();
  if (!problem) return true;
  if (tabs_->currentIndex() != index) {
    const QSignalBlocker quiet(tabs_);
    tabs_->setCurrentIndex(index);
  }
  current_page_ = index;
  RefuseField(prompt_, *this, *problem);
  return false;
}

}  // namespace qz::ui
