// The chaos test: jobs of every kind arrive over time while the real gateway is killed
// with SIGKILL and stopped with SIGTERM at awkward moments and started again each time,
// on a modem that stays up and now and then answers ERROR, keeps silent or is slow. At
// the end every job must be reported once, sent once (a SIGKILL may repeat the one
// attempt it cut, a SIGTERM never), and filed once with its own bytes.
//
// QZGSMS_CHAOS_JOBS, QZGSMS_CHAOS_KILLS and QZGSMS_CHAOS_TERMS set its size (40, 4, 2);
// QZGSMS_CHAOS_SEED repeats a run's plan (the seed is printed with every failure).
#include <gtest/gtest.h>

#include <atomic>
#include <iostream>
#include <set>
#include <sstream>
#include <thread>

#include "e2e/chaos_support.h"
#include "e2e/e2e_support.h"

namespace qz {
namespace {

using namespace std::chrono_literals;
using namespace test::chaos;
using Steady = sim::SimClock;
using test::files_in;

// What an interruption waits for before it strikes.
enum class Moment {
  kAnyTime,        // a random while
  kDuringStartup,  // while the gateway brings the modem up or settles its journal
  kAttemptStarted, // just after a send began on the modem line
  kDelivered,      // just after the modem took an SMS, a call or an MMS
  kFiled,          // just after a job file appeared in done/ or error/
};

const char* moment_name(Moment m) {
  switch (m) {
    case Moment::kAnyTime: return "any time";
    case Moment::kDuringStartup: return "during start-up";
    case Moment::kAttemptStarted: return "attempt started";
    case Moment::kDelivered: return "just delivered";
    case Moment::kFiled: return "just filed";
  }
  return "?";
}

bool starts_with_nocase(const std::string& text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  }
  return true;
}

std::size_t deliveries(const sim::Recording& r) {
  std::size_t n = r.calls.size();
  for (const auto& sms : r.sms) n += sms.accepted ? 1 : 0;
  for (const auto& mms : r.mms) n += mms.submitted ? 1 : 0;
  return n;
}

// Sends begun on the modem line: counted from `scanned` on, which moves past what was
// counted, so that polling stays cheap however long the recording grows.
std::size_t count_attempts(const sim::Recording& r, std::size_t& scanned) {
  std::size_t n = 0;
  for (; scanned < r.commands.size(); ++scanned) {
    const std::string& line = r.commands[scanned].line;
    if (starts_with_nocase(line, "at+cmgs=") || starts_with_nocase(line, "atd") ||
        starts_with_nocase(line, "at+kpsw=\"")) {
      ++n;
    }
  }
  return n;
}

// One-shot faults of the modem line. None of them loses an answer to a message the modem
// took: a lost "+CMGS" reply would make any gateway send again, and that is no fault of
// the gateway's.
std::vector<sim::CommandRule> modem_faults() {
  return {
      sim::CommandRule::error("+CMGS", 1),
      sim::CommandRule::cms_error("+CMGS", 500, 1),
      sim::CommandRule::error("+CSMP", 1),
      sim::CommandRule::ignore("+CSMP", 1),             // silence
      sim::CommandRule::ignore("+CMGS", 1),             // no prompt
      sim::CommandRule::delayed("+CMGS", 40ms, 1),      // a slow prompt, still in time
      sim::CommandRule::delayed("+CSMP", 40ms, 1),
      sim::CommandRule::delayed("+COLP", 40ms, 1),
      sim::CommandRule::replace("D", "\r\nNO CARRIER\r\n", 1),              // no connection
      sim::CommandRule::replace("D", "\r\nOK\r\n\r\nNO CARRIER\r\n", 1),    // carrier lost at once
      sim::CommandRule::ignore("D", 1),                 // the dial is never answered
      sim::CommandRule::error("+KPSW=\"MMS\"", 1),
      sim::CommandRule::error("+KPSSEND", 1),
  };
}

// A few bytes of JPEG are enough for the MMS: the modem only stores them.
constexpr char kTinyJpeg[] = "\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xff\xd9";

// A file in the watch folder that the file mask does not take.
constexpr const char* kNotAJob = "notes.txt";

std::string ms_since(Steady::time_point origin, Steady::time_point t) {
  return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(t - origin).count());
}

class ChaosRun {
 public:
  explicit ChaosRun(const ChaosConfig& config)
      : config_(config),
        random_(config.seed + 3),
        reports_(gw_.folder / "sanitizer"),
        gateway_(gw_.folder.path()) {
    std::mt19937_64 plan_random(config.seed);
    plan_ = make_plan(config.jobs, plan_random);
  }

  ~ChaosRun() {
    stop_threads();
    gateway_.kill();
  }

  void prepare() {
    // The voice hold (2 s) and the retry delay (1 s) are gateway seconds: 40 and 20 ms here.
    gw_.write_settings("RetryCount=5\nRetryDelay=1\nVoiceCallDuration=2\nNumber=+41790000000\nWatchTimeout=2\n");
    for (const auto& [scenario, rows] : plan_.rows) make_report_table(table(scenario), rows + kSpareRows);
    test::write_file(gw_.folder / "QZAMSG.INI", plan_.alarm_texts);
    std::filesystem::create_directories(gw_.folder / "media");
    test::write_file(gw_.folder / "media/pic.jpg",
                     std::string(kTinyJpeg, sizeof kTinyJpeg - 1));
    std::filesystem::create_directories(gw_.watch());
    // Not a job file: it belongs to whoever put it there and stays.
    test::write_file(gw_.watch() / kNotAJob, "the alarm application's own notes\n");
    gw_.modem.configure([](sim::ModemConfig& c) {
      // A real modem takes a while to submit; it widens the moment between "the modem has
      // it" and "the gateway knows", which is where a SIGKILL costs a repeat.
      c.sms.submit_delay = 10ms;
      c.mms.report_delay = 5ms;
      // A transfer cut by a SIGKILL must not swallow the next run's start-up for long.
      c.mms.data_timeout = 100ms;
    });
  }

  void run() {
    origin_ = Steady::now();
    dropper_ = std::jthread([this](std::stop_token stop) { drop_jobs(stop); });
    faults_ = std::jthread([this](std::stop_token stop) { inject_faults(stop); });
    start_gateway();

    std::vector<bool> order(std::size_t(config_.kills), true);
    order.insert(order.end(), std::size_t(config_.terms), false);
    std::shuffle(order.begin(), order.end(), random_);
    for (bool kill : order) {
      Moment moment = pick_moment();
      bool reached = wait_for(moment);
      supervise();
      Interruption e;
      e.kill = kill;
      if (kill) {
        gateway_.kill();
      } else {
        e.at = Steady::now();
        term_codes_.push_back(gateway_.terminate(30s));
      }
      settle_modem();
      e.ended = Steady::now();
      if (kill) e.at = e.ended;
      events_.push_back(e);
      timeline_.push_back("+" + ms_since(origin_, e.at) + " ms " + (kill ? "SIGKILL" : "SIGTERM") + " (" +
                          moment_name(moment) + (reached ? "" : ", not reached") + ")" +
                          (kill || !term_codes_.back() ? "" : " exit " + std::to_string(*term_codes_.back())));
      std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 40)(random_)));
      start_gateway();
    }
  }

  // After the last start: every job dropped, then every job file out of the watch folder.
  bool drain() {
    dropper_.join();
    stop_threads();
    gw_.modem.clear_rules();
    auto deadline = Steady::now() + 30s + config_.jobs * 500ms;
    while (Steady::now() < deadline) {
      supervise();
      if (job_files_waiting().empty()) break;
      std::this_thread::sleep_for(20ms);
    }
    std::vector<std::string> waiting = job_files_waiting();
    auto code = gateway_.terminate(30s);
    term_codes_.push_back(code);
    timeline_.push_back("+" + ms_since(origin_, Steady::now()) + " ms final SIGTERM" +
                        (code ? " exit " + std::to_string(*code) : std::string(" did not end")));
    if (!waiting.empty()) {
      std::string names;
      for (const auto& n : waiting) names += " " + n;
      ADD_FAILURE() << "still in the watch folder after the wait:" << names;
      for (const auto& n : waiting) note_problem_job(n);
      return false;
    }
    return true;
  }

  void check();
  void print_summary() const;
  void print_diagnostics() const;

 private:
  std::filesystem::path table(const std::string& scenario) const {
    return gw_.folder / "tables" / (scenario + ".dbf");
  }

  // Job files, and job files taken aside to be removed: all but the one file that is no job.
  std::vector<std::string> job_files_waiting() const {
    std::vector<std::string> names;
    for (const auto& n : entries_in(gw_.watch())) {
      if (n != kNotAJob) names.push_back(n);
    }
    return names;
  }

  void start_gateway() {
    gateway_.start();
    started_at_ = Steady::now();
    ++starts_;
  }

  // What an ended process wrote last may still be on its way through the pty: its end
  // counts once the modem has taken in everything (nothing new for a while).
  void settle_modem() {
    auto recorded = [this] {
      std::size_t n = 0;
      gw_.modem.wait_for([&n](const sim::Recording& r) { n = r.commands.size() + r.sms.size(); return true; }, 0ms);
      return n;
    };
    std::size_t last = recorded();
    auto quiet_since = Steady::now(), limit = Steady::now() + 2s;
    while (Steady::now() - quiet_since < 30ms && Steady::now() < limit) {
      std::this_thread::sleep_for(2ms);
      if (std::size_t n = recorded(); n != last) {
        last = n;
        quiet_since = Steady::now();
      }
    }
  }

  // A gateway that ended on its own (exit code 1 after a modem it could not bring up) is
  // started again, as its supervisor would.
  void supervise() {
    if (gateway_.running()) return;
    timeline_.push_back("+" + ms_since(origin_, Steady::now()) + " ms the gateway ended by itself, exit " +
                        std::to_string(gateway_.exit_code()));
    self_ended_.push_back(gateway_.exit_code());
    start_gateway();
  }

  Moment pick_moment() {
    static constexpr Moment kMoments[] = {Moment::kAnyTime, Moment::kDuringStartup, Moment::kAttemptStarted,
                                          Moment::kDelivered, Moment::kDelivered, Moment::kFiled};
    return kMoments[std::uniform_int_distribution<std::size_t>(0, std::size(kMoments) - 1)(random_)];
  }

  std::size_t filed_count() const {
    return files_in(gw_.done()).size() + files_in(gw_.error()).size();
  }

  // Waits (supervising) for the moment; false when it did not come within a few seconds.
  bool wait_for(Moment moment) {
    auto until = [this](const std::function<bool()>& ready, std::chrono::milliseconds limit) {
      auto deadline = Steady::now() + limit;
      while (Steady::now() < deadline) {
        if (ready()) return true;
        supervise();
        std::this_thread::sleep_for(500us);
      }
      return false;
    };
    auto ms = [this](int low, int high) {
      return std::chrono::milliseconds(std::uniform_int_distribution<int>(low, high)(random_));
    };
    switch (moment) {
      case Moment::kAnyTime: {
        auto at = Steady::now() + ms(10, 400);
        return until([at] { return Steady::now() >= at; }, 1s);
      }
      case Moment::kDuringStartup: {
        auto at = started_at_ + ms(0, 150);
        return until([at] { return Steady::now() >= at; }, 1s);
      }
      case Moment::kAttemptStarted: {
        std::size_t scanned = 0;
        gw_.modem.wait_for([&scanned](const sim::Recording& r) { count_attempts(r, scanned); return true; }, 0ms);
        bool ok = until([&] {
          return gw_.modem.wait_for([&scanned](const sim::Recording& r) { return count_attempts(r, scanned) > 0; }, 0ms);
        }, 3s);
        std::this_thread::sleep_for(ms(0, 3));
        return ok;
      }
      case Moment::kDelivered: {
        std::size_t before = 0;
        gw_.modem.wait_for([&before](const sim::Recording& r) { before = deliveries(r); return true; }, 0ms);
        bool ok = until([&] { return gw_.modem.wait_for([before](const sim::Recording& r) { return deliveries(r) > before; }, 0ms); }, 3s);
        std::this_thread::sleep_for(ms(0, 4));
        return ok;
      }
      case Moment::kFiled: {
        std::size_t before = filed_count();
        return until([&] { return filed_count() > before; }, 3s);
      }
    }
    return false;
  }

  // Jobs arrive over about as long as the interruptions take, now one by one, now in bursts.
  void drop_jobs(std::stop_token stop) {
    std::mt19937_64 random(config_.seed + 1);
    int span_ms = std::max(500, (config_.kills + config_.terms) * 300);
    int mean_ms = std::max(1, span_ms / std::max(1, config_.jobs));
    std::uniform_int_distribution<int> pause(0, mean_ms * 5 / 2);
    std::bernoulli_distribution burst(0.2);
    for (const Job& job : plan_.jobs) {
      if (stop.stop_requested()) return;
      if (!burst(random)) std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
      gw_.drop_job(job.name, job.bytes);
    }
  }

  void inject_faults(std::stop_token stop) {
    std::mt19937_64 random(config_.seed + 2);
    const std::vector<sim::CommandRule> faults = modem_faults();
    std::uniform_int_distribution<std::size_t> pick(0, faults.size() - 1);
    std::uniform_int_distribution<int> pause(30, 250);
    while (!stop.stop_requested()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
      sim::CommandRule fault = faults[pick(random)];
      gw_.modem.configure([&](sim::ModemConfig& c) {
        std::erase_if(c.rules, [](const sim::CommandRule& r) { return r.times == 0; });
        // At most two waiting, so that no job meets a fault at every one of its tries.
        if (c.rules.size() < 2) {
          c.rules.push_back(fault);
          faults_injected_.fetch_add(1);
        }
      });
    }
  }

  void stop_threads() {
    if (dropper_.joinable()) {
      dropper_.request_stop();
      dropper_.join();
    }
    if (faults_.joinable()) {
      faults_.request_stop();
      faults_.join();
    }
  }

  void note_problem_job(const std::string& needle) { problem_needles_.insert(needle); }

  ChaosConfig config_;
  std::mt19937_64 random_;
  Plan plan_;
  test::GatewayInstance gw_;
  SanitizerReports reports_;
  GatewayRun gateway_;
  std::jthread dropper_, faults_;

  Steady::time_point origin_, started_at_;
  int starts_ = 0;
  std::atomic<int> faults_injected_{0};
  std::vector<Interruption> events_;
  std::vector<std::optional<std::uint32_t>> term_codes_;
  std::vector<std::uint32_t> self_ended_;
  std::vector<std::string> timeline_;
  std::set<std::string> problem_needles_;

  // Filled by check() for the summary.
  Deliveries deliveries_;
  int repeats_ = 0, reported_sent_ = 0, reported_failed_ = 0;
  std::map<Kind, int> failed_kinds_;
  std::size_t done_files_ = 0, error_files_ = 0, watch_files_ = 0;
};

void ChaosRun::check() {
  // Every stop was orderly.
  for (std::size_t i = 0; i < term_codes_.size(); ++i) {
    if (!term_codes_[i]) ADD_FAILURE() << "SIGTERM " << i + 1 << " did not end the gateway within 30 s";
    else EXPECT_EQ(*term_codes_[i], 0u) << "exit code after SIGTERM " << i + 1;
  }
  EXPECT_EQ(reports_.collected(), "") << "the gateway's sanitizer reports";
  // A gateway may give up on a modem it cannot bring up (exit code 1, for its supervisor);
  // any other end of its own is a crash.
  for (std::uint32_t code : self_ended_) EXPECT_EQ(code, 1u) << "the gateway ended by itself";

  // Only what is no job file stays in the watch folder; nothing half written anywhere.
  auto watch = entries_in(gw_.watch());
  watch_files_ = watch.size();
  EXPECT_EQ(watch, std::vector<std::string>{kNotAJob});
  std::error_code ec;
  auto journal = gw_.folder / "qzgsms-jobs.journal";
  if (std::filesystem::exists(journal)) {
    EXPECT_EQ(test::read_file(journal), "") << "the job journal still holds entries after the last stop";
  }

  // Each job file is filed exactly once, with its own bytes, where its outcome says.
  std::map<std::string, const Job*> by_bytes;
  for (const Job& job : plan_.jobs) by_bytes[job.bytes] = &job;
  struct Filed {
    bool in_done;
    std::string name;
    bool noted;
  };
  std::map<int, std::vector<Filed>> filed;
  for (bool in_done : {true, false}) {
    auto folder = in_done ? gw_.done() : gw_.error();
    auto names = entries_in(folder);
    (in_done ? done_files_ : error_files_) = names.size();
    for (const auto& name : names) {
      if (name.front() == '.') {
        ADD_FAILURE() << "a temporary file is left behind: " << (folder / name);
        continue;
      }
      std::string bytes = test::read_file(folder / name);
      auto stripped = without_success_note(bytes);
      auto it = by_bytes.find(stripped ? *stripped : bytes);
      if (it == by_bytes.end()) {
        ADD_FAILURE() << "a filed file that matches no job's bytes: " << (folder / name) << "\n" << bytes;
        continue;
      }
      filed[it->second->index].push_back({in_done, name, stripped.has_value()});
    }
  }

  std::map<std::string, TableContents> tables;
  for (const auto& [scenario, rows] : plan_.rows) {
    tables[scenario] = read_report_table(table(scenario), rows + kSpareRows);
    EXPECT_EQ(tables[scenario].problem, "") << "report table " << scenario;
  }
  std::map<std::string, std::set<int>> owned_rows;

  std::map<int, bool> sent;
  for (const Job& job : plan_.jobs) {
    const auto& copies = filed[job.index];
    if (copies.size() != 1) {
      std::string where;
      for (const auto& c : copies) where += std::string(" ") + (c.in_done ? "done/" : "error/") + c.name;
      ADD_FAILURE() << job.name << " (" << kind_name(job.kind) << ") was filed " << copies.size() << " times:" << where;
      note_problem_job(job.name);
      continue;
    }
    const Filed& f = copies.front();
    bool stamped = !job.is_bad();
    EXPECT_TRUE(filed_name_matches(f.name, job.name, stamped)) << job.name << " was filed as " << f.name;
    if (!job.sends()) {
      EXPECT_FALSE(f.in_done) << job.name << " (" << kind_name(job.kind) << ") belongs in error/";
    }
    EXPECT_EQ(f.noted, f.in_done) << job.name << " in " << (f.in_done ? "done/" : "error/") << " as " << f.name
                                  << (f.noted ? " carries" : " lacks") << " the success note";
    sent[job.index] = f.in_done;
    if (job.sends()) ++(f.in_done ? reported_sent_ : reported_failed_);
    if (job.sends() && !f.in_done) ++failed_kinds_[job.kind];

    if (job.has_row()) {
      owned_rows[job.scenario].insert(job.dbentry);
      const auto& rows = tables[job.scenario].rows;
      if (std::size_t(job.dbentry) < rows.size()) {
        int expected = job.kind == Kind::kUnknownType ? 0 : f.in_done ? 8 : 3;
        const TableRow& row = rows[std::size_t(job.dbentry)];
        if (row.status != expected) {
          ADD_FAILURE() << job.name << ": row " << job.dbentry + 1 << " of " << job.scenario << " has STATUS "
                        << row.status << ", its outcome says " << expected;
          note_problem_job(job.name);
        }
        EXPECT_EQ(row.time.size(), 6u) << job.name << ": TIME of its row";
      }
    }
  }
  // Rows no job names were never written, not even by a bad request that names one.
  for (const auto& [scenario, contents] : tables) {
    for (std::size_t r = 0; r < contents.rows.size(); ++r) {
      if (owned_rows[scenario].count(int(r))) continue;
      EXPECT_EQ(contents.rows[r].status, kUntouchedStatus) << "row " << r + 1 << " of " << scenario << " belongs to no job";
      EXPECT_EQ(contents.rows[r].time, "") << "row " << r + 1 << " of " << scenario << " belongs to no job";
    }
  }

  // Sent exactly once, but for the attempt a SIGKILL cut.
  deliveries_ = attribute_sends(plan_.jobs, gw_.modem.recording());
  for (const auto& stray : deliveries_.strays) ADD_FAILURE() << stray;
  for (const Job& job : plan_.jobs) {
    std::size_t n = deliveries_.by_job.count(job.index) ? deliveries_.by_job.at(job.index).size() : 0;
    if (!job.sends() && n != 0) {
      ADD_FAILURE() << job.name << " (" << kind_name(job.kind) << ") was sent " << n << " times";
      note_problem_job(job.name);
    }
    if (job.sends() && sent[job.index] && n == 0) {
      ADD_FAILURE() << job.name << " (" << kind_name(job.kind) << ", " << job.number
                    << ") is reported sent, but the modem never took it";
      note_problem_job(job.name);
      note_problem_job(job.number);
    }
  }
  RepeatVerdict verdict = explain_repeats(deliveries_.by_job, sent, events_, plan_.jobs, origin_);
  repeats_ = verdict.repeats;
  for (const auto& problem : verdict.problems) {
    ADD_FAILURE() << problem;
    note_problem_job(problem.substr(0, problem.find(' ')));
  }
  EXPECT_LE(verdict.repeats, config_.kills);

  // Nothing the gateway could not do on the way.
  std::string log = gw_.daily_log();
  for (const char* trouble : {"could not move", "cannot write the job journal", "cannot rewrite the job journal",
                              "could not update", "jobs overflow", "could not remove"}) {
    EXPECT_EQ(log.find(trouble), std::string::npos) << "the daily log says '" << trouble << "'";
  }
}

void ChaosRun::print_summary() const {
  std::map<Kind, int> kinds;
  for (const Job& job : plan_.jobs) ++kinds[job.kind];
  std::ostringstream out;
  out << "chaos summary: seed " << config_.seed << " | jobs " << plan_.jobs.size() << " (";
  bool first = true;
  for (const auto& [kind, n] : kinds) {
    out << (first ? "" : ", ") << n << " " << kind_name(kind);
    first = false;
  }
  out << ")";
  if (!failed_kinds_.empty()) {
    out << " | failed after their tries:";
    for (const auto& [kind, n] : failed_kinds_) out << " " << n << " " << kind_name(kind);
  }
  out << " | SIGKILL " << config_.kills << ", SIGTERM " << config_.terms << " (+1 final), ended by itself "
      << self_ended_.size() << ", starts " << starts_ << " | modem faults " << faults_injected_.load()
      << " | sends " << deliveries_.total << ", repeats " << repeats_ << " | reported sent " << reported_sent_
      << ", failed " << reported_failed_ << " | done/ " << done_files_ << ", error/ " << error_files_
      << ", watch/ " << watch_files_ << "\n";
  std::cout << out.str() << std::flush;
}

void ChaosRun::print_diagnostics() const {
  std::cout << "---- timeline (ms since the first start) ----\n";
  for (const auto& line : timeline_) std::cout << line << "\n";
  std::string log = gw_.daily_log();
  std::cout << "---- daily log lines about the jobs in question ----\n";
  std::istringstream lines(log);
  std::string line;
  int shown = 0;
  while (std::getline(lines, line) && shown < 400) {
    bool about = false;
    for (const auto& needle : problem_needles_) {
      if (!needle.empty() && line.find(needle) != std::string::npos) about = true;
    }
    // Starts, stops and the journal's own lines place the others in time.
    about = about || line.find("Job journal") != std::string::npos || line.find("Stopping") != std::string::npos ||
            line.find("ReadJobsThread started") != std::string::npos;
    if (about) {
      std::cout << line << "\n";
      ++shown;
    }
  }
  for (const Job& job : plan_.jobs) {
    if (problem_needles_.count(job.name)) {
      std::cout << "---- " << job.name << " (" << job.number << ") ----\n" << job.bytes;
    }
  }
  std::cout << std::flush;
}

TEST(Chaos, EveryJobIsReportedAndFiledOnceAndSentOnceThroughKillsAndStops) {
  ChaosConfig config = ChaosConfig::from_environment();
  SCOPED_TRACE("repeat with QZGSMS_CHAOS_SEED=" + std::to_string(config.seed) + " QZGSMS_CHAOS_JOBS=" +
               std::to_string(config.jobs) + " QZGSMS_CHAOS_KILLS=" + std::to_string(config.kills) +
               " QZGSMS_CHAOS_TERMS=" + std::to_string(config.terms));
  std::cout << "chaos: seed " << config.seed << ", " << config.jobs << " jobs, " << config.kills << " SIGKILL, "
            << config.terms << " SIGTERM" << std::endl;
  ChaosRun chaos(config);
  chaos.prepare();
  chaos.run();
  bool drained = chaos.drain();
  if (drained) chaos.check();
  chaos.print_summary();
  if (::testing::Test::HasFailure()) chaos.print_diagnostics();
}

// The accounting above decides what counts as a repeat; it must not let one through.
TEST(ChaosAccounting, ARepeatNeedsASigkillOfItsOwnBetweenTheTwoSends) {
  std::vector<Job> jobs(2);
  jobs[0].index = 0;
  jobs[0].name = "a.sms";
  jobs[1].index = 1;
  jobs[1].name = "b.sms";
  const Steady::time_point t0 = Steady::now();
  auto at = [t0](int ms) { return t0 + std::chrono::milliseconds(ms); };
  std::map<int, std::vector<Send>> sends = {{0, {{at(10), "SMS"}, {at(30), "SMS"}}},
                                            {1, {{at(12), "SMS"}, {at(40), "SMS"}}}};
  std::map<int, bool> sent = {{0, true}, {1, true}};

  // One SIGKILL between both pairs explains one of them only.
  auto one_kill = explain_repeats(sends, sent, {{true, at(20), at(20)}}, jobs, t0);
  EXPECT_EQ(one_kill.repeats, 2);
  EXPECT_EQ(one_kill.problems.size(), 1u);

  // A SIGTERM explains nothing, and is named in the problem.
  auto stop = explain_repeats(sends, sent, {{true, at(20), at(20)}, {false, at(25), at(28)}}, jobs, t0);
  ASSERT_EQ(stop.problems.size(), 1u);
  EXPECT_NE(stop.problems[0].find("SIGTERM"), std::string::npos);

  // Two SIGKILLs, each inside its own gap, explain both; one before the first send does not.
  EXPECT_TRUE(explain_repeats(sends, sent, {{true, at(11), at(11)}, {true, at(35), at(35)}}, jobs, t0).problems.empty());
  EXPECT_EQ(explain_repeats(sends, sent, {{true, at(5), at(5)}, {true, at(35), at(35)}}, jobs, t0).problems.size(), 1u);

  // A job reported failed had every one of its sends cut short.
  std::map<int, bool> failed = {{0, false}, {1, true}};
  std::map<int, std::vector<Send>> once = {{0, {{at(10), "call"}}}};
  EXPECT_EQ(explain_repeats(once, failed, {}, jobs, t0).problems.size(), 1u);
  EXPECT_TRUE(explain_repeats(once, failed, {{true, at(50), at(50)}}, jobs, t0).problems.empty());
}

TEST(ChaosAccounting, FiledNamesAndNotesAreRecognisedStrictly) {
  EXPECT_TRUE(filed_name_matches("65F1A2B3-c0001.sms", "c0001.sms", true));
  EXPECT_TRUE(filed_name_matches("65F1A2B3-c0001-2.sms", "c0001.sms", true));
  EXPECT_FALSE(filed_name_matches("65f1a2b3-c0001.sms", "c0001.sms", true));
  EXPECT_FALSE(filed_name_matches("c0001.sms", "c0001.sms", true));
  EXPECT_FALSE(filed_name_matches("65F1A2B3-c0001.sms", "c0001.sms", false));
  EXPECT_TRUE(filed_name_matches("c0001-1.sms", "c0001.sms", false));
  EXPECT_FALSE(filed_name_matches("c0001-x.sms", "c0001.sms", false));
  EXPECT_FALSE(filed_name_matches("c00012.sms", "c0001.sms", false));

  EXPECT_EQ(without_success_note("[Alarm]\r\n2024.3.1 9:5 ALARM successfully sent"), "[Alarm]\r\n");
  EXPECT_EQ(without_success_note("[Alarm]\r\nALARM successfully sent"), std::nullopt);
  EXPECT_EQ(without_success_note("[Alarm]\r\n2024.3.1 9:5 ALARM successfully sent\r\n"), std::nullopt);
}

}  // namespace
}  // namespace qz
