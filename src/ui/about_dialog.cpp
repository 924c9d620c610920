#include "ui/about_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include "ui/dialog_units.h"
#include "ui/window_images.h"

namespace qz::ui {

namespace {
constexpr QSize kAboutSize{266, 126};
}  // namespace

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("About Quazel GSM/SMS/MMS v2.0"));
  DialogBaseUnits units = DialogBaseUnitsOf(font());

  auto* logo = new QLabel(this);
  logo->setPixmap(QPixmap(AboutLogoPath()));
  logo->setFixedSize(200, 100);

  auto* name = new QLabel(QStringLiteral("Quazel GSM/SMS v2.0"), this);
  QFont bold = name->font();
  bold.setBold(true);
  name->setFont(bold);
  auto* about = new QLabel(QStringLiteral("Alarm gateway for GSM modems:\nSMS, MMS and voice calls.\n\n"
                                          "The qzgsms developers\nMIT licence"),
                           this);
  // Plain texts: nothing here reacts to the mouse.
  for (QLabel* label : {name, about}) label->setTextInteractionFlags(Qt::NoTextInteraction);

  auto* texts = new QVBoxLayout;
  texts->addWidget(name);
  texts->addWidget(about);
  texts->addStretch();
  auto* row = new QHBoxLayout;
  row->addWidget(logo, 0, Qt::AlignTop);
  row->addSpacing(DialogXToPixels(7, units));
  row->addLayout(texts);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(buttons);
  setMinimumSize(DialogSizeToPixels(kAboutSize, units));
}

}  // namespace qz::ui
