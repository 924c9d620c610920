#include "ui/qt/about_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include "ui/qt/dialog_units.h"
#include "ui/qt/window_images.h"
#include "ui/window_texts.h"

namespace qz::ui {

namespace {
constexpr QSize kAboutSize{266, 126};
}  // namespace

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromLatin1(kAboutTitle));
  DialogBaseUnits units = DialogBaseUnitsOf(font());

  auto* logo = new QLabel(this);
  logo->setPixmap(QPixmap(AboutLogoPath()));
  logo->setFixedSize(200, 100);

  auto* name = new QLabel(QString::fromLatin1(kAboutName), this);
  QFont bold = name->font();
  bold.setBold(true);
  name->setFont(bold);
  auto* about = new QLabel(QString::fromLatin1(kAboutText), this);
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
