// qzgsms-send with --wait against the real qzgsmsd and the modem simulator: from the start
// of the qzgsms-send process to the modem's AT+CMGS for its job, and from the modem's
// acceptance of the text to the moment qzgsms-send ends, having seen the outcome. One
// alarm at a time, so each meets an idle gateway.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <thread>

#include "gateway_process.h"
#include "measurements.h"

extern char** environ;

namespace qz::bench {

using Steady = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

double ms_between(Steady::time_point from, Steady::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// Runs `argv` with its output on /dev/null and waits for its end: its exit code, or -1.
int run_and_wait(std::vector<std::string> argv) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::vector<char*> args;
  for (std::string& a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  pid_t pid = 0;
  int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

SendResult measure_send(const Options& options) {
  SendResult result;
  ScratchFolder folder(options.scratch, "send", options.keep);
  sim::ModemSimulator modem;
  GatewayProcess gateway(options.gateway, folder.path(), modem,
                         "IncomingEnable=0\nQualityPollEverySecs=100000\nRetryCount=1\n");
  if (!gateway.start() || !gateway.wait_until_started(60s)) {
    result.problem = gateway.error();
    return result;
  }
  // The reader logs its start just after the thread is made; give it time to watch the folder.
  std::this_thread::sleep_for(1s);

  std::vector<double> to_cmgs, accepted_to_return;
  // As in the pick-up measurement: each send a different part of a second after the last
  // one ended, so they do not all meet the same point of the report's cycle.
  std::mt19937 random(20240302);
  std::uniform_int_distribution<int> pause_ms(600, 1599);
  for (int i = 0; i < options.sends; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(pause_ms(random)));
    char number[32], text[64];
    std::snprintf(number, sizeof number, "+4179%07d", i);
    std::snprintf(text, sizeof text, "Send probe %d", i);
    const Steady::time_point started = Steady::now();
    const int code = run_and_wait({options.send.string(), "--instance", folder.path().string(), "--wait=60", number, text});
    const Steady::time_point ended = Steady::now();
    if (code != 0) {
      result.problem = "qzgsms-send --wait ended with " + std::to_string(code) + " for " + text;
      break;
    }
    auto cmgs = modem.wait_for_command("AT+CMGS", 1s, size_t(i) + 1);
    const auto sms = modem.sms();
    if (!cmgs || sms.size() != size_t(i) + 1 || !sms.back().accepted) {
      result.problem = std::string("no accepted AT+CMGS for ") + text;
      break;
    }
    to_cmgs.push_back(ms_between(started, cmgs->at));
    accepted_to_return.push_back(ms_between(sms.back().at, ended));
  }
  gateway.stop();
  result.to_cmgs = spread_of(to_cmgs);
  result.accepted_to_return = spread_of(accepted_to_return);
  result.ok = result.problem.empty() && int(to_cmgs.size()) == options.sends;
  return result;
}

}  // namespace qz::bench
