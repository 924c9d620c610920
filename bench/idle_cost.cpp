// What an idle gateway costs: CPU time and resident memory of qzgsmsd over a quiet
// stretch, with the production settings that keep it busy when nothing happens (signal
// poll every 5 s, incoming messages polled).
#include <cstdio>
#include <map>
#include <memory>
#include <thread>

#include "gateway_process.h"
#include "measurements.h"

namespace qz::bench {

using Steady = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

// "AT+CSQ" from "at+csq" or "AT+CMGL=4": the command without its argument, upper case.
std::string command_name(const std::string& line) {
  std::string name;
  for (char c : line) {
    if (c == '=' || c == '?' || c == '"') break;
    name.push_back(char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c));
  }
  return name;
}

}  // namespace

IdleResult measure_idle(const Options& options) {
  IdleResult result;
  ScratchFolder folder(options.scratch, "idle", options.keep);
  sim::ModemSimulator modem;
  GatewayProcess gateway(options.gateway, folder.path(), modem,
                         "IncomingEnable=1\nQualityPollEverySecs=5\n");
  if (!gateway.start() || !gateway.wait_until_started(60s)) {
    result.problem = gateway.error();
    return result;
  }
  // Past the start-up: the threads have made their first rounds.
  std::this_thread::sleep_for(2s);

  const long pid = gateway.pid();
  const std::size_t commands_before = modem.commands().size();
  const ProcessSample start = sample_process(pid);
  const auto t0 = Steady::now();
  const auto end = t0 + std::chrono::seconds(options.idle_seconds);
  while (Steady::now() < end && gateway.running()) std::this_thread::sleep_for(std::min<Steady::duration>(1s, end - Steady::now()));
  const ProcessSample stop = sample_process(pid);
  const auto t1 = Steady::now();
  if (!gateway.running()) {
    result.problem = "the gateway ended while idle";
    return result;
  }
  const auto commands = modem.commands();
  gateway.stop();
  if (!start.valid || !stop.valid) {
    result.problem = "cannot read /proc for the gateway";
    return result;
  }

  result.seconds = std::chrono::duration<double>(t1 - t0).count();
  result.cpu_seconds = stop.cpu_seconds - start.cpu_seconds;
  result.on_cpu_seconds = stop.on_cpu_seconds - start.on_cpu_seconds;
  result.rss_start_kib = start.rss_kib;
  result.rss_end_kib = stop.rss_kib;
  result.hwm_kib = stop.hwm_kib;
  result.threads = stop.threads;
  result.wakeups_per_second = double(stop.context_switches - start.context_switches) / result.seconds;

  std::map<std::string, int> mix;
  for (std::size_t i = commands_before; i < commands.size(); ++i) ++mix[command_name(commands[i].line)];
  result.modem_commands = commands.size() - commands_before;
  for (const auto& [name, count] : mix) {
    if (!result.command_mix.empty()) result.command_mix += ", ";
    result.command_mix += std::to_string(count) + "x " + name;
  }
  result.ok = true;
  return result;
}

IdleManyResult measure_idle_many(const Options& options) {
  IdleManyResult result;
  result.instances = options.idle_instances;
  ScratchFolder folder(options.scratch, "idle-many", options.keep);
  std::vector<std::unique_ptr<sim::ModemSimulator>> modems;
  std::vector<std::unique_ptr<GatewayProcess>> gateways;
  for (int i = 0; i < options.idle_instances; ++i) {
    const auto instance = folder / ("instance" + std::to_string(i));
    std::filesystem::create_directories(instance);
    modems.push_back(std::make_unique<sim::ModemSimulator>());
    gateways.push_back(std::make_unique<GatewayProcess>(options.gateway, instance, *modems.back(),
                                                        "IncomingEnable=1\nQualityPollEverySecs=5\n"));
    if (!gateways.back()->start()) {
      result.problem = gateways.back()->error();
      return result;
    }
  }
  for (auto& gateway : gateways) {
    if (!gateway->wait_until_started(120s)) {
      result.problem = gateway->error();
      return result;
    }
  }
  std::this_thread::sleep_for(2s);

  auto sample_all = [&](ProcessSample& total) {
    for (auto& gateway : gateways) {
      ProcessSample one = sample_process(gateway->pid());
      if (!one.valid) return false;
      total.cpu_seconds += one.cpu_seconds;
      total.rss_kib += one.rss_kib;
      total.context_switches += one.context_switches;
    }
    return true;
  };
  ProcessSample start, stop;
  const auto t0 = Steady::now();
  bool sampled = sample_all(start);
  std::this_thread::sleep_for(std::chrono::seconds(options.idle_seconds));
  sampled = sampled && sample_all(stop);
  const auto t1 = Steady::now();
  for (auto& gateway : gateways) gateway->stop();
  if (!sampled) {
    result.problem = "a gateway ended while idle, or /proc cannot be read";
    return result;
  }
  result.seconds = std::chrono::duration<double>(t1 - t0).count();
  result.cpu_seconds = stop.cpu_seconds - start.cpu_seconds;
  result.rss_kib = stop.rss_kib;
  result.wakeups_per_second = double(stop.context_switches - start.context_switches) / result.seconds;
  result.ok = true;
  return result;
}

}  // namespace qz::bench
