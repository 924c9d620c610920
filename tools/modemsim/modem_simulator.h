// A GSM modem on a pseudo-terminal, for the gateway's tests and demos.
//
// The simulator opens a pty, keeps the master side and answers AT commands in text mode
// on its own thread, as a modem on a serial line would. The gateway opens slave_path() as
// its serial port, may close and reopen it (the modem keeps its state, as a real one
// does), and may lock it with TIOCEXCL: the simulator holds a slave descriptor of its own
// from the start, so its side never sees a hang-up, and it clears a stale exclusive flag
// once every other descriptor of the slave is closed, so that a restarted gateway can open
// the port again.
//
//   qz::sim::ModemSimulator modem;
//   modem.configure([](qz::sim::ModemConfig& c) {
//     c.pin = "1234";
//     c.rules.push_back(qz::sim::CommandRule::error("+KMMCNF"));
//   });
//   ... start the gateway on modem.slave_path() ...
//   ASSERT_TRUE(modem.wait_for_command("AT+CSQ", std::chrono::seconds(5)));
//   EXPECT_EQ(modem.sms().at(0).text, "Alarm");
//
// Every member is thread-safe. Commands, texts and transfers are recorded with steady
// clock times; the accessors return copies.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "modemsim/config.h"
#include "modemsim/modem_engine.h"
#include "modemsim/recording.h"

namespace qz::sim {

class ModemSimulator {
 public:
  // Opens the pty and starts answering. Throws std::system_error when no pty can be had.
  explicit ModemSimulator(ModemConfig config = {});
  ~ModemSimulator();
  ModemSimulator(const ModemSimulator&) = delete;
  ModemSimulator& operator=(const ModemSimulator&) = delete;

  // The device to open as the modem's serial port, e.g. "/dev/pts/7"; a new one after
  // come_back().
  std::string slave_path() const;
  // Keeps `path` a symbolic link to the device (an existing link there is replaced): a
  // name that stays while the device comes and goes, as /dev/ttyUSB0 or a udev link does.
  void set_link(const std::string& path);

  // The modem is unplugged: its pty goes, so the gateway's descriptor hangs up (reads and
  // writes fail with EIO) and the link goes too. Returns once it is gone.
  void vanish();
  // Plugged in again: a new pty, the link pointing at it, the modem in its power-on state
  // (power_cycle()); the message store and the recording are kept. Returns once it is back.
  void come_back();

  // Ends the thread; nothing is answered afterwards. Also done by the destructor.
  void stop();

  // ---- behaviour ----
  // Changes the configuration under the lock; takes effect from the next byte received.
  void configure(const std::function<void(ModemConfig&)>& change);
  ModemConfig config() const;
  void add_rule(CommandRule rule);
  void clear_rules();
  void set_silent(bool silent);
  void set_signal(int level);
  void set_reply_delay(Millis delay);

  // ---- modem state ----
  ModemState state() const;
  // Back to the power-on state (echo, functionality, message format, service centre from
  // the configuration; PIN to enter again); the message store is kept.
  void power_cycle();

  // ---- message store ----
  // Puts a received SMS into the store; with notify a "+CMTI" line announces it. Returns
  // the index, or -1 when the store is full or the index is taken or out of range.
  int add_message(StoredMessage message, bool notify = false);
  int add_message(std::string sender, std::string text, bool notify = false);
  std::vector<StoredMessage> messages() const;
  void clear_messages();

  // ---- noise and unsolicited output ----
  // Raw bytes, sent at once between two answers (also when silent).
  void inject(std::string bytes);
  // One unsolicited line with the modem's framing: "\r\n<line>\r\n".
  void inject_line(std::string_view line);

  // ---- recording ----
  Recording recording() const;
  std::vector<ReceivedCommand> commands() const;
  std::vector<std::string> command_lines() const;
  std::vector<SubmittedSms> sms() const;
  std::vector<DialledCall> calls() const;
  std::vector<StoredMms> mms() const;
  std::vector<int> deletions() const;
  // Received command lines starting with prefix, case ignored ("AT+CMGL=" or "at+cmgl=").
  std::size_t count_commands(std::string_view prefix) const;
  void clear_recording();

  // Waits until the `occurrence`-th command starting with prefix (case ignored) has been
  // received, counting every command since the start or the last clear_recording().
  std::optional<ReceivedCommand> wait_for_command(std::string_view prefix, Millis timeout,
                                                  std::size_t occurrence = 1) const;
  // Waits until pred holds for the recording; pred runs under the lock and must not call
  // back into the simulator. True when it held in time.
  bool wait_for(const std::function<bool(const Recording&)>& pred, Millis timeout) const;

  // Receives one readable line for each event (command received, SMS, call, transfer,
  // port opened or closed). Called on the simulator's thread outside its lock.
  void set_log_sink(std::function<void(const std::string&)> sink);

 private:
  void run();
  void wake();
  // The pty, its slave descriptor and the watch on it; throws std::system_error.
  void open_pty();
  void close_pty();
  // Brings the pty to what vanish() / come_back() asked for; on the thread.
  void follow_presence();
  void update_link();
  void watch_slave_events();
  void write_pending();

  std::string slave_path_;  // guarded by mutex_
  std::string link_;        // guarded by mutex_
  bool present_wanted_ = true;  // guarded by mutex_
  bool present_ = false;        // guarded by mutex_; the descriptors change on the thread only
  int master_fd_ = -1;
  int slave_fd_ = -1;   // our own descriptor: no hang-up when the gateway closes
  int wake_fd_ = -1;    // eventfd that interrupts poll()
  int notify_fd_ = -1;  // inotify on the slave, to see the gateway open and close it
  int others_open_ = 0;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  ModemEngine engine_;
  std::string unwritten_;
  std::function<void(const std::string&)> sink_;

  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace qz::sim
