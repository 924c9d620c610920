#include "ui/qt/dialogs/send_mms_dialog.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

#include "ui/qt/dialogs/dialog_layout.h"
#include "ui/qt/dialogs/text_limit.h"

namespace qz::ui {
namespace {

constexpr QSize kDialogSize(351, 242);

std::string FileName(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

CSendMmsDialog::CSendMmsDialog(SettingsFile& settings_file, QWidget* parent)
    : QDialog(parent), history_(settings_file) {
  setWindowTitle(QStringLiteral("Send MMS"));

  auto* grid = new QGridLayout(this);
  auto add_label = [&](const QString& text, QWidget* buddy, int row, Qt::Alignment align) {
    auto* label = new QLabel(text, this);
    label->setBuddy(buddy);
    grid->addWidget(label, row, 0, align);
    return label;
  };

  phone_number_ = new QComboBox(this);
  phone_number_->setObjectName(QStringLiteral("phoneNumber"));
  phone_number_->setEditable(true);
  // What is typed is what is sent: no inline completion from the history and no entry
  // added on Enter.
  phone_number_->setCompleter(nullptr);
  phone_number_->setInsertPolicy(QComboBox::NoInsert);

  subject_ = new QPlainTextEdit(this);
  subject_->setObjectName(QStringLiteral("subject"));
  subject_->setTabChangesFocus(true);
  // About two lines: a subject is short, the text below gets the room.
  const int line = subject_->fontMetrics().lineSpacing();
  subject_->setFixedHeight(2 * line + 2 * subject_->frameWidth() +
                           2 * static_cast<int>(subject_->document()->documentMargin()));

  text_ = new QPlainTextEdit(this);
  text_->setObjectName(QStringLiteral("text"));
  text_->setTabChangesFocus(true);
  text_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

  image_path_ = new QLineEdit(this);
  image_path_->setObjectName(QStringLiteral("imageFile"));
  audio_path_ = new QLineEdit(this);
  audio_path_->setObjectName(QStringLiteral("audioFile"));
  auto* pick_image = new QToolButton(this);
  pick_image->setObjectName(QStringLiteral("pickImage"));
  pick_image->setText(QStringLiteral("..."));
  auto* pick_audio = new QToolButton(this);
  pick_audio->setObjectName(QStringLiteral("pickAudio"));
  pick_audio->setText(QStringLiteral("..."));
  // Only what the MMS builder knows how to label; anything else would fail at sending.
  connect(pick_image, &QToolButton::clicked, this, [this] {
    PickFile(image_path_, QStringLiteral("Image File"),
             QStringLiteral("JPEG images (*.jpg *.jpeg);;All files (*)"));
  });
  connect(pick_audio, &QToolButton::clicked, this, [this] {
    PickFile(audio_path_, QStringLiteral("Audio File"),
             QStringLiteral("AMR audio and 3GP video (*.amr *.3gp);;All files (*)"));
  });

  auto* send = new QPushButton(QStringLiteral("Send"), this);
  send->setObjectName(QStringLiteral("send"));
  send->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("cancel"));
  connect(send, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  const Qt::Alignment beside_field = Qt::AlignLeft | Qt::AlignVCenter;
  const Qt::Alignment above_box = Qt::AlignLeft | Qt::AlignTop;
  add_label(QStringLiteral("Phone Number"), phone_number_, 0, beside_field);
  grid->addWidget(phone_number_, 0, 1, 1, 2);
  AlignWithFirstLine(*add_label(QStringLiteral("Subject"), subject_, 1, above_box), *subject_);
  grid->addWidget(subject_, 1, 1, 1, 2);

  auto* text_label = new QLabel(QStringLiteral("Text"), this);
  text_label->setBuddy(text_);
  AlignWithFirstLine(*text_label, *text_);
  auto* text_limit = new QLabel(QStringLiteral("Max 2048 characters"), this);
  auto* text_labels = new QVBoxLayout;
  text_labels->addWidget(text_label);
  text_labels->addWidget(text_limit);
  text_labels->addStretch(1);
  grid->addLayout(text_labels, 2, 0);
  grid->addWidget(text_, 2, 1, 1, 2);

  add_label(QStringLiteral("Image File"), image_path_, 3, beside_field);
  grid->addWidget(image_path_, 3, 1);
  grid->addWidget(pick_image, 3, 2);
  add_label(QStringLiteral("Audio File"), audio_path_, 4, beside_field);
  grid->addWidget(audio_path_, 4, 1);
  grid->addWidget(pick_audio, 4, 2);
  grid->addWidget(new QLabel(QStringLiteral("MMS maximum size: 60K"), this), 5, 1, 1, 2);

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(send);
  buttons->addWidget(cancel);
  buttons->addStretch(1);
  // The buttons stand apart from the fields, as on every dialog of the window.
  buttons->setContentsMargins(grid->horizontalSpacing(), 0, 0, 0);
  grid->addLayout(buttons, 0, 3, 6, 1);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(2, 1);

  // Typing stops at each field's limit; Send still refuses a longer text put in whole,
  // such as a number from the history or a picked file.
  KeepWithinLimit(*phone_number_->lineEdit(), kMaxPhoneNumber);
  KeepWithinLimit(*subject_, kMaxSubject);
  KeepWithinLimit(*text_, kMaxText);
  KeepWithinLimit(*image_path_, kMaxImagePath);

  FillHistory(history_, *phone_number_);
  phone_number_->setCurrentIndex(-1);
  phone_number_->clearEditText();

  setTabOrder(phone_number_, subject_);
  setTabOrder(subject_, text_);
  setTabOrder(text_, image_path_);
  setTabOrder(image_path_, pick_image);
  setTabOrder(pick_image, audio_path_);
  setTabOrder(audio_path_, pick_audio);
  setTabOrder(pick_audio, send);
  setTabOrder(send, cancel);
  phone_number_->setFocus();
  ResizeInDialogUnits(*this, kDialogSize);
}

std::string CSendMmsDialog::PhoneNumber() const {
  return ToGatewayText(phone_number_->currentText());
}
std::string CSendMmsDialog::Text() const { return ToGatewayText(text_->toPlainText()); }
std::string CSendMmsDialog::Subject() const { return ToGatewayText(subject_->toPlainText()); }
std::string CSendMmsDialog::ImagePath() const { return FileName(image_path_->text()); }
std::string CSendMmsDialog::AudioPath() const { return FileName(audio_path_->text()); }

void CSendMmsDialog::accept() {
  if (const auto problem = FirstFieldOverItsLimit())
    RefuseField(prompt_, *this, *problem);
  else
    QDialog::accept();
  RememberFromBox(history_, *phone_number_);
}

std::optional<FieldProblem> CSendMmsDialog::FirstFieldOverItsLimit() const {
  const auto problem = ui::FirstMmsFieldOverItsLimit(ToUtf8(phone_number_->currentText()), ToUtf8(subject_->toPlainText()),
                                                     ToUtf8(text_->toPlainText()), ToUtf8(image_path_->text()));
  if (!problem) return std::nullopt;
  QWidget* fields[] = {phone_number_, subject_, text_, image_path_};
  return FieldProblem{fields[static_cast<int>(problem->field)], FromUtf8(problem->prompt)};
}

void CSendMmsDialog::PickFile(QLineEdit* field, const QString& caption, const QString& filter) {
  const QString current = field->text();
  const QString folder = current.isEmpty() ? QString() : QFileInfo(current).absolutePath();
  const QString chosen = QFileDialog::getOpenFileName(this, caption, folder, filter);
  if (!chosen.isEmpty()) field->setText(chosen);
}

}  // namespace qz::ui
