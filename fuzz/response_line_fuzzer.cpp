// Everything the modem sends goes through the response-line parser, and a listing carries
// texts that anyone can send. The input is cut into lines at CR and LF, as the reader
// thread cuts the byte stream; a line that starts with byte 1, 2 or 3 is not sent but
// starts the list capture, starts the query capture or stops the capture, as the modem's
// users do. Whatever the lines, a capture holds only whole lines that arrived while it
// ran, in their order and within its bound, and the stored reply values keep their sizes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/gateway_log.h"
#include "core/settings.h"
#include "fuzz_check.h"
#include "modem/modem_channel.h"
#include "scratch_folder.h"

namespace {

using qz::ModemChannel;

// Whether `capture` is made of lines of `sent`, each ended by CR, in the order sent.
bool made_of_sent_lines(std::string_view capture, const std::vector<std::string>& sent) {
  std::size_t next = 0;
  while (!capture.empty()) {
    std::size_t cr = capture.find('\r');
    if (cr == std::string_view::npos) return false;
    std::string_view line = capture.substr(0, cr);
    while (next < sent.size() && sent[next] != line) ++next;
    if (next == sent.size()) return false;
    ++next;
    capture.remove_prefix(cr + 1);
  }
  return true;
}

void check_capture(const std::string& capture, const std::vector<std::string>& sent) {
  FUZZ_CHECK(capture.size() <= ModemChannel::kCaptureMax);
  FUZZ_CHECK(made_of_sent_lines(capture, sent));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  // No log/ folder: the daily log is off, as in an instance that did not ask for it.
  static qz::GatewayLog log(qz::fuzz::scratch_folder());
  static const qz::Settings settings;
  ModemChannel channel(log, settings);

  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> sent;  // since the capture last started, as the parser keeps them
  bool capturing = false;
  std::size_t pos = 0;
  while (pos < input.size()) {
    std::size_t end = input.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = input.size();
    std::string_view line = input.substr(pos, end - pos);
    pos = end + 1;
    if (line.empty()) continue;

    if (line.front() == '\x01' || line.front() == '\x02') {
      if (line.front() == '\x01') {
        channel.start_list_capture();
      } else {
        channel.start_query_capture();
      }
      sent.clear();
      capturing = true;
      continue;
    }
    if (line.front() == '\x03') {
      const std::string capture = channel.stop_capture();
      if (capturing) check_capture(capture, sent);
      capturing = false;
      continue;
    }
    channel.ParseResponseLine(line);
    sent.emplace_back(line.substr(0, ModemChannel::kInputLineMax));
  }
  if (capturing) check_capture(channel.stop_capture(), sent);

  FUZZ_CHECK(channel.ListLine().size() <= ModemChannel::kListLineMax);
  FUZZ_CHECK(channel.ServiceCentreReply().size() <= ModemChannel::kServiceCentreReplyMax);
  const std::string handle = channel.MmsHandle();
  FUZZ_CHECK(handle.empty() || (handle.size() == 23 && handle.back() == '\r'));
  return 0;
}
