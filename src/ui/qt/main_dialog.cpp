#include "ui/qt/main_dialog.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>

#include "core/clock.h"
#include "core/colors.h"
#include "gateway/gateway.h"
#include "gateway/orderly_stop.h"
#include "ui/qt/about_dialog.h"
#include "ui/qt/controls/bitmap_gauge.h"
#include "ui/qt/controls/color_list_box.h"
#include "ui/qt/main_dialog_commands.h"
#include "ui/system_menu.h"
#include "ui/qt/window_images.h"
#include "ui/alarm_application.h"
#include "ui/cell_label.h"
#include "ui/main_window_layout.h"
#include "ui/window_texts.h"

namespace qz::ui {

namespace {

QRect ToQRect(const DialogRect& r) { return QRect(r.x, r.y, r.width, r.height); }

// The text in at most two lines of the label's width (cell_label.h).
QString two_line_text(const QString& text, const QFontMetrics& metrics, int width) {
  const QByteArray utf8 = text.toUtf8();
  const std::string lines = TwoLineText(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())),
                                        width, [&](std::string_view part) {
    return metrics.horizontalAdvance(QString::fromUtf8(part.data(), static_cast<qsizetype>(part.size())));
  });
  return QString::fromStdString(lines);
}

bool ask_with_box(QWidget* parent, const QString& title, const QString& text) {
  return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No) ==
         QMessageBox::Yes;
}

}  // namespace

CMainDialog::CMainDialog(Gateway& gateway, QWidget* parent, AskYesNo ask, Start start)
    : QDialog(parent), gateway_(gateway), view_(gateway), ask_(ask ? std::move(ask) : ask_with_box) {
  setWindowTitle(QString::fromLatin1(kWindowTitle));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setWindowIcon(ApplicationIcon());
  units_ = DialogBaseUnitsOf(font());
  BuildControls();
  setFixedSize(DialogSizeToPixels(QSize(kWindowWidth, kWindowHeight), units_));
  AppendSystemMenuItem(static_cast<std::uintptr_t>(winId()), kAboutCommand, kAboutMenuItem);

  AskSendWithQzgsms();

  if (start == Start::kNever) return;
  connect(&startup_timer_, &QTimer::timeout, this, &CMainDialog::FirstTick);
  startup_timer_.start(kStartupTickMs);
}

CMainDialog::~CMainDialog() {
  // Tests end here; the program ends without destroying its window. Nothing may call
  // notify once the window is gone, so the window leaves the log before anything waits.
  gateway_.log.register_window(nullptr);
  if (startup_thread_.joinable()) startup_thread_.join();
  if (operator_thread_.joinable()) operator_thread_.join();
  gateway_.stop_workers(kStopLimitMs);
  if (stop_thread_.joinable()) stop_thread_.join();
  gateway_.link.modem.stop_input_thread();
}

void CMainDialog::BuildControls() {
  const int label_margin = LabelMargin([this](int units) { return DialogXToPixels(units, units_); });
  for (int cell = 0; cell < kCells; ++cell) {
    auto* image = new QLabel(this);
    image->setGeometry(DialogRectToPixels(ToQRect(ImageRect(cell)), units_));
    image->setAlignment(Qt::AlignCenter);
    image->setPixmap(QPixmap(PhoneImagePath(kCellFree)));
    auto* label = new QLabel(this);
    label->setGeometry(DialogRectToPixels(ToQRect(LabelRect(cell)), units_));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setContentsMargins(label_margin, 0, label_margin, 0);
    cell_images_[static_cast<std::size_t>(cell)] = image;
    cell_labels_[static_cast<std::size_t>(cell)] = label;
  }

  log_list_ = new CColorListBox(this);
  log_list_->setGeometry(DialogRectToPixels(ToQRect(kLogList), units_));
  log_list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

  QPoint gauge_at = DialogPointToPixels(QPoint(kGaugeX, kGaugeY), units_);
  gauge_ = CBitmapGauge::Create(this, gauge_at.x(), gauge_at.y(), QImage(SignalShapePath()));
  gauge_->SetStyle(CBitmapGauge::FillStyle::GradientUp);
  gauge_->SetColours(kRed, kGreen);
  gauge_->SetRange(0, kSignalMaximum);
  gauge_->SetPosition(kSignalAtStart);

  status_line_ = new QLabel(this);
  status_line_->setGeometry(DialogRectToPixels(ToQRect(kStatusLine), units_));
  status_line_->setAlignment(Qt::AlignCenter);

  for (int i = 0; i < 6; ++i) {
    auto* button = new QPushButton(QString::fromLatin1(kButtonTexts[i]), this);
    button->setGeometry(
        DialogRectToPixels(QRect(kButtonColumns[i], kButtonRow, kButtonWidth, kButtonHeight), units_));
    buttons_[static_cast<std::size_t>(i)] = button;
  }
  buttons_[0]->setDefault(true);
  // Nothing may talk to the modem before the gateway has brought it up: a send would mix
  // its commands into the start-up dialogue. The settings stay open, to mend a start that
  // fails.
  EnableSendButtons(false);
  connect(buttons_[0], &QPushButton::clicked, this, &CMainDialog::OpenAbout);
  connect(buttons_[1], &QPushButton::clicked, this, [this] { MainDialogCommands(*this).OpenSettings(); });
  connect(buttons_[2], &QPushButton::clicked, this, [this] { MainDialogCommands(*this).SendSms(); });
  connect(buttons_[3], &QPushButton::clicked, this, [this] { MainDialogCommands(*this).SendMms(); });
  connect(buttons_[4], &QPushButton::clicked, this, [this] { MainDialogCommands(*this).ChangeSmsc(); });
  connect(buttons_[5], &QPushButton::clicked, this, &QDialog::close);
}

void CMainDialog::AskSendWithQzgsms() {
  const std::string failure = ui::AskSendWithQzgsms(AlarmApplicationFolder(gateway_.folder), [this](const char* title, const char* text) {
    return ask_(this, QString::fromLatin1(title), QString::fromLatin1(text));
  });
  if (!failure.empty()) gateway_.log.PostWindowLine(nullptr, failure, kRed);
}

void CMainDialog::FirstTick() {
  if (!first_tick_) return;
  first_tick_ = false;
  startup_timer_.stop();
  if (stopping_) return;
  startup_thread_ = std::thread([this] {
    if (!init_gsms(gateway_, this)) return;
    QMetaObject::invokeMethod(this, [this] {
      if (!stopping_ && !operator_busy_) EnableSendButtons(true);
    }, Qt::QueuedConnection);
  });
}

void CMainDialog::EnableSendButtons(bool enable) {
  for (std::size_t i = kFirstSendButton; i <= kLastSendButton; ++i) buttons_[i]->setEnabled(enable);
}

void CMainDialog::notify(int number) {
  QMetaObject::invokeMethod(this, [this, number] { OnNotification(number); }, Qt::QueuedConnection);
}

void CMainDialog::OnNotification(int number) {
  if (number == kNotifyLogLine) {
    DrainOneLogLine();
  } else if (number >= 1 && number <= kCells) {
    ShowCell(number - 1);
  } else if (number == kNotifySignal) {
    ShowSignal();
  }
}

void CMainDialog::DrainOneLogLine() {
  while (log_list_->count() > kMaxLogLines) delete log_list_->takeItem(0);
  auto line = view_.take_pending_line();
  if (!line) return;
  log_list_->AddLine(QString::fromUtf8(line->text.data(), static_cast<int>(line->text.size())), line->color);
  // The newest line is always in view, even when the operator had scrolled back.
  log_list_->scrollToBottom();
}

void CMainDialog::ShowCell(int cell) {
  JobCell state = view_.job_cell(cell);
  QString image = PhoneImagePath(state.image);
  if (image.isEmpty()) return;
  cell_image_index_[static_cast<std::size_t>(cell)] = state.image;
  cell_images_[static_cast<std::size_t>(cell)]->setPixmap(QPixmap(image));
  // A long label takes a second line and then ends in "…"; the whole text is the cell's
  // tool tip.
  QLabel* label = cell_labels_[static_cast<std::size_t>(cell)];
  QString text = QString::fromUtf8(state.label.data(), static_cast<int>(state.label.size()));
  label->setText(two_line_text(text, label->fontMetrics(), label->contentsRect().width()));
  label->setToolTip(text);
  cell_images_[static_cast<std::size_t>(cell)]->setToolTip(text);
}

void CMainDialog::ShowSignal() {
  int level = view_.signal_level();
  gauge_->SetPosition(level);
  if (!stopping_) status_line_->setText(level < kLowSignal ? QString::fromLatin1(kLowSignalText) : QString());
}

void CMainDialog::OpenAbout() {
  CAboutDialog about(this);
  about.exec();
}

bool CMainDialog::nativeEvent(const QByteArray& event_type, void* message, qintptr* result) {
  if (SystemMenuCommand(message) != kAboutCommand) return QDialog::nativeEvent(event_type, message, result);
  OpenAbout();
  return true;
}

void CMainDialog::reject() { close(); }

void CMainDialog::closeEvent(QCloseEvent* event) {
  if (stopped_) {
    event->accept();
    return;
  }
  event->ignore();
  if (!stopping_) BeginStop();
}

// The window closes as the headless gateway stops: no new job starts, the send in
// progress ends and what is done is reported, so nothing is sent twice after a restart.
void CMainDialog::BeginStop() {
  stopping_ = true;
  startup_timer_.stop();
  for (QPushButton* button : buttons_) button->setEnabled(false);
  status_line_->setText(QString::fromLatin1(kStoppingText));
  stop_thread_ = std::thread([this] {
    // A send the operator started ends too, within the same limit.
    stop_in_order(gateway_, [this] { return operator_busy_.load(); });
    QMetaObject::invokeMethod(this, [this] {
      stopped_ = true;
      emit Stopped();
      close();
    }, Qt::QueuedConnection);
  });
}

}  // namespace qz::ui
