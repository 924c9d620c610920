// The operator window: what worker threads report reaches the controls on the window's
// thread, and the real window runs the alarm path against the simulated modem.
#include "ui/qt/main_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "core/colors.h"
#include "core/profile_file.h"
#include "gateway/gateway.h"
#include "gateway/orderly_stop.h"
#include "modemsim/modem_simulator.h"
#include "support/temp_folder.h"
#include "support/test_clock.h"
#include "ui/qt/controls/bitmap_gauge.h"
#include "ui/qt/controls/color_list_box.h"
#include "ui/qt/dialog_units.h"

namespace qz::ui {
namespace {

using namespace std::chrono_literals;

// Runs the window's event loop until `done` holds (real time).
bool process_until(const std::function<bool()>& done, std::chrono::milliseconds timeout = 20s) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 10);
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

void settle() { process_until([] { return false; }, 100ms); }

bool answer_no(QWidget*, const QString&, const QString&) { return false; }

class MainDialogTest : public ::testing::Test {
 protected:
  MainDialogTest() : gateway(folder.path()) { std::filesystem::create_directory(folder / "log"); }
  // A window that never starts the gateway: the test plays the worker threads.
  CMainDialog& window() {
    if (!window_) {
      window_ = std::make_unique<CMainDialog>(gateway, nullptr, answer_no, CMainDialog::Start::kNever);
      gateway.log.register_window(window_.get());
    }
    return *window_;
  }
  QString line(int row) { return window().LogList()->item(row)->text(); }

  test::TempFolder folder;
  Gateway gateway;
  std::unique_ptr<CMainDialog> window_;
};

TEST_F(MainDialogTest, AFloodOfLinesShowsEveryWaitingLineOnceAndDropsTheRest) {
  CMainDialog& w = window();
  // Posted faster than the window drains them: 32 wait, the rest are dropped by the poster.
  for (int i = 0; i < 40; ++i) gateway.log.PostWindowLine(nullptr, "line " + std::to_string(i), i % 2 ? kRed : kGreen);
  settle();
  ASSERT_EQ(w.LogList()->count(), 32);
  for (int i = 0; i < 32; ++i) {
    EXPECT_TRUE(line(i).endsWith(QString("line %1").arg(i))) << line(i).toStdString();
    EXPECT_EQ(w.LogList()->LineColour(i), i % 2 ? kRed : kGreen);
  }
  // The list keeps 1000 lines before an append, 1001 after it.
  for (int i = 0; i < 1000; ++i) w.LogList()->AddLine("old", kBlack);
  gateway.log.PostWindowLine(nullptr, "newest", kBlue);
  settle();
  EXPECT_EQ(w.LogList()->count(), 1001);
  EXPECT_TRUE(line(1000).endsWith("newest"));
  EXPECT_EQ(w.LogList()->verticalScrollBar()->value(), w.LogList()->verticalScrollBar()->maximum())
      << "the newest line is in view";
}

TEST_F(MainDialogTest, JobCellsChangeOnTheWindowThreadWhateverThreadPostsThem) {
  CMainDialog& w = window();
  std::thread worker([this] {
    gateway.jobs.show_job_cell(0, 2, "sending alarm 17 to Ann");
    gateway.jobs.show_job_cell(29, 2, "sending 'the longest label that wraps far beyond its cell' to Bob");
    gateway.jobs.show_job_cell(40, 2, "no such cell");
  });
  worker.join();
  EXPECT_EQ(w.CellImageIndex(0), 0) << "nothing changes before the window's own thread runs";
  settle();
  EXPECT_EQ(w.CellImageIndex(0), 2);
  EXPECT_EQ(w.CellLabel(0)->text().replace('\n', ' '), "sending alarm 17 to Ann") << "two lines hold it";
  EXPECT_EQ(w.CellImageIndex(29), 2);
  // Too long for two lines: the second ends in an ellipsis, and the whole text is the tool tip.
  EXPECT_EQ(w.CellLabel(29)->text().count('\n'), 1);
  EXPECT_TRUE(w.CellLabel(29)->text().endsWith(QChar(0x2026)));
  EXPECT_TRUE(w.CellLabel(29)->toolTip().endsWith("to Bob"));
  gateway.jobs.free_alarm(0);  // an empty slot: nothing happens
  gateway.jobs.show_job_cell(0, 0, "");
  settle();
  EXPECT_EQ(w.CellImageIndex(0), 0);
  EXPECT_TRUE(w.CellLabel(0)->text().isEmpty());
}

TEST_F(MainDialogTest, NeighbouringLabelsNeverTouchAndKeepTheirTextInside) {
  CMainDialog& w = window();
  const QString long_label = QStringLiteral("sending alarm 100 to Bartholomew Oberholzer-Eichenberger");
  for (int cell = 0; cell < CMainDialog::kCells; ++cell) gateway.jobs.show_job_cell(cell, 2, long_label.toStdString());
  settle();
  // Where the text of a label may go, in the window's coordinates.
  auto text_area = [&w](int cell) {
    QLabel* label = w.CellLabel(cell);
    return label->contentsRect().translated(label->pos());
  };
  for (int cell = 0; cell < CMainDialog::kCells; ++cell) {
    QLabel* label = w.CellLabel(cell);
    for (const QString& line : label->text().split('\n'))
      EXPECT_LE(label->fontMetrics().horizontalAdvance(line), label->contentsRect().width()) << cell;
    if (cell % 6 == 5) continue;
    EXPECT_LT(text_area(cell).right() + 1, text_area(cell + 1).left())
        << "cells " << cell << " and " << cell + 1 << " touch";
  }
}

TEST_F(MainDialogTest, SignalBelowTwelveWarnsOnTheStatusLine) {
  CMainDialog& w = window();
  EXPECT_EQ(w.Gauge()->Position(), 29) << "before the first signal";
  EXPECT_TRUE(w.StatusLine()->text().isEmpty());
  gateway.link.SignalLevel = 11;
  w.notify(kNotifySignal);
  settle();
  EXPECT_EQ(w.Gauge()->Position(), 11);
  EXPECT_EQ(w.StatusLine()->text(),
            "WARNING : Low signal quality, SMS submissions are impaired or even not operational.");
  gateway.link.SignalLevel = 12;
  w.notify(kNotifySignal);
  settle();
  EXPECT_EQ(w.Gauge()->Position(), 12);
  EXPECT_TRUE(w.StatusLine()->text().isEmpty());
}

TEST_F(MainDialogTest, TheAlarmApplicationIsAskedUntilTheOperatorSaysYes) {
  int asked = 0;
  auto ask = [&asked](bool answer) {
    return [&asked, answer](QWidget*, const QString& title, const QString&) {
      ++asked;
      EXPECT_EQ(title, "Please confirm..");
      return answer;
    };
  };
  ProfileFile flags(folder.path(), "qzalarm.ini");
  CMainDialog(gateway, nullptr, ask(false), CMainDialog::Start::kNever);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(flags.read_text("qzasms", "SendWithQzgsms", "<none>", 8), "<none>") << "No writes nothing";
  CMainDialog(gateway, nullptr, ask(true), CMainDialog::Start::kNever);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(flags.read_int("qzasms", "SendWithQzgsms", 0), 1);
  CMainDialog(gateway, nullptr, ask(true), CMainDialog::Start::kNever);
  EXPECT_EQ(asked, 2) << "the flag is set: no question";
}

// The whole program's window on the simulated modem: a job file dropped into the watch
// folder shows in its cell while it is sent, then the cell goes idle and the log is green.
TEST(MainDialogAlarmPath, DroppedJobShowsInItsCellWhileSentThenTheCellGoesIdle) {
  test::TempFolder folder;
  test::FastClock fast_clock(50.0);
  sim::ModemSimulator modem;
  modem.configure([](sim::ModemConfig& c) { c.sms.submit_delay = 400ms; });
  std::filesystem::create_directory(folder / "log");
  test::write_file(folder / "qzalarm.ini", "[qzasms]\nSendWithQzgsms=1\n");
  test::write_file(folder / "QZGSMS.INI", "[Config]\nPort=" + modem.slave_path() +
                                              "\nWatchPath=jobs\nDonePath=done\nErrorPath=error\n"
                                              "WatchLogPath=tables\nIncomingEnable=0\n");
  Gateway gateway(folder.path());
  auto window = std::make_unique<CMainDialog>(gateway);
  window->show();
  // Nothing talks to the modem before the gateway has brought it up; the settings can be
  // mended all the while.
  for (int send : {2, 3, 4}) EXPECT_FALSE(window->Button(send)->isEnabled()) << send;
  EXPECT_TRUE(window->Button(1)->isEnabled());
  ASSERT_TRUE(process_until([&] {
    for (int i = 0; i < window->LogList()->count(); ++i) {
      if (window->LogList()->item(i)->text().endsWith("SignalThread started")) return true;
    }
    return false;
  }));
  ASSERT_TRUE(process_until([&] { return window->Button(2)->isEnabled(); }));

  // A long UTF-8 text is cut for its cell before the character that straddles its 16th byte.
  test::write_file(folder / "jobs/a.part",
                   "[Alarm]\r\nPhoneNumber=0791234567\r\nName=Ann\r\nMessage=Kessel \xC3\xBC" "ber 3 \xC3\x9C" "berdruck\r\n");
  std::filesystem::rename(folder / "jobs/a.part", folder / "jobs/a.sms");
  ASSERT_TRUE(process_until([&] { return window->CellImageIndex(0) == 2; }));
  EXPECT_EQ(window->CellLabel(0)->toolTip(), QString::fromUtf8("sending 'Kessel \u00fcber 3  (...)' to Ann"));
  ASSERT_TRUE(process_until([&] { return window->CellImageIndex(0) == 0; }));
  EXPECT_TRUE(window->CellLabel(0)->text().isEmpty());
  bool green = false;
  for (int i = 0; i < window->LogList()->count(); ++i) {
    green = green || (window->LogList()->item(i)->text().endsWith("Message sent to 0791234567") &&
                      window->LogList()->LineColour(i) == kGreen);
  }
  EXPECT_TRUE(green);

  // Exit stops the gateway in order before the window closes.
  bool stopped = false;
  QObject::connect(window.get(), &CMainDialog::Stopped, [&stopped] { stopped = true; });
  window->close();
  ASSERT_TRUE(process_until([&] { return stopped; }));
  EXPECT_FALSE(window->isVisible());
}

// Hands each notification on to the window, and keeps what cell 0 was set to at the moment
// it changed: the window itself may show only the last of two quick changes.
class CellHistory : public WindowSink {
 public:
  CellHistory(Gateway& gateway, WindowSink& window) : gateway_(gateway), window_(window) {}
  void notify(int number) override {
    // Passed on first: once a change is recorded, the window has its notification.
    window_.notify(number);
    if (number == 1) {
      std::lock_guard lock(mutex_);
      cells_.push_back(gateway_.jobs.job_cell(0));
    }
  }
  // The gateway's threads end with the window: nothing calls notify afterwards.
  ~CellHistory() override { gateway_.stop_workers(kStopLimitMs); }
  std::vector<JobCell> Cells() {
    std::lock_guard lock(mutex_);
    return cells_;
  }

 private:
  Gateway& gateway_;
  WindowSink& window_;
  std::mutex mutex_;
  std::vector<JobCell> cells_;
};

struct CellStatesCase {
  const char* name;
  std::vector<sim::CommandRule> rules;
  int retry_count;
  std::vector<int> images;
};

// One alarm job through the real gateway on the simulated modem: its cell goes blue while
// it is sent, yellow with the time of the next try while it waits, red when the last try
// failed or green when it went out, and grey once reported.
TEST(MainDialogCellStates, AJobsCellSaysWhereItsDeliveryStands) {
  const CellStatesCase cases[] = {
      {"sent at once", {}, 3, {kCellSending, kCellSent, kCellFree}},
      {"sent at the second try",
       {sim::CommandRule::cms_error("+CMGS", 500, 1)},
       3,
       {kCellSending, kCellWaitingForRetry, kCellSending, kCellSent, kCellFree}},
      {"every try fails",
       {sim::CommandRule::cms_error("+CMGS", 500)},
       2,
       {kCellSending, kCellWaitingForRetry, kCellSending, kCellFailed, kCellFree}},
  };
  const std::map<int, QString> labels = {
      {kCellSending, "sending alarm 7 to Ann"},
      {kCellWaitingForRetry, "next try \\d\\d:\\d\\d:\\d\\d alarm 7 to Ann"},
      {kCellSent, "sent alarm 7 to Ann"},
      {kCellFailed, "failed alarm 7 to Ann"},
      {kCellFree, ""},
  };
  for (const CellStatesCase& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempFolder folder;
    test::FastClock fast_clock(50.0);
    sim::ModemSimulator modem;
    modem.configure([&c](sim::ModemConfig& config) { config.rules = c.rules; });
    std::filesystem::create_directories(folder / "log");
    std::filesystem::create_directories(folder / "tables");
    std::filesystem::copy_file(std::filesystem::path(QZGSMS_FIXTURES_DIR) / "dbf/db3_report.dbf",
                               folder / "tables/plant.dbf");
    test::write_file(folder / "qzalarm.ini", "[qzasms]\nSendWithQzgsms=1\n");
    test::write_file(folder / "QZGSMS.INI", "[Config]\nPort=" + modem.slave_path() +
                                                "\nWatchPath=jobs\nDonePath=done\nErrorPath=error\n"
                                                "WatchLogPath=tables\nIncomingEnable=0\nRetryDelay=30\n"
                                                "RetryCount=" + std::to_string(c.retry_count) + "\n");
    Gateway gateway(folder.path());
    CMainDialog window(gateway, nullptr, answer_no, CMainDialog::Start::kNever);
    CellHistory history(gateway, window);
    ASSERT_TRUE(init_gsms(gateway, &history));
    test::write_file(folder / "jobs/a.part", "[Alarm]\r\nSzenario=plant\r\nPhoneNumber=0791234567\r\n"
                                             "Name=Ann\r\nMessage=Boiler\r\nAlarmKey=7\r\ndbentry=1\r\n");
    std::filesystem::rename(folder / "jobs/a.part", folder / "jobs/a.sms");
    ASSERT_TRUE(process_until([&] { return history.Cells().size() >= c.images.size(); }, 60s));
    settle();
    const std::vector<JobCell> cells = history.Cells();
    std::vector<int> images;
    for (const JobCell& cell : cells) images.push_back(cell.image);
    EXPECT_EQ(images, c.images);
    EXPECT_EQ(window.CellImageIndex(0), kCellFree) << "the window shows the last change";

    // Each state as the window shows it: the right telephone, and the start of the label
    // (the time of the next try) in its first line.
    for (const JobCell& cell : cells) {
      const QString label = QString::fromStdString(cell.label);
      EXPECT_TRUE(QRegularExpression("^" + labels.at(cell.image) + "$").match(label).hasMatch())
          << label.toStdString();
      gateway.jobs.show_job_cell(0, cell.image, cell.label);
      settle();
      EXPECT_EQ(window.CellImageIndex(0), cell.image);
      const QString first_line = window.CellLabel(0)->text().section('\n', 0, 0);
      EXPECT_TRUE(label.startsWith(first_line)) << first_line.toStdString();
      if (cell.image == kCellWaitingForRetry) {
        EXPECT_TRUE(first_line.contains(QRegularExpression("\\d\\d:\\d\\d:\\d\\d"))) << first_line.toStdString();
      }
      EXPECT_EQ(window.CellLabel(0)->toolTip(), label);
    }
  }
}

}  // namespace
}  // namespace qz::ui
