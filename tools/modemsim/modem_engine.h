// The simulated modem without any I/O: bytes go in with receive(), and the bytes it wants
// to send come out of take_due() once their time has come. Not thread-safe; the
// ModemSimulator serialises every call.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "modemsim/config.h"
#include "modemsim/recording.h"

namespace qz::sim {

class ModemEngine {
 public:
  explicit ModemEngine(ModemConfig config);

  ModemConfig& config() { return config_; }
  const ModemConfig& config() const { return config_; }
  ModemState state() const;
  const Recording& recording() const { return recording_; }
  void clear_recording() { recording_ = {}; }

  // Back to the power-on state: echo, functionality, message format and service centre
  // from the configuration, PIN to enter again, no transfer or call in progress. The
  // message store survives, as it does on a SIM.
  void power_cycle(SimClock::time_point now);

  void receive(std::string_view bytes, SimClock::time_point now);
  // Runs what is due without input: stalled transfers, periodic noise.
  void tick(SimClock::time_point now);
  // When tick() or take_due() next has something to do.
  std::optional<SimClock::time_point> next_deadline() const;
  // The output whose time has come, in order.
  std::string take_due(SimClock::time_point now);

  // Raw bytes out as soon as possible, between two answers, even when silent.
  void inject(std::string bytes, SimClock::time_point now);

  // Index used, or -1 when the index is taken, out of range or the store is full.
  int add_message(StoredMessage message, bool notify, SimClock::time_point now);
  std::vector<StoredMessage> messages() const;
  void clear_messages() { store_.clear(); }

  // Human-readable lines about what happened, for a log; taken once.
  std::vector<std::string> take_log();

 private:
  enum class Mode { Command, SmsText, MmsData };
  enum Tag : int { kTagNone = 0, kTagCall = 1 };

  struct Chunk {
    std::string bytes;
    int tag = kTagNone;
    bool reply = false;  // answers keep their order; timed reports do not
  };

  struct Reply {
    Reply() = default;
    Reply(std::string text) : bytes(std::move(text)) {}  // NOLINT: answers read as text
    std::string bytes;
    Millis delay{0};
    int tag = kTagNone;
    // Sent later, counted from the time the reply goes out, whatever happens to it.
    struct Later {
      Millis after{0};
      std::string bytes;
      int tag = kTagNone;
    };
    std::vector<Later> later;
  };

  void receive_command_byte(char c, SimClock::time_point now);
  void receive_sms_byte(char c, SimClock::time_point now);
  void execute(const std::string& line, SimClock::time_point now);
  Reply dispatch(const std::string& body, SimClock::time_point now);
  const CommandRule* take_rule(const std::string& upper_body);

  Reply basic_command(const std::string& upper, const std::string& body);
  Reply dial(const std::string& body, SimClock::time_point now);
  Reply extended(const std::string& name, const std::string& suffix, SimClock::time_point now);
  Reply pin(const std::string& suffix);
  Reply list_messages(const std::string& suffix);
  Reply delete_message(const std::string& suffix);
  Reply submit_sms(const std::string& suffix);
  Reply mms_store(const std::string& suffix, SimClock::time_point now);
  Reply mms_send(const std::string& suffix);
  Reply mms_delete(const std::string& suffix);
  void finish_sms(bool cancelled, SimClock::time_point now);
  void finish_mms(SimClock::time_point now);

  bool sim_locked() const { return !config_.pin.empty() && !pin_entered_; }
  void queue_reply(Reply reply, Millis extra_delay, bool drop, std::string before,
            SimClock::time_point now);
  void schedule(SimClock::time_point due, std::string bytes, int tag);
  void cancel(int tag);
  void log(std::string line);
  std::string next_handle();
  StoredMms* recorded_mms(const std::string& handle);

  ModemConfig config_;
  Recording recording_;
  std::vector<std::string> log_;

  // Settings kept by the modem.
  bool echo_ = true;
  bool pin_entered_ = false;
  int functionality_ = 1;
  int message_format_ = 0;
  std::string charset_ = "GSM";
  std::string service_centre_;
  int service_centre_type_ = 145;
  std::string sms_parameters_;
  int report_routing_ = 0;  // <ds> of AT+CNMI: 1 passes delivery reports on as "+CDS:"
  bool colp_ = false;
  std::string mms_url_;
  std::string mms_parameters_;

  // Input state.
  Mode mode_ = Mode::Command;
  std::string line_;
  bool line_overflow_ = false;
  bool skip_lf_ = false;
  std::string sms_number_;
  std::string sms_text_;
  std::optional<std::size_t> sms_pdu_length_;  // set for a submission in PDU mode
  SmsFailure sms_failure_ = SmsFailure::None;
  std::string mms_pdu_;
  std::size_t mms_expected_ = 0;
  MmsStore mms_store_ = MmsStore::Ok;
  SimClock::time_point mms_deadline_{};

  // Output waiting for its time; equal times keep their order.
  std::multimap<SimClock::time_point, Chunk> pending_;
  SimClock::time_point last_reply_due_{};
  std::optional<SimClock::time_point> next_periodic_;

  std::map<int, StoredMessage> store_;
  std::set<std::string> mms_handles_;  // stored and not deleted
  int sms_reference_ = 0;

  // The delivery report of the SMS just accepted, when it asked for one and one is due;
  // empty otherwise.
  std::string status_report_for(const SubmittedSms& sms) const;
  std::uint64_t handle_counter_ = 0;
};

// Bytes shown in a log line: printable ASCII as it is, the rest as \r, \n or \xHH.
std::string printable(std::string_view bytes);

}  // namespace qz::sim
