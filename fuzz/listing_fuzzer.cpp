// A message listing is captured from the modem, and its texts come from anyone who can
// send an SMS. Whatever the capture holds, every message cut from it is a piece of it:
// the sender from an entry's header line, the text from the lines after it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "modem/incoming.h"

namespace {

std::size_t count_of(std::string_view text, std::string_view part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1)) {
    ++n;
  }
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  // An exact-size copy, so that a read past the capture's end is a finding.
  auto bytes = std::make_unique<char[]>(size);
  std::copy(data, data + size, bytes.get());
  const std::string_view capture(bytes.get(), size);

  const std::vector<qz::ListedMessage> messages = qz::parse_listing(capture);
  FUZZ_CHECK(messages.size() <= count_of(capture, "+CMGL:"));
  std::size_t previous_text_end = 0;
  for (const qz::ListedMessage& m : messages) {
    FUZZ_CHECK(m.sender.find('\r') == std::string_view::npos);
    FUZZ_CHECK(m.sender.find(',') == std::string_view::npos);
    FUZZ_CHECK(capture.find(m.sender) != std::string_view::npos);
    // Texts follow one another through the capture, none reaching into the one before.
    const std::size_t text_at = capture.find(m.text, previous_text_end);
    FUZZ_CHECK(text_at != std::string_view::npos);
    previous_text_end = text_at + m.text.size();
  }
  return 0;
}
