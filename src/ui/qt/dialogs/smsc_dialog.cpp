#include "ui/qt/dialogs/smsc_dialog.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "ui/qt/dialogs/dialog_layout.h"
#include "ui/qt/dialogs/field_widgets.h"

namespace qz::ui {
namespace {

constexpr QSize kDialogSize(247, 84);
constexpr QSize kPlanFieldSize(30, 12);

}  // namespace

CSmscDialog::CSmscDialog(const std::string& number, int32_t numbering_plan, QWidget* parent)
    : QDialog(parent), numbering_plan_(numbering_plan) {
  setWindowTitle(QStringLiteral("Change SMSC"));

  number_ = new QLineEdit(this);
  number_->setObjectName(QStringLiteral("number"));
  number_->setMaxLength(kMaxNumberLength);
  number_->setText(FromGatewayText(number));
  auto* number_label = new QLabel(QStringLiteral("SMSC Number : "), this);
  number_label->setBuddy(number_);

  plan_ = new QLineEdit(this);
  plan_->setObjectName(QStringLiteral("numberingPlan"));
  // Shown as the unsigned value it is stored as.
  plan_->setText(QString::number(static_cast<uint32_t>(numbering_plan)));
  const QSize plan_size = DialogUnitsToPixels(*this, kPlanFieldSize);
  // Wide enough for the longest plan on any font, with the frame's room around it.
  plan_->setFixedWidth(std::max(
      plan_size.width(), plan_->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 16));
  auto* plan_label = new QLabel(QStringLiteral("Numbering plan :"), this);
  plan_label->setBuddy(plan_);
  auto* plan_hint = new QLabel(QStringLiteral("(145 = international, 129 = national, ...)"), this);

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("ok"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
  cancel->setObjectName(QStringLiteral("cancel"));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* grid = new QGridLayout(this);
  grid->addWidget(number_label, 0, 0);
  grid->addWidget(number_, 0, 1, 1, 2);
  grid->addWidget(plan_label, 1, 0);
  grid->addWidget(plan_, 1, 1);
  grid->addWidget(plan_hint, 1, 2);
  grid->setColumnStretch(2, 1);
  grid->setRowStretch(2, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  grid->addLayout(buttons, 3, 0, 1, 3);

  number_->setFocus();
  ResizeInDialogUnits(*this, kDialogSize);
}

std::string CSmscDialog::Number() const { return ToGatewayText(number_->text()); }

void CSmscDialog::accept() {
  int64_t plan = 0;
  if (const auto problem = FirstRefusedField(&plan)) {
    RefuseField(prompt_, *this, *problem);
    return;
  }
  numbering_plan_ = static_cast<int32_t>(plan);
  QDialog::accept();
}

std::optional<FieldProblem> CSmscDialog::FirstRefusedField(int64_t* plan) const {
  // The number needs no check: its edit takes no more than its limit.
  std::string prompt;
  const auto value = ReadNumberingPlan(ToUtf8(plan_->text()), &prompt);
  if (!value) return FieldProblem{plan_, FromUtf8(prompt)};
  *plan = *value;
  return std::nullopt;
}

}  // namespace qz::ui
