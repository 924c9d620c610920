// Received SMS through the real qzgsmsd (real clock, polls every 15 s) and the modem
// simulator, with IncomingUTF8=1:
// - a three-part text: its first two parts are listed (and wait), then the last part
//   arrives at a random point of the poll cycle; measured from its arrival to the start of
//   the command, seen as the first deletion of the joined parts, which follows the start;
// - a burst that fills 17 of the store's 20 places at once: what --status says meanwhile
//   (asked every 200 ms) and what the daily log says of the store.
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

#include "gateway_process.h"
#include "measurements.h"
#include "gateway/status_check.h"

namespace qz::bench {

using Steady = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

std::string hex(const std::string& octets) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : octets) {
    out += digits[c >> 4];
    out += digits[c & 0xF];
  }
  return out;
}

// An SMS-DELIVER part of a long text in the GSM alphabet (one septet a character): the
// six-octet header and one fill bit, then the septets.
std::string part_pdu(unsigned reference, unsigned sequence, const std::string& text) {
  std::string pdu("\x00\x44\x0B\x91\x14\x97\x21\x43\x65\xF7\x00\x00\x42\x30\x10\x21\x00\x00\x40", 19);
  const std::string header("\x05\x00\x03", 3);
  std::string bits;
  for (unsigned char c : header + std::string{static_cast<char>(reference), 3, static_cast<char>(sequence)}) {
    for (int b = 0; b < 8; ++b) bits += (c >> b & 1) ? '1' : '0';
  }
  bits += '0';
  for (unsigned char c : text) {
    for (int b = 0; b < 7; ++b) bits += (c >> b & 1) ? '1' : '0';
  }
  std::string data((bits.size() + 7) / 8, '\0');
  for (std::size_t i = 0; i < bits.size(); ++i) {
    if (bits[i] == '1') data[i / 8] = static_cast<char>(data[i / 8] | 1 << (i % 8));
  }
  pdu += static_cast<char>(7 + text.size());
  return hex(pdu + data);
}

// The first line of qzgsmsd --status, from the same code.
std::string status_summary(const std::filesystem::path& folder) {
  const std::string text = check_status(folder).text;
  return text.substr(0, text.find('\n'));
}

}  // namespace

IncomingResult measure_incoming(const Options& options) {
  IncomingResult result;
  ScratchFolder folder(options.scratch, "incoming", options.keep);
  sim::ModemSimulator modem;
  write_file(folder / "incoming_sms.bat", "#!/bin/sh\nexit 0\n");
  std::filesystem::permissions(folder / "incoming_sms.bat", std::filesystem::perms::owner_all);
  GatewayProcess gateway(options.gateway, folder.path(), modem, "IncomingUTF8=1\n");
  if (!gateway.start() || !gateway.wait_until_started(60s)) {
    result.problem = gateway.error();
    return result;
  }

  std::mt19937 random(20240301);
  std::uniform_int_distribution<int> phase_ms(0, 14999);
  std::vector<double> latencies, from_listing;
  for (int i = 0; i < options.long_texts; ++i) {
    const unsigned reference = static_cast<unsigned>(i + 1);
    for (unsigned sequence : {1u, 2u}) {
      sim::StoredMessage part;
      part.pdu = part_pdu(reference, sequence, "part " + std::to_string(sequence) + " ");
      modem.add_message(part);
    }
    // Listed once and left waiting: the joining is what is measured, not the first sight.
    const std::size_t listings = modem.count_commands("AT+CMGL=");
    if (!modem.wait_for_command("AT+CMGL=", 40s, listings + 1)) {
      result.problem = "no listing";
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(phase_ms(random)));
    const std::size_t deletions = modem.count_commands("AT+CMGD=");
    const std::size_t listings_before = modem.count_commands("AT+CMGL=");
    sim::StoredMessage last;
    last.pdu = part_pdu(reference, 3, "last");
    modem.add_message(last);
    const Steady::time_point arrived = Steady::now();
    auto deleted = modem.wait_for_command("AT+CMGD=", 40s, deletions + 1);
    if (!deleted) {
      result.problem = "the joined text was not handed on";
      break;
    }
    latencies.push_back(std::chrono::duration<double, std::milli>(deleted->at - arrived).count());
    // The listing that found it: what the gateway's own work adds to the poll's wait.
    if (auto listing = modem.wait_for_command("AT+CMGL=", 1s, listings_before + 1)) {
      from_listing.push_back(std::chrono::duration<double, std::milli>(deleted->at - listing->at).count());
    }
    std::fprintf(stderr, "  long text %d of %d: %.0f ms\n", i + 1, options.long_texts, latencies.back());
  }
  result.last_part_to_command = spread_of(latencies);
  result.listing_to_command = spread_of(from_listing);

  // The burst, with the status asked every 200 ms until the store is empty again.
  for (int i = 0; i < 17 && result.problem.empty(); ++i) {
    sim::StoredMessage message;
    message.sender = "+4179555" + std::to_string(1000 + i);
    message.text = "ack " + std::to_string(i);
    modem.add_message(message);
  }
  const auto burst = Steady::now();
  const auto give_up = burst + 60s;
  while (result.problem.empty() && Steady::now() < give_up) {
    const std::string summary = status_summary(folder.path());
    const std::string first = summary.substr(0, summary.find(" | "));
    if (!first.empty() && (result.burst_status.empty() || result.burst_status.back().second != first)) {
      result.burst_status.emplace_back(std::chrono::duration<double>(Steady::now() - burst).count(), first);
    }
    // The status file is written every 5 s: a few writes after the store is empty again.
    if (modem.messages().empty() && Steady::now() - burst > 12s && first.find("message store") == std::string::npos) {
      break;
    }
    std::this_thread::sleep_for(200ms);
  }
  const std::string log = gateway.daily_log();
  for (std::size_t at = log.find("Message store"); at != std::string::npos; at = log.find("Message store", at + 1)) {
    const std::size_t begin = log.rfind('\n', at) + 1;
    result.store_lines.push_back(log.substr(begin, log.find('\n', at) - begin));
  }
  gateway.stop();
  result.ok = result.problem.empty();
  return result;
}

}  // namespace qz::bench
