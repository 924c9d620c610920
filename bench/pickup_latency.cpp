// Pick-up latency: from the moment a job file appears in the watch folder (renamed in
// after being written and closed, as the alarm application does) to the first command of
// its SMS on the modem line. Jobs go one at a time, each after the previous one has been
// filed in done/, so every job meets an idle gateway.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <thread>

#include "gateway_process.h"
#include "measurements.h"

namespace qz::bench {

using Steady = std::chrono::steady_clock;
using namespace std::chrono_literals;

Spread spread_of(std::vector<double> values) {
  Spread s;
  if (values.empty()) return s;
  std::sort(values.begin(), values.end());
  s.count = int(values.size());
  s.min = values.front();
  s.max = values.back();
  size_t n = values.size();
  s.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  // Nearest rank: the smallest value that at least 95 % of the series do not exceed.
  size_t rank = size_t(std::ceil(0.95 * double(n)));
  s.p95 = values[std::max<size_t>(rank, 1) - 1];
  return s;
}

namespace {

double ms_between(Steady::time_point from, Steady::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// Written under a name the gateway does not take, closed, then renamed in. Returns the
// time right after the rename, when the job is visible under its own name.
bool drop_job(const std::filesystem::path& watch, const std::string& name, const std::string& body,
              Steady::time_point& dropped) {
  std::string part = (watch / (name + ".part")).string();
  int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool written = ::write(fd, body.data(), body.size()) == ssize_t(body.size());
  if (::close(fd) != 0 || !written) return false;
  if (::rename(part.c_str(), (watch / name).c_str()) != 0) return false;
  dropped = Steady::now();
  return true;
}

bool filed_in(const std::filesystem::path& done, const std::string& name) {
  // The gateway prefixes the name with the hexadecimal time of its report pass.
  const std::string tail = "-" + name;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(done, ec)) {
    std::string f = e.path().filename().string();
    if (f.size() > tail.size() && f.compare(f.size() - tail.size(), tail.size(), tail) == 0) return true;
  }
  return false;
}

}  // namespace

PickupResult measure_pickup(const Options& options) {
  PickupResult result;
  ScratchFolder folder(options.scratch, "pickup", options.keep);
  sim::ModemSimulator modem;
  // No incoming poll and practically no signal poll: nothing but the jobs uses the modem.
  GatewayProcess gateway(options.gateway, folder.path(), modem,
                         "IncomingEnable=0\nQualityPollEverySecs=100000\nRetryCount=1\n");
  const auto launched = Steady::now();
  if (!gateway.start() || !gateway.wait_until_started(60s)) {
    result.problem = gateway.error();
    return result;
  }
  result.startup_seconds = std::chrono::duration<double>(Steady::now() - launched).count();
  // The reader logs its start just after the thread is made; give it time to watch the folder.
  std::this_thread::sleep_for(1s);

  std::vector<double> first_command, submitted, filed, sent_to_filed;
  // The report thread files jobs once a second. A job dropped right after the previous one
  // was filed would always meet the same point of that cycle, so each waits a different
  // while first (the same series on every run). The reader waits 100 ms before it reads a
  // job and rests 500 ms after queuing it; the next job must not arrive before that is
  // over, or it measures the rest instead of an idle gateway.
  std::mt19937 random(20240301);
  std::uniform_int_distribution<int> pause_ms(0, 999);
  Steady::time_point previous_drop = Steady::now() - 1h;
  const auto give_up = Steady::now() + std::chrono::seconds(20 * options.jobs + 60);
  for (int i = 0; i < options.jobs && Steady::now() < give_up; ++i) {
    char name[32], body[256];
    std::snprintf(name, sizeof name, "pick%04d.sms", i);
    // Texts differ, so that no job looks like one still queued.
    std::snprintf(body, sizeof body,
                  "[Alarm]\r\nName=Night shift\r\nPhoneNumber=+4179%07d\r\nMessage=Pick-up probe %d\r\n",
                  i, i);
    // A random part of a second on top of whatever must be waited anyway.
    std::this_thread::sleep_until(std::max(Steady::now(), previous_drop + 1s) +
                                  std::chrono::milliseconds(pause_ms(random)));
    Steady::time_point dropped;
    if (!drop_job(gateway.watch(), name, body, dropped)) {
      result.problem = std::string("cannot drop ") + name;
      break;
    }
    previous_drop = dropped;
    auto command = modem.wait_for_command("AT+CSMP", 20s, size_t(i) + 1);
    if (!command) {
      result.problem = std::string("no AT+CSMP for ") + name;
      break;
    }
    first_command.push_back(ms_between(dropped, command->at));

    bool sent = modem.wait_for([i](const sim::Recording& r) { return r.sms.size() > size_t(i); }, 20000ms);
    const Steady::time_point sent_at = sent ? modem.sms().at(size_t(i)).at : Steady::time_point{};
    if (sent) submitted.push_back(ms_between(dropped, sent_at));

    auto deadline = Steady::now() + 20s;
    while (!filed_in(gateway.done(), name) && Steady::now() < deadline)
      std::this_thread::sleep_for(2ms);
    if (!filed_in(gateway.done(), name)) {
      result.problem = std::string(name) + " was not filed in done/";
      break;
    }
    const Steady::time_point filed_at = Steady::now();
    filed.push_back(ms_between(dropped, filed_at));
    if (sent) sent_to_filed.push_back(ms_between(sent_at, filed_at));
    if ((i + 1) % 10 == 0) std::fprintf(stderr, "  pick-up: %d of %d jobs\n", i + 1, options.jobs);
  }
  gateway.stop();

  result.to_first_command = spread_of(first_command);
  result.to_submitted = spread_of(submitted);
  result.to_filed = spread_of(filed);
  result.sent_to_filed = spread_of(sent_to_filed);
  result.ok = result.problem.empty() && int(first_command.size()) == options.jobs;
  if (result.problem.empty() && !result.ok) result.problem = "ran out of time";
  return result;
}

}  // namespace qz::bench
