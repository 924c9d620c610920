// Cost of one report update: what the report thread does for each finished job with a
// scenario (open the table, go to the subscriber's record, write status and time, find
// the SMS pair, write its time and outcome, close). The record is near the end of the
// table, and the cost must be the same for a short and a very long table.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>

#include "gateway_process.h"
#include "jobs/database.h"
#include "jobs/report_table.h"
#include "measurements.h"

namespace qz::bench {

namespace {

// The columns of a scenario table as qzgsms-dbftool makes them.
const std::vector<DbfFieldDef> kReportFields = {
    {"NAME", 'C', 30, 0}, {"PHONE", 'C', 20, 0}, {"TY1", 'C', 3, 0},  {"TY2", 'C', 3, 0},
    {"TY3", 'C', 3, 0},   {"TY4", 'C', 3, 0},    {"STATUS", 'N', 3, 0}, {"TIME", 'C', 6, 0},
    {"TI1", 'C', 6, 0},   {"TI2", 'C', 6, 0},    {"TI3", 'C', 6, 0},  {"TI4", 'C', 6, 0},
    {"TO1", 'N', 3, 0},   {"TO2", 'N', 3, 0},    {"TO3", 'N', 3, 0},  {"TO4", 'N', 3, 0}};

struct Table {
  std::filesystem::path path;
  long records = 0;
  int target = 0;  // the record the updates go to
  std::uintmax_t bytes = 0;
};

std::unique_ptr<ScratchFolder> g_folder;
std::map<long, Table> g_tables;

bool write_all(int fd, const char* data, size_t size, off_t at) {
  while (size > 0) {
    ssize_t n = ::pwrite(fd, data, size, at);
    if (n <= 0) return false;
    data += n;
    size -= size_t(n);
    at += n;
  }
  return true;
}

// An empty table from CDatabase::Create, then every record appended at once as raw bytes
// (live mark and blanks), the end-of-file byte, and the record count in the header. A
// million single-record writes would take longer than everything measured here.
Table build_table(long records) {
  Table t;
  t.records = records;
  t.target = int(records) - 1;
  t.path = g_folder->path() / ("plant" + std::to_string(records) + ".dbf");
  {
    CDatabase db;
    if (db.Create(t.path.string(), kReportFields) != 1) throw std::runtime_error("cannot create " + t.path.string());
    db.Close();
  }
  int fd = ::open(t.path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) throw std::runtime_error("cannot open " + t.path.string());
  unsigned char head[32];
  if (::pread(fd, head, sizeof head, 0) != ssize_t(sizeof head)) throw std::runtime_error("short header");
  const off_t header_length = head[8] | (head[9] << 8);
  const size_t record_length = size_t(head[10] | (head[11] << 8));
  std::string rows(record_length * size_t(records), ' ');
  rows.push_back('\x1a');
  const uint32_t count = uint32_t(records);
  const unsigned char le[4] = {static_cast<unsigned char>(count), static_cast<unsigned char>(count >> 8),
                               static_cast<unsigned char>(count >> 16), static_cast<unsigned char>(count >> 24)};
  bool ok = write_all(fd, rows.data(), rows.size(), header_length) &&
            ::ftruncate(fd, header_length + off_t(rows.size())) == 0 &&
            write_all(fd, reinterpret_cast<const char*>(le), sizeof le, 4) &&
            // On disk before timing starts: the first measured sync must not carry the build.
            ::fsync(fd) == 0;
  ::close(fd);
  if (!ok) throw std::runtime_error("cannot fill " + t.path.string());

  // The subscriber is reached by SMS on the first channel, so the update writes pair 1.
  CDatabase db;
  if (db.Open(t.path.string()) != 1 || db.Go(t.target) != 0 || db.Replace("TY1", std::string("SMS")) != 1)
    throw std::runtime_error("cannot prepare record " + std::to_string(t.target));
  db.Close();
  t.bytes = std::filesystem::file_size(t.path);
  return t;
}

const Table& table_with(long records) {
  auto it = g_tables.find(records);
  if (it == g_tables.end()) it = g_tables.emplace(records, build_table(records)).first;
  return it->second;
}

// What the report thread does for one job: open, write the result, close.
bool update_record(CDatabase& db, const Table& t, bool auto_flush, int status, const std::string& time) {
  if (db.Open(t.path.string()) == 0) return false;
  if (!auto_flush) db.SetAutoFlush(0);
  bool written = write_job_result(db, t.target, status, time);
  db.Close();
  return written;
}

void BM_ReportUpdate(benchmark::State& state) {
  const long records = long(state.range(0));
  const bool auto_flush = state.range(1) != 0;
  const Table* t = nullptr;
  try {
    t = &table_with(records);
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
    return;
  }
  CDatabase db;
  const std::string time = "123456";
  int status = 8;
  for (auto _ : state) {
    if (!update_record(db, *t, auto_flush, status, time)) {
      state.SkipWithError("the update did not reach the record");
      break;
    }
    status = status == 8 ? 3 : 8;  // every write changes the bytes
  }
  state.counters["table_MB"] = double(t->bytes) / 1e6;
}

BENCHMARK(BM_ReportUpdate)
    ->ArgNames({"records", "auto_flush"})
    ->Args({1000, 1})
    ->Args({1000000, 1})
    ->Args({1000, 0})
    ->Args({1000000, 0})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime()  // the sync is waiting, not computing
    ->MinTime(0.5)
    // The sync shares the disk with whatever else the machine writes: the median of a few
    // rounds is steadier than one round.
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

// Shows the usual console table and keeps the figures for the summary.
class KeepingReporter : public benchmark::ConsoleReporter {
 public:
  explicit KeepingReporter(std::vector<ReportUpdateResult>& out)
      : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular), out_(out) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      // One round when repetitions are turned off, else the median of the rounds.
      bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
      bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (!single && !median) continue;
      ReportUpdateResult r;
      r.name = run.run_name.str();
      // "BM_ReportUpdate/records:1000/auto_flush:1/..." carries both arguments.
      auto arg = [&](const std::string& key) -> long {
        auto at = r.name.find(key + ":");
        return at == std::string::npos ? -1 : std::stol(r.name.substr(at + key.size() + 1));
      };
      r.records = arg("records");
      r.auto_flush = arg("auto_flush") != 0;
      r.iterations = run.iterations;
      r.seconds_per_update = run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      out_.push_back(r);
    }
  }

 private:
  std::vector<ReportUpdateResult>& out_;
};

}  // namespace

std::vector<ReportUpdateResult> measure_report_updates(const Options& options) {
  std::vector<ReportUpdateResult> results;
  g_folder = std::make_unique<ScratchFolder>(options.scratch, "tables", options.keep);
  // A build just before (as scripts/bench.sh does) leaves much for the disk to write back,
  // and each measured sync would wait for part of it.
  ::sync();
  KeepingReporter reporter(results);
  benchmark::RunSpecifiedBenchmarks(&reporter);
  g_tables.clear();
  g_folder.reset();
  return results;
}

}  // namespace qz::bench
