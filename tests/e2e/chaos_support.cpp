#include "e2e/chaos_support.h"

#include <shapefil.h>
#include <signal.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <stdexcept>
#include <thread>

#include "jobs/database.h"
#include "support/run_program.h"
#include "support/temp_folder.h"

namespace qz::test::chaos {

namespace {

int environment_int(const char* name, int fallback, int low, int high) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return fallback;
  return std::clamp(std::atoi(value), low, high);
}

// Plain ASCII words only: the modem records texts in the GSM alphabet, which differs
// from ASCII in '@', '$', '_' and a few others.
const char* const kWords[] = {"boiler", "pressure", "low",   "pump",  "failed", "door",  "open",
                              "smoke",  "level",    "high",  "fire",  "flood",  "cellar", "gate",
                              "power",  "lost",     "sensor", "tank", "north",  "south", "valve"};
const char* const kScenarios[] = {"plant", "hall", "gate"};

std::string words(std::mt19937_64& random, int count) {
  std::uniform_int_distribution<std::size_t> pick(0, std::size(kWords) - 1);
  std::string out;
  for (int i = 0; i < count; ++i) {
    if (!out.empty()) out += ' ';
    out += kWords[pick(random)];
  }
  return out;
}

const std::vector<DbfFieldDef> kReportFields = {
    {"NAME", 'C', 30, 0}, {"PHONE", 'C', 20, 0}, {"TY1", 'C', 3, 0},    {"TY2", 'C', 3, 0},
    {"TY3", 'C', 3, 0},   {"TY4", 'C', 3, 0},    {"STATUS", 'N', 3, 0}, {"TIME", 'C', 6, 0},
    {"TI1", 'C', 6, 0},   {"TI2", 'C', 6, 0},    {"TI3", 'C', 6, 0},    {"TI4", 'C', 6, 0},
    {"TO1", 'N', 3, 0},   {"TO2", 'N', 3, 0},    {"TO3", 'N', 3, 0},    {"TO4", 'N', 3, 0}};

std::string alarm_head(const Job& job, const std::string& name) {
  return "[Alarm]\r\nSzenario=" + job.scenario + "\r\nName=" + name + "\r\nPhoneNumber=" + job.number + "\r\n";
}

}  // namespace

ChaosConfig ChaosConfig::from_environment() {
  ChaosConfig c;
  c.jobs = environment_int("QZGSMS_CHAOS_JOBS", c.jobs, 1, 100000);
  c.kills = environment_int("QZGSMS_CHAOS_KILLS", c.kills, 0, 10000);
  c.terms = environment_int("QZGSMS_CHAOS_TERMS", c.terms, 0, 10000);
  const char* seed = std::getenv("QZGSMS_CHAOS_SEED");
  if (seed != nullptr && *seed != '\0') {
    c.seed = std::strtoull(seed, nullptr, 0);
  } else {
    c.seed = (uint64_t{std::random_device{}()} << 32) ^ std::random_device{}();
  }
  return c;
}

const char* kind_name(Kind kind) {
  switch (kind) {
    case Kind::kSms: return "SMS";
    case Kind::kKeyedSms: return "SMS with a text key";
    case Kind::kVoice: return "voice call";
    case Kind::kMms: return "MMS";
    case Kind::kMini: return "mini-message";
    case Kind::kUnknownType: return "unknown type";
    case Kind::kBadRequest: return "bad request";
  }
  return "?";
}

Plan make_plan(int count, std::mt19937_64& random) {
  // The mix: at least one of each kind once there are enough jobs.
  auto share = [count](int percent, int least) {
    return count >= 20 ? std::max(least, count * percent / 100) : (count * percent + 50) / 100;
  };
  std::vector<Kind> kinds;
  auto add = [&kinds](Kind k, int n) { kinds.insert(kinds.end(), std::size_t(std::max(0, n)), k); };
  add(Kind::kBadRequest, share(10, 2));
  add(Kind::kUnknownType, share(3, 1));
  add(Kind::kMini, share(10, 2));
  add(Kind::kMms, share(10, 2));
  add(Kind::kVoice, share(15, 2));
  add(Kind::kKeyedSms, share(10, 1));
  if (int(kinds.size()) > count) kinds.resize(std::size_t(count));
  add(Kind::kSms, count - int(kinds.size()));
  std::shuffle(kinds.begin(), kinds.end(), random);

  Plan plan;
  plan.alarm_texts = "[Messages]\r\n";
  std::uniform_int_distribution<int> scenario_pick(0, int(std::size(kScenarios)) - 1);
  std::uniform_int_distribution<int> serial(10000, 99999);
  std::uniform_int_distribution<int> length(2, 6);
  std::vector<Job*> bad;
  plan.jobs.resize(kinds.size());
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    Job& job = plan.jobs[i];
    job.index = int(i);
    job.kind = kinds[i];
    char name[40], number[40], tag[32];
    std::snprintf(name, sizeof name, "c%04zu.sms", i);
    std::snprintf(number, sizeof number, "+417955%05zu", i);
    std::snprintf(tag, sizeof tag, "c%04zu", i);
    job.name = name;
    job.number = number;
    job.text = std::string(tag) + " " + words(random, length(random)) + " " + std::to_string(serial(random));
    if (job.kind != Kind::kMini && job.kind != Kind::kBadRequest) {
      job.scenario = kScenarios[scenario_pick(random)];
      job.dbentry = plan.rows[job.scenario]++;
    }
    const std::string person = std::string("Subscriber ") + tag;
    switch (job.kind) {
      case Kind::kSms:
        job.bytes = alarm_head(job, person) + "Message=" + job.text + "\r\ndbentry=" +
                    std::to_string(job.dbentry) + "\r\nContentType=SMS\r\n";
        break;
      case Kind::kKeyedSms: {
        std::string key = "K" + std::string(tag + 1);  // at most 7 characters are read
        plan.alarm_texts += key + "=" + job.text + "\r\n";
        job.bytes = alarm_head(job, person) + "AlarmKey=" + key + "\r\ndbentry=" + std::to_string(job.dbentry) + "\r\n";
        break;
      }
      case Kind::kVoice:
        job.bytes = alarm_head(job, person) + "Message=" + job.text + "\r\ndbentry=" +
                    std::to_string(job.dbentry) + "\r\nContentType=VC\r\n";
        break;
      case Kind::kMms:
        job.bytes = alarm_head(job, person) + "Message=" + job.text + "\r\ndbentry=" +
                    std::to_string(job.dbentry) +
                    "\r\nContentType=application/vnd.wap.multipart.mixed\r\n[MMS]\r\nSubject=" + tag +
                    "\r\nFile1=media\\pic.jpg\r\n";
        break;
      case Kind::kMini:
        job.bytes = "[Alarm]\r\nName=" + person + "\r\nPhoneNumber=" + job.number + "\r\nMessage=" + job.text + "\r\n";
        break;
      case Kind::kUnknownType:
        job.bytes = alarm_head(job, person) + "Message=" + job.text + "\r\ndbentry=" +
                    std::to_string(job.dbentry) + "\r\nContentType=FAX\r\n";
        break;
      case Kind::kBadRequest:
        bad.push_back(&job);
        break;
    }
  }
  // Bad requests that name a row name a spare one, which must stay as it is.
  for (std::size_t n = 0; n < bad.size(); ++n) {
    Job& job = *bad[n];
    const std::string scenario = kScenarios[n % std::size(kScenarios)];
    const std::string spare = std::to_string(plan.rows[scenario]);
    switch (n % 4) {
      case 0:  // no number
        job.number.clear();
        job.bytes = "[Alarm]\r\nSzenario=" + scenario + "\r\nName=Nobody\r\nMessage=" + job.text +
                    "\r\ndbentry=" + spare + "\r\n";
        break;
      case 1:  // a number but neither a text nor a scenario
        job.bytes = "[Alarm]\r\nPhoneNumber=" + job.number + "\r\nName=" + job.text + "\r\n";
        break;
      case 2:  // not a job file at all
        job.number.clear();
        job.bytes = "this is no job file: " + job.text + "\r\n";
        break;
      case 3:  // an empty number
        job.number.clear();
        job.bytes = "[Alarm]\r\nSzenario=" + scenario + "\r\nPhoneNumber=\r\nMessage=" + job.text +
                    "\r\ndbentry=" + spare + "\r\n";
        break;
    }
  }
  // Texts of alarms nobody raises today, as a real QZAMSG.INI holds plenty of them.
  for (int k = 0; k < 300; ++k) plan.alarm_texts += "X" + std::to_string(k) + "=unused text " + std::to_string(k) + "\r\n";
  return plan;
}

void make_report_table(const std::filesystem::path& path, int rows) {
  {
    CDatabase db;
    if (db.Create(path.string(), kReportFields) != 1) throw std::runtime_error("cannot create " + path.string());
    db.Close();
  }
  DBFHandle table = DBFOpen(path.c_str(), "rb+");
  if (table == nullptr) throw std::runtime_error("cannot open " + path.string());
  for (int r = 0; r < rows; ++r) {
    std::string name = "Subscriber " + std::to_string(r + 1);
    DBFWriteStringAttribute(table, r, DBFGetFieldIndex(table, "NAME"), name.c_str());
    DBFWriteStringAttribute(table, r, DBFGetFieldIndex(table, "TY1"), "SMS");
    DBFWriteIntegerAttribute(table, r, DBFGetFieldIndex(table, "STATUS"), kUntouchedStatus);
  }
  DBFClose(table);
}

TableContents read_report_table(const std::filesystem::path& path, int rows) {
  TableContents contents;
  DBFHandle raw = DBFOpen(path.c_str(), "rb");
  if (raw == nullptr) {
    contents.problem = "shapelib cannot open it";
    return contents;
  }
  int count = DBFGetRecordCount(raw);
  DBFClose(raw);
  if (count != rows) {
    contents.problem = "it holds " + std::to_string(count) + " records instead of " + std::to_string(rows);
    return contents;
  }
  CDatabase db;
  if (db.Open(path.string()) != 1) {
    contents.problem = "CDatabase cannot open it";
    return contents;
  }
  for (int r = 1; r <= rows; ++r) {
    if (db.Go(r) != 0) {
      contents.problem = "record " + std::to_string(r) + " cannot be reached";
      break;
    }
    for (const auto& field : kReportFields) {
      std::string value;
      if (db.GetField(field.name, value) != 1) {
        contents.problem = "field " + field.name + " of record " + std::to_string(r) + " cannot be read";
        break;
      }
    }
    TableRow row;
    db.GetField("STATUS", row.status);
    db.GetField("TIME", row.time);
    contents.rows.push_back(row);
  }
  db.Close();
  return contents;
}

GatewayRun::GatewayRun(std::filesystem::path folder) : folder_(std::move(folder)) {}

GatewayRun::~GatewayRun() {
  if (running()) kill();
}

void GatewayRun::start() {
  process_ = std::make_unique<ChildProcess>(std::vector<std::string>{QZGSMS_FAST_GATEWAY, "50"}, folder_);
  exit_code_ = 0;
  if (!process_->start()) throw std::runtime_error("cannot start the gateway: " + error_line(process_->error()));
}

bool GatewayRun::running() {
  if (!process_) return false;
  if (process_->is_running()) return true;
  exit_code_ = process_->exit_code();
  process_.reset();
  return false;
}

bool GatewayRun::wait_gone(std::chrono::milliseconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (running()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  return true;
}

void GatewayRun::kill() {
  if (!running()) return;
  ::kill(static_cast<pid_t>(process_->process_id()), SIGKILL);
  if (!wait_gone(std::chrono::seconds(20))) throw std::runtime_error("the gateway outlived SIGKILL");
}

std::optional<std::uint32_t> GatewayRun::terminate(std::chrono::milliseconds limit) {
  if (!running()) return std::nullopt;
  // A stop goes to a gateway that can take it: one sent while the program is still being
  // loaded ends it by the signal's default action (exit code 143) before it has done
  // anything at all, which tells nothing about its stop.
  takes_stop_signals(static_cast<int>(process_->process_id()), std::chrono::seconds(10));
  ::kill(static_cast<pid_t>(process_->process_id()), SIGTERM);
  if (!wait_gone(limit)) return std::nullopt;
  return exit_code_;
}

SanitizerReports::SanitizerReports(std::filesystem::path folder) : folder_(std::move(folder)) {
  std::filesystem::create_directories(folder_);
  for (const char* name : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS"}) {
    const char* old = std::getenv(name);
    saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    std::string value = old ? std::string(old) + ":" : std::string();
    value += "log_path=" + (folder_ / "report").string();
    ::setenv(name, value.c_str(), 1);
  }
}

SanitizerReports::~SanitizerReports() {
  for (const auto& [name, old] : saved_) {
    if (old) ::setenv(name.c_str(), old->c_str(), 1);
    else ::unsetenv(name.c_str());
  }
}

std::string SanitizerReports::collected() const {
  std::string all;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder_, ec)) {
    all += "---- " + entry.path().filename().string() + " ----\n" + read_file(entry.path());
  }
  return all;
}

Deliveries attribute_sends(const std::vector<Job>& jobs, const sim::Recording& recording) {
  Deliveries d;
  std::map<std::string, const Job*> by_number;
  for (const Job& job : jobs) {
    if (!job.number.empty()) by_number[job.number] = &job;
  }
  auto add = [&d](const Job& job, SimTime at, const char* what) {
    d.by_job[job.index].push_back({at, what});
    ++d.total;
  };
  for (const auto& sms : recording.sms) {
    if (!sms.accepted) continue;
    auto it = by_number.find(sms.number);
    if (it == by_number.end()) {
      d.strays.push_back("an SMS to " + sms.number + " that no job asked for: " + sms.text);
      continue;
    }
    if (it->second->kind != Kind::kSms && it->second->kind != Kind::kKeyedSms && it->second->kind != Kind::kMini) {
      d.strays.push_back("an SMS to " + sms.number + ", whose job " + it->second->name + " is a " +
                         kind_name(it->second->kind));
    } else if (sms.text != it->second->text) {
      d.strays.push_back("the SMS to " + sms.number + " says '" + sms.text + "' instead of '" + it->second->text + "'");
    }
    add(*it->second, sms.at, "SMS");
  }
  for (const auto& call : recording.calls) {
    auto it = by_number.find(call.number);
    if (it == by_number.end() || it->second->kind != Kind::kVoice) {
      d.strays.push_back("a call to " + call.number + " that no voice job asked for");
      if (it == by_number.end()) continue;
    }
    add(*it->second, call.at, "call");
  }
  for (const auto& mms : recording.mms) {
    if (!mms.submitted) continue;
    const Job* owner = nullptr;
    for (const Job& job : jobs) {
      if (job.kind == Kind::kMms && mms.pdu.find(job.number) != std::string::npos) owner = &job;
    }
    if (owner == nullptr) {
      d.strays.push_back("a submitted MMS (" + mms.handle + ") that names no MMS job's number");
      continue;
    }
    add(*owner, mms.at, "MMS");
  }
  for (auto& [index, sends] : d.by_job) {
    std::sort(sends.begin(), sends.end(), [](const Send& a, const Send& b) { return a.at < b.at; });
  }
  return d;
}

RepeatVerdict explain_repeats(const std::map<int, std::vector<Send>>& sends, const std::map<int, bool>& sent,
                              const std::vector<Interruption>& events, const std::vector<Job>& jobs,
                              SimTime origin) {
  struct Gap {
    int job;
    SimTime from, to;  // a SIGKILL must lie strictly between
  };
  std::vector<Gap> gaps;
  for (const auto& [index, list] : sends) {
    auto found = sent.find(index);
    bool counted_last = found != sent.end() && found->second;
    std::size_t repeats = counted_last ? list.size() - 1 : list.size();
    for (std::size_t i = 0; i < repeats; ++i) {
      gaps.push_back({index, list[i].at, i + 1 < list.size() ? list[i + 1].at : SimTime::max()});
    }
  }
  std::vector<SimTime> kills;
  for (const auto& e : events) {
    if (e.kill) kills.push_back(e.at);
  }
  std::sort(kills.begin(), kills.end());
  std::vector<bool> used(kills.size(), false);
  // Earliest-ending gap first, each taking the earliest free SIGKILL inside it: matches as
  // many gaps as any assignment could.
  std::sort(gaps.begin(), gaps.end(), [](const Gap& a, const Gap& b) { return a.to < b.to; });

  auto ms = [origin](SimTime t) {
    return std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(t - origin).count());
  };
  RepeatVerdict verdict;
  verdict.repeats = int(gaps.size());
  for (const Gap& gap : gaps) {
    bool explained = false;
    for (std::size_t k = 0; k < kills.size() && !explained; ++k) {
      if (!used[k] && kills[k] > gap.from && kills[k] < gap.to) used[k] = explained = true;
    }
    if (explained) continue;
    const Job& job = jobs.at(std::size_t(gap.job));
    std::string line = job.name + " (" + kind_name(job.kind) + ", " + job.number + ") was sent at +" + ms(gap.from) +
                       " ms and " + (gap.to == SimTime::max() ? "reported as not sent" : "again at +" + ms(gap.to) + " ms") +
                       " with no SIGKILL of its own in between";
    for (const auto& e : events) {
      if (!e.kill && e.ended > gap.from && e.at < gap.to) line += "; a SIGTERM at +" + ms(e.at) + " ms lies in between";
    }
    verdict.problems.push_back(line);
  }
  return verdict;
}

std::vector<std::string> entries_in(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::optional<std::string> without_success_note(const std::string& filed) {
  static const std::regex note(R"(\d{1,5}\.\d{1,2}\.\d{1,2} \d{1,2}:\d{1,2} ALARM successfully sent$)");
  const std::size_t tail_start = filed.size() > 64 ? filed.size() - 64 : 0;
  std::smatch match;
  std::string tail = filed.substr(tail_start);
  if (!std::regex_search(tail, match, note)) return std::nullopt;
  return filed.substr(0, tail_start + std::size_t(match.position(0)));
}

bool filed_name_matches(const std::string& filed_name, const std::string& job_name, bool stamped) {
  std::string rest = filed_name;
  if (stamped) {
    if (rest.size() < 9 || rest[8] != '-') return false;
    for (int i = 0; i < 8; ++i) {
      if (!std::isxdigit(static_cast<unsigned char>(rest[i])) || std::islower(static_cast<unsigned char>(rest[i])))
        return false;
    }
    rest = rest.substr(9);
  }
  if (rest == job_name) return true;
  std::size_t dot = job_name.rfind('.');
  std::string stem = job_name.substr(0, dot), ext = dot == std::string::npos ? "" : job_name.substr(dot);
  static const std::regex numbered(R"(-[1-9][0-9]*)");
  if (rest.size() <= stem.size() + ext.size() || rest.compare(0, stem.size(), stem) != 0 ||
      rest.compare(rest.size() - ext.size(), ext.size(), ext) != 0)
    return false;
  return std::regex_match(rest.substr(stem.size(), rest.size() - stem.size() - ext.size()), numbered);
}

}  // namespace qz::test::chaos
