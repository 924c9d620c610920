// Modem return: the modem is unplugged from a running gateway (its pty gone, the link to
// it too, as a USB modem's device and udev link go), an alarm is dropped meanwhile, and
// after a while the modem is back. Measured from the return to the status file's
// "modem_up=1" and to that alarm's acceptance by the modem, with the gateway restarted 5 s
// after each exit, as its service unit does.
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <thread>

#include "gateway_process.h"
#include "measurements.h"

namespace qz::bench {

using Steady = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

constexpr auto kRestartAfter = 5s;  // RestartSec= of the service unit
constexpr const char* kText = "Modem return probe";

}  // namespace

ModemReturnResult measure_modem_return(const Options& options) {
  ModemReturnResult result;
  result.gone_seconds = options.gone_seconds;
  ScratchFolder folder(options.scratch, "modem-return", options.keep);
  sim::ModemSimulator modem;
  // The gateway opens the modem through a link, as through /dev/serial/by-id/: unplugging
  // removes it.
  const auto port = folder / "ttyModem";
  modem.set_link(port.string());
  if (!std::filesystem::is_symlink(port)) {
    result.problem = "cannot make the port link";
    return result;
  }
  GatewayProcess gateway(options.gateway, folder.path(), modem,
                         "Port=" + port.string() + "\nIncomingEnable=0\nQualityPollEverySecs=5\n");
  if (!gateway.start() || !gateway.wait_until_started(60s)) {
    result.problem = gateway.error();
    return result;
  }
  result.starts = 1;
  std::this_thread::sleep_for(1s);

  // The supervisor: an ended gateway is started again after a pause.
  auto supervise_until = [&](Steady::time_point end, const std::function<bool()>& done) {
    Steady::time_point ended_at{};
    while (Steady::now() < end && !done()) {
      if (!gateway.running()) {
        if (ended_at == Steady::time_point{}) ended_at = Steady::now();
        if (Steady::now() - ended_at >= kRestartAfter) {
          if (!gateway.start()) return false;
          ++result.starts;
          ended_at = {};
        }
      }
      std::this_thread::sleep_for(5ms);
    }
    return true;
  };

  modem.vanish();
  // An alarm job, with the default tries and retry delay.
  const std::string job = "[Alarm]\r\nSzenario=plant\r\nName=Night shift\r\nPhoneNumber=+41790000001\r\nMessage=" +
                          std::string(kText) + "\r\ndbentry=0\r\nContentType=SMS\r\n";
  if (!write_file(gateway.watch() / "return.part", job) ||
      std::rename((gateway.watch() / "return.part").c_str(), (gateway.watch() / "return.sms").c_str()) != 0) {
    result.problem = "cannot drop the job";
    return result;
  }
  supervise_until(Steady::now() + std::chrono::seconds(options.gone_seconds), [] { return false; });

  modem.come_back();
  const auto back = Steady::now();
  auto accepted = [&] {
    int n = 0;
    for (const auto& sms : modem.sms()) n += sms.accepted && sms.text == kText;
    return n;
  };
  // The status file, as qzgsmsd --status reads it, looked at every 10 ms.
  auto modem_up = [&] {
    return read_file(folder / "qzgsms-status").find("\nmodem_up=1\n") != std::string::npos;
  };
  supervise_until(back + 300s, [&] {
    if (result.to_modem_up == 0 && modem_up()) result.to_modem_up = std::chrono::duration<double>(Steady::now() - back).count();
    return accepted() > 0 && result.to_modem_up > 0;
  });
  if (accepted() == 0) {
    result.problem = "the alarm was not sent within 300 s of the modem's return";
    gateway.stop();
    return result;
  }
  for (const auto& sms : modem.sms()) {
    if (sms.accepted && sms.text == kText) {
      result.to_first_alarm = std::chrono::duration<double>(sms.at - back).count();
      break;
    }
  }
  // Anything sent twice would show within a few more seconds.
  std::this_thread::sleep_for(5s);
  result.sent = accepted();
  gateway.stop();
  result.ok = result.sent == 1;
  if (!result.ok) result.problem = "the alarm was sent " + std::to_string(result.sent) + " times";
  return result;
}

}  // namespace qz::bench
