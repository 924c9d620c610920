// The soak: thousands of jobs through the real gateway on a fast clock, a tenth of them
// malformed and one in twenty meeting a modem fault (ERROR, silence, a call whose carrier
// is lost), with at most 30 job files waiting at a time so that the run measures steady
// state. Afterwards every job is accounted for (sent once, reported once, filed once with
// its own bytes), and the gateway's descriptors, threads and memory, sampled from
// /proc/<pid> as it ran, must have stayed flat.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <random>
#include <thread>

#include "gateway_process.h"
#include "jobs/database.h"
#include "measurements.h"

namespace qz::bench {

namespace {

using Steady = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The gateway takes at most 30 jobs at a time; more waiting files would only queue.
constexpr int kInFlight = 30;
constexpr int kTables = 4;
constexpr double kFaultShare = 0.05;
// Memory the gateway may still gain in the second half of the run (allocator slack, the
// daily log's buffers); a leak of a job's worth per job is far beyond it.
constexpr long kRssSlackKib = 1024;
// Descriptors open for a moment (a job file being read, a table being written) make single
// samples differ by a few.
constexpr int kFdSlack = 3;

// A few bytes of JPEG are enough for the MMS: the modem only stores them.
constexpr char kTinyJpeg[] = "\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xff\xd9";

enum class Kind { kSms, kVoice, kMms, kMini, kBad };

struct SoakJob {
  Kind kind = Kind::kSms;
  std::string name;
  std::string bytes;
  std::string number;
  std::string text;
  int table = -1;  // with a report row: its table and zero-based row
  int dbentry = -1;
  bool sendable() const { return kind != Kind::kBad; }
};

std::string table_name(int t) { return "soak" + std::to_string(t); }

std::vector<SoakJob> make_jobs(int count, std::mt19937_64& random, std::array<int, kTables>& rows) {
  std::vector<SoakJob> jobs(static_cast<std::size_t>(count));
  std::uniform_int_distribution<int> percent(0, 99);
  for (int i = 0; i < count; ++i) {
    SoakJob& job = jobs[std::size_t(i)];
    char name[32], number[32];
    std::snprintf(name, sizeof name, "soak%05d.sms", i);
    std::snprintf(number, sizeof number, "+4178%07d", i);
    job.name = name;
    job.number = number;
    job.text = "Soak alarm " + std::to_string(i) + " pump " + std::to_string(percent(random)) + " failed";
    if (i % 10 == 9) {
      job.kind = Kind::kBad;
    } else {
      int p = percent(random);
      job.kind = p < 70 ? Kind::kSms : p < 83 ? Kind::kVoice : p < 93 ? Kind::kMms : Kind::kMini;
    }
    if (job.kind != Kind::kMini && job.kind != Kind::kBad) {
      job.table = i % kTables;
      job.dbentry = rows[std::size_t(job.table)]++;
    }
    const std::string head = "[Alarm]\r\nSzenario=" + (job.table >= 0 ? table_name(job.table) : "") +
                             "\r\nName=Subscriber " + std::to_string(i) + "\r\nPhoneNumber=" + job.number + "\r\n";
    const std::string row = "dbentry=" + std::to_string(job.dbentry) + "\r\n";
    switch (job.kind) {
      case Kind::kSms:
        job.bytes = head + "Message=" + job.text + "\r\n" + row + "ContentType=SMS\r\n";
        break;
      case Kind::kVoice:
        job.bytes = head + "Message=" + job.text + "\r\n" + row + "ContentType=VC\r\n";
        break;
      case Kind::kMms:
        job.bytes = head + "Message=" + job.text + "\r\n" + row +
                    "ContentType=application/vnd.wap.multipart.mixed\r\n[MMS]\r\nSubject=Soak " +
                    std::to_string(i) + "\r\nFile1=media\\pic.jpg\r\n";
        break;
      case Kind::kMini:
        job.bytes = "[Alarm]\r\nName=Night shift\r\nPhoneNumber=" + job.number + "\r\nMessage=" + job.text + "\r\n";
        break;
      case Kind::kBad:
        // No number, no text and no scenario, or no job file at all.
        job.number.clear();
        job.bytes = (i / 10) % 3 == 0   ? "[Alarm]\r\nSzenario=soak0\r\nMessage=" + job.text + "\r\n"
                    : (i / 10) % 3 == 1 ? "[Alarm]\r\nPhoneNumber=+4177" + std::to_string(i) + "\r\n"
                                        : "not a job file " + std::to_string(i) + "\r\n";
        break;
    }
  }
  return jobs;
}

bool make_table(const std::filesystem::path& path, int rows) {
  static const std::vector<DbfFieldDef> fields = {
      {"NAME", 'C', 30, 0}, {"PHONE", 'C', 20, 0}, {"TY1", 'C', 3, 0},    {"TY2", 'C', 3, 0},
      {"TY3", 'C', 3, 0},   {"TY4", 'C', 3, 0},    {"STATUS", 'N', 3, 0}, {"TIME", 'C', 6, 0},
      {"TI1", 'C', 6, 0},   {"TI2", 'C', 6, 0},    {"TI3", 'C', 6, 0},    {"TI4", 'C', 6, 0},
      {"TO1", 'N', 3, 0},   {"TO2", 'N', 3, 0},    {"TO3", 'N', 3, 0},    {"TO4", 'N', 3, 0}};
  CDatabase db;
  if (db.Create(path.string(), fields) != 1) return false;
  db.SetAutoFlush(0);
  bool written = true;
  for (int r = 0; written && r < rows; ++r) {
    written = db.Append() == 1 && db.Replace("TY1", std::string("SMS")) == 1 && db.Replace("STATUS", 1) == 1;
  }
  written = written && db.Flush() == 1;
  db.Close();
  return written;
}

// One-shot faults by kind of job; each meets the next attempt of that kind, whichever job
// it belongs to. None loses the answer to a message the modem took.
sim::CommandRule fault_for(Kind kind, std::mt19937_64& random) {
  std::uniform_int_distribution<int> pick(0, 2);
  switch (kind) {
    case Kind::kVoice:
      switch (pick(random)) {
        case 0: return sim::CommandRule::replace("D", "\r\nOK\r\n\r\nNO CARRIER\r\n", 1);  // carrier lost
        case 1: return sim::CommandRule::replace("D", "\r\nNO CARRIER\r\n", 1);
        default: return sim::CommandRule::ignore("+COLP", 1);  // silence
      }
    case Kind::kMms:
      return pick(random) == 0 ? sim::CommandRule::error("+KPSW=\"MMS\"", 1) : sim::CommandRule::error("+KPSSEND", 1);
    default:
      switch (pick(random)) {
        case 0: return sim::CommandRule::error("+CMGS", 1);
        case 1: return sim::CommandRule::cms_error("+CMGS", 500, 1);
        default: return sim::CommandRule::ignore("+CSMP", 1);  // silence
      }
  }
}

bool drop(const std::filesystem::path& watch, const SoakJob& job) {
  std::string part = (watch / (job.name + ".part")).string();
  int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool written = ::write(fd, job.bytes.data(), job.bytes.size()) == ssize_t(job.bytes.size());
  if (::close(fd) != 0 || !written) return false;
  return ::rename(part.c_str(), (watch / job.name).c_str()) == 0;
}

// Job files (by the gateway's mask) still in the watch folder.
int waiting_in(const std::filesystem::path& watch) {
  int n = 0;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(watch, ec)) {
    std::string name = e.path().filename().string();
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".sms") == 0) ++n;
  }
  return n;
}

// "soak01234" anywhere in a filed name gives 1234; -1 when there is none.
int job_index_in(const std::string& name) {
  auto at = name.find("soak");
  if (at == std::string::npos || at + 9 > name.size()) return -1;
  int index = 0;
  for (std::size_t i = at + 4; i < at + 9; ++i) {
    if (name[i] < '0' || name[i] > '9') return -1;
    index = index * 10 + (name[i] - '0');
  }
  return index;
}

int index_of_number(const std::string& number) {
  if (number.size() != 12 || number.compare(0, 5, "+4178") != 0) return -1;
  return std::atoi(number.c_str() + 5);
}

// The recipient of an MMS, as its PDU names it ("+4178.../TYPE=PLMN").
std::string mms_recipient(const std::string& pdu) {
  auto end = pdu.find("/TYPE=PLMN");
  if (end == std::string::npos) return "";
  auto begin = end;
  while (begin > 0 && (std::isdigit(static_cast<unsigned char>(pdu[begin - 1])) || pdu[begin - 1] == '+')) --begin;
  return pdu.substr(begin, end - begin);
}

bool ends_with_success_note(const std::string& filed, const std::string& original) {
  if (filed.size() <= original.size() || filed.compare(0, original.size(), original) != 0) return false;
  std::string note = filed.substr(original.size());
  return note.size() > 24 && note.compare(note.size() - 24, 24, " ALARM successfully sent") == 0;
}

SoakSample sample_at(long pid, Steady::time_point t0, int filed) {
  ProcessSample p = sample_process(pid);
  SoakSample s;
  s.seconds = std::chrono::duration<double>(Steady::now() - t0).count();
  s.filed = filed;
  s.open_fds = p.open_fds;
  s.threads = p.threads;
  s.rss_kib = p.rss_kib;
  return s;
}

void print_sample(const SoakSample& s) {
  std::printf("  %8.1f %8d %6d %8d %10.1f\n", s.seconds, s.filed, s.open_fds, s.threads, s.rss_kib / 1024.0);
  std::fflush(stdout);
}

// Counts what went wrong, and names the first few cases.
class Tally {
 public:
  void add(int& counter, const std::string& what) {
    ++counter;
    if (shown_++ < 10) std::printf("  ! %s\n", what.c_str());
  }

 private:
  int shown_ = 0;
};

void account(const std::vector<SoakJob>& jobs, const std::filesystem::path& folder, const sim::Recording& recording,
             SoakResult& r) {
  Tally tally;
  const int n = int(jobs.size());
  std::vector<int> sends(std::size_t(n), 0);
  auto deliver = [&](const std::string& number, const char* what, const std::string* text) {
    int i = index_of_number(number);
    if (i < 0 || i >= n || !jobs[std::size_t(i)].sendable()) {
      tally.add(r.misfiled, std::string("a ") + what + " to " + number + " that no job asked for");
      return;
    }
    if (text != nullptr && *text != jobs[std::size_t(i)].text) {
      tally.add(r.misfiled, jobs[std::size_t(i)].name + ": its SMS says '" + *text + "'");
    }
    ++sends[std::size_t(i)];
    ++r.sends;
  };
  for (const auto& sms : recording.sms) {
    if (sms.accepted) deliver(sms.number, "SMS", &sms.text);
  }
  for (const auto& call : recording.calls) deliver(call.number, "call", nullptr);
  for (const auto& mms : recording.mms) {
    if (mms.submitted) deliver(mms_recipient(mms.pdu), "MMS", nullptr);
  }

  // Where each job file went, and with which bytes.
  std::vector<int> filed_done(std::size_t(n), 0), filed_error(std::size_t(n), 0);
  for (bool done : {true, false}) {
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(folder / (done ? "done" : "error"), ec)) {
      std::string name = e.path().filename().string();
      ++(done ? r.done_files : r.error_files);
      int i = job_index_in(name);
      if (name.front() == '.' || i < 0 || i >= n) {
        tally.add(r.misfiled, std::string(done ? "done/" : "error/") + name + " belongs to no job");
        continue;
      }
      const SoakJob& job = jobs[std::size_t(i)];
      std::string bytes = read_file(e.path());
      bool stamped = name.size() > 9 && name[8] == '-' && name.compare(9, 4, "soak") == 0;
      bool right = done ? stamped && ends_with_success_note(bytes, job.bytes)
                        : bytes == job.bytes && stamped == job.sendable();
      if (!right) tally.add(r.misfiled, std::string(done ? "done/" : "error/") + name + " has the wrong name or bytes");
      ++(done ? filed_done : filed_error)[std::size_t(i)];
    }
  }

  std::array<std::vector<int>, kTables> statuses;
  for (int t = 0; t < kTables; ++t) {
    CDatabase db;
    if (db.Open((folder / "tables" / (table_name(t) + ".dbf")).string()) != 1) continue;
    for (int rec = 1; db.Go(rec) == 0; ++rec) {
      int status = -1;
      db.GetField("STATUS", status);
      statuses[std::size_t(t)].push_back(status);
    }
    db.Close();
  }

  std::map<Kind, int> failed_by_kind;
  for (int i = 0; i < n; ++i) {
    const SoakJob& job = jobs[std::size_t(i)];
    const int done = filed_done[std::size_t(i)], error = filed_error[std::size_t(i)], sent = sends[std::size_t(i)];
    if (done + error != 1) {
      tally.add(r.misfiled, job.name + " was filed " + std::to_string(done + error) + " times");
      if (done + error == 0 && job.sendable() && sent == 0) tally.add(r.lost, job.name + " vanished unsent");
      continue;
    }
    if (!job.sendable()) {
      if (done) tally.add(r.misfiled, job.name + " is malformed but was filed in done/");
      if (sent) tally.add(r.duplicated, job.name + " is malformed but was sent");
      continue;
    }
    if (sent > 1) tally.add(r.duplicated, job.name + " was delivered " + std::to_string(sent) + " times");
    if (done && sent == 0) tally.add(r.lost, job.name + " is reported sent, but the modem never took it");
    if (error && sent > 0) tally.add(r.misfiled, job.name + " was delivered but is reported failed");
    if (error && sent == 0) {
      ++r.failed;
      ++failed_by_kind[job.kind];
    }
    if (job.table >= 0) {
      const auto& rows = statuses[std::size_t(job.table)];
      int expected = done ? 8 : 3;
      if (std::size_t(job.dbentry) >= rows.size() || rows[std::size_t(job.dbentry)] != expected) {
        tally.add(r.rows_wrong, job.name + ": its report row does not say " + std::to_string(expected));
      }
    }
  }
  for (const auto& [kind, count] : failed_by_kind) {
    static const char* const names[] = {"SMS", "voice call", "MMS", "mini-message (one try)", "malformed"};
    r.failed_kinds += (r.failed_kinds.empty() ? "" : ", ") + std::to_string(count) + " " + names[int(kind)];
  }
}

}  // namespace

SoakResult measure_soak(const Options& options) {
  SoakResult r;
  ScratchFolder folder(options.scratch, "soak", options.keep);
  std::mt19937_64 random(20240301);
  std::array<int, kTables> rows{};
  const std::vector<SoakJob> jobs = make_jobs(options.soak_jobs, random, rows);
  r.jobs = int(jobs.size());
  r.malformed = int(std::count_if(jobs.begin(), jobs.end(), [](const SoakJob& j) { return !j.sendable(); }));

  sim::ModemSimulator modem;
  modem.configure([](sim::ModemConfig& c) {
    c.mms.report_delay = 5ms;  // the network's delivery report, in real time
  });
  // Gateway seconds: a 1 s voice hold and a 1 s retry delay are 20 ms each at 50x.
  GatewayProcess gateway(options.fast_gateway, folder.path(), modem,
                         "IncomingEnable=0\nQualityPollEverySecs=1000\nRetryCount=5\nRetryDelay=1\n"
                         "VoiceCallDuration=1\nNumber=+41790000000\n",
                         {std::to_string(options.soak_speed)});
  for (int t = 0; t < kTables; ++t) {
    if (!make_table(folder / "tables" / (table_name(t) + ".dbf"), rows[std::size_t(t)])) {
      r.problem = "cannot make the report tables";
      return r;
    }
  }
  std::filesystem::create_directories(folder / "media");
  write_file(folder / "media/pic.jpg",
             std::string(kTinyJpeg, sizeof kTinyJpeg - 1));
  if (!gateway.start() || !gateway.wait_until_started(60s)) {
    r.problem = gateway.error();
    return r;
  }
  const long pid = gateway.pid();
  const std::filesystem::path watch = gateway.watch();

  std::printf("  %8s %8s %6s %8s %10s\n", "seconds", "filed", "fds", "threads", "RSS MiB");
  std::bernoulli_distribution faulty(kFaultShare);
  const auto t0 = Steady::now();
  auto next_sample = t0;
  auto last_progress = t0;
  int dropped = 0, filed = 0, next_print = 0;
  while (filed < r.jobs) {
    int waiting = waiting_in(watch);
    if (dropped - waiting > filed) last_progress = Steady::now();
    filed = dropped - waiting;
    while (waiting < kInFlight && dropped < r.jobs) {
      const SoakJob& job = jobs[std::size_t(dropped)];
      if (job.sendable() && faulty(random)) {
        modem.add_rule(fault_for(job.kind, random));
        ++r.faults;
      }
      if (!drop(watch, job)) {
        r.problem = "cannot drop " + job.name;
        break;
      }
      ++dropped;
      ++waiting;
    }
    if (!r.problem.empty()) break;
    if (Steady::now() >= next_sample) {
      r.samples.push_back(sample_at(pid, t0, filed));
      next_sample += 1s;
      if (filed >= next_print) {
        print_sample(r.samples.back());
        next_print += std::max(1, r.jobs / 10);
      }
    }
    if (!gateway.running()) {
      r.problem = "the gateway ended during the soak";
      break;
    }
    if (Steady::now() - last_progress > 120s) {
      r.problem = "no job was filed for two minutes (" + std::to_string(waiting) + " waiting)";
      break;
    }
    std::this_thread::sleep_for(2ms);
  }
  if (r.problem.empty()) {
    r.samples.push_back(sample_at(pid, t0, filed));
    print_sample(r.samples.back());
  }
  r.wall_seconds = std::chrono::duration<double>(Steady::now() - t0).count();
  r.exit_code = gateway.terminate(30s);

  for (const auto& rule : modem.config().rules) r.faults_met += rule.times == 0 ? 1 : 0;
  if (r.problem.empty()) account(jobs, folder.path(), modem.recording(), r);

  if (!r.samples.empty()) {
    // From a few per cent on: the first jobs warm up allocator and caches.
    auto at_share = [&](double share) {
      for (const auto& s : r.samples) {
        if (s.filed >= share * r.jobs) return s;
      }
      return r.samples.back();
    };
    r.start = at_share(0.03);
    r.middle = at_share(0.5);
    r.end = r.samples.back();
    int fds_early = 0, fds_late = 0, threads_early = 0, threads_late = 0;
    for (const auto& s : r.samples) {
      bool early = s.filed < r.jobs / 4;
      bool late = s.filed >= r.jobs * 3 / 4;
      if (early) fds_early = std::max(fds_early, s.open_fds), threads_early = std::max(threads_early, s.threads);
      if (late) fds_late = std::max(fds_late, s.open_fds), threads_late = std::max(threads_late, s.threads);
    }
    r.flat = fds_late <= std::max(fds_early, r.start.open_fds) + kFdSlack && threads_late <= std::max(threads_early, r.start.threads) &&
             r.end.rss_kib - r.middle.rss_kib <= kRssSlackKib;
  }
  r.ok = r.problem.empty() && r.lost == 0 && r.duplicated == 0 && r.misfiled == 0 && r.rows_wrong == 0 &&
         r.flat && r.exit_code == 0u;
  if (r.problem.empty() && !r.ok) {
    r.problem = !r.flat ? "descriptors, threads or memory grew"
                : r.exit_code != 0u ? "the gateway did not stop in order"
                                   : "jobs lost, repeated or misfiled";
  }
  return r;
}

}  // namespace qz::bench
