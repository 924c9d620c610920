#include "ui/main_dialog.h"

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
#include "core/profile_file.h"
#include "gateway/gateway.h"
#include "gateway/orderly_stop.h"
#include "ui/about_dialog.h"
#include "ui/controls/bitmap_gauge.h"
#include "ui/controls/color_list_box.h"
#include "ui/main_dialog_commands.h"
#include "ui/system_menu.h"
#include "ui/window_images.h"

namespace qz::ui {

namespace {

// Where the controls sit, in dialog units.
constexpr QSize kWindowSize{436, 372};
constexpr int kImageColumns[6] = {37, 103, 169, 235, 303, 367};
constexpr int kImageRows[5] = {7, 48, 95, 138, 183};
constexpr int kLabelColumns[6] = {17, 81, 147, 211, 277, 341};
constexpr int kLabelRows[5] = {31, 74, 119, 162, 210};
constexpr QSize kImageSize{21, 20};
// Two lines: a sending line's alarm and subscriber both show. The second line still ends
// above the next row's images.
constexpr QSize kLabelSize{65, 16};
constexpr QRect kLogList{7, 228, 382, 86};
constexpr QPoint kGaugeCorner{405, 228};
constexpr QRect kStatusLine{7, 316, 422, 8};
constexpr int kButtonColumns[6] = {7, 78, 148, 218, 289, 359};
constexpr int kButtonRow = 351;
constexpr QSize kButtonSize{65, 14};

constexpr int kStartupTickMs = 500;
// The system-menu command of the About item.
constexpr int kAboutCommand = 16;
// Below this level SMS submissions become unreliable.
constexpr int kLowSignal = 12;

const char* const kLowSignalText =
    "WARNING : Low signal quality, SMS submissions are impaired or even not operational.";

// The text in at most two lines of `width` pixels, broken between words where it can be;
// what does not fit ends in "…".
QString two_line_text(const QString& text, const QFontMetrics& metrics, int width) {
  if (metrics.horizontalAdvance(text) <= width) return text;
  int cut = static_cast<int>(text.size());
  while (cut > 0 && metrics.horizontalAdvance(text.left(cut)) > width) --cut;
  int space = static_cast<int>(text.lastIndexOf(QLatin1Char(' '), cut));
  if (space > 0) cut = space;
  QString rest = text.mid(cut).trimmed();
  return text.left(cut) + QLatin1Char('\n') + metrics.elidedText(rest, Qt::ElideRight, width);
}

// Some neighbouring label columns overlap by a unit. A text kept this many pixels inside
// its label (half the widest overlap, and one more) never touches its neighbour's.
int LabelMargin(DialogBaseUnits units) {
  int overlap = 0;
  for (int column = 0; column + 1 < 6; ++column) {
    const int end = DialogXToPixels(kLabelColumns[column], units) + DialogXToPixels(kLabelSize.width(), units);
    overlap = std::max(overlap, end - DialogXToPixels(kLabelColumns[column + 1], units));
  }
  return overlap / 2 + 1;
}

bool ask_with_box(QWidget* parent, const QString& title, const QString& text) {
  return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No) ==
         QMessageBox::Yes;
}

}  // namespace

CMainDialog::CMainDialog(Gateway& gateway, QWidget* parent, AskYesNo ask, Start start)
    : QDialog(parent), gateway_(gateway), view_(gateway), ask_(ask ? std::move(ask) : ask_with_box) {
  setWindowTitle(QStringLiteral("Quazel GSM/SMS/MMS"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  setWindowIcon(ApplicationIcon());
  units_ = DialogBaseUnitsOf(font());
  BuildControls();
  setFixedSize(DialogSizeToPixels(kWindowSize, units_));
  AppendSystemMenuItem(static_cast<std::uintptr_t>(winId()), kAboutCommand, "&About qzgsms...");

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
  const int label_margin = LabelMargin(units_);
  for (int cell = 0; cell < kCells; ++cell) {
    QPoint image_at{kImageColumns[cell % 6], kImageRows[cell / 6]};
    QPoint label_at{kLabelColumns[cell % 6], kLabelRows[cell / 6]};
    auto* image = new QLabel(this);
    image->setGeometry(DialogRectToPixels(QRect(image_at, kImageSize), units_));
    image->setAlignment(Qt::AlignCenter);
    image->setPixmap(QPixmap(PhoneImagePath(kCellFree)));
    auto* label = new QLabel(this);
    label->setGeometry(DialogRectToPixels(QRect(label_at, kLabelSize), units_));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setContentsMargins(label_margin, 0, label_margin, 0);
    cell_images_[static_cast<std::size_t>(cell)] = image;
    cell_labels_[static_cast<std::size_t>(cell)] = label;
  }

  log_list_ = new CColorListBox(this);
  log_list_->setGeometry(DialogRectToPixels(kLogList, units_));
  log_list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

  QPoint gauge_at = DialogPointToPixels(kGaugeCorner, units_);
  gauge_ = CBitmapGauge::Create(this, gauge_at.x(), gauge_at.y(), QImage(SignalShapePath()));
  gauge_->SetStyle(CBitmapGauge::FillStyle::GradientUp);
  gauge_->SetColours(kRed, kGreen);
  gauge_->SetRange(0, 31);
  gauge_->SetPosition(29);

  status_line_ = new QLabel(this);
  status_line_->setGeometry(DialogRectToPixels(kStatusLine, units_));
  status_line_->setAlignment(Qt::AlignCenter);

  const char* texts[6] = {"&About", "&Settings...", "&Send SMS...", "Send &MMS", "&Change SMSC...", "E&xit"};
  for (int i = 0; i < 6; ++i) {
    auto* button = new QPushButton(QString::fromLatin1(texts[i]), this);
    button->setGeometry(DialogRectToPixels(QRect(QPoint(kButtonColumns[i], kButtonRow), kButtonSize), units_));
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
  // The alarm application hands its SMS to this program only while its flag says so.
  ProfileFile flags(gateway_.folder, "qzalarm.ini");
  if (flags.read_int("qzasms", "SendWithQzgsms", 0) != 0) return;
  bool yes = ask_(this, QStringLiteral("Please confirm.."),
                  QStringLiteral("Activate function to send SMS with this program for an alarm ?\n"
                                 "(The flag SendWithQzgsms in Qzalarm.ini under [qzasms] is set to 1)"));
  if (yes) flags.write_text("qzasms", "SendWithQzgsms", "1");
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
