// The parts of long texts come from anyone who can send an SMS: any reference, any count,
// any part number, sent twice or never. Whatever arrives, each store entry is handed on at
// most once per listing and only its own, and nothing waits for good: once the wait is
// over, or the store wants every entry, all of them go.
#include <cstddef>
#include <cstdint>
#include <set>
#include <vector>

#include "fuzz_check.h"
#include "modem/message_parts.h"

namespace {

// Six bytes an entry: flags (bit 0 a part, bit 1 a wide reference, bits 2-3 the sender),
// reference, parts, part number, text length, first text byte. A 0xFF flag byte ends a poll.
std::vector<std::vector<qz::ListedText>> polls_of(const uint8_t* data, std::size_t size) {
  std::vector<std::vector<qz::ListedText>> polls(1);
  for (std::size_t at = 0; at < size;) {
    if (data[at] == 0xFF) {
      polls.emplace_back();
      ++at;
      continue;
    }
    if (at + 6 > size) break;
    const uint8_t* e = data + at;
    at += 6;
    qz::ListedText entry;
    entry.index = static_cast<int>(polls.back().size()) + 1;
    entry.sender = std::string(1, static_cast<char>('a' + (e[0] >> 2 & 3)));
    entry.text = std::string(e[4] % 8, static_cast<char>(e[5]));
    if (e[0] & 1) entry.part = qz::SmsPartOf{e[1], (e[0] & 2) != 0, e[2], e[3]};
    polls.back().push_back(std::move(entry));
  }
  return polls;
}

// One poll: each entry handed on at most once, and only entries listed. Returns the
// entries not handed on, as the next listing shows them (the rest is deleted).
std::vector<qz::ListedText> check_poll(qz::PartsJoiner& joiner, const std::vector<qz::ListedText>& listed,
                                       int64_t now_ms, std::size_t slots_wanted, bool all_must_go) {
  std::set<int> indices, handed;
  for (const qz::ListedText& entry : listed) indices.insert(entry.index);
  for (const qz::JoinedText& joined : joiner.take_ready(listed, now_ms, 60000, slots_wanted)) {
    FUZZ_CHECK(!joined.indices.empty());
    for (int index : joined.indices) {
      FUZZ_CHECK(indices.count(index) == 1);
      FUZZ_CHECK(handed.insert(index).second);
    }
    for (unsigned missing : joined.missing) FUZZ_CHECK(missing >= 1 && missing <= joined.parts);
  }
  if (all_must_go) FUZZ_CHECK(handed.size() == listed.size());
  std::vector<qz::ListedText> left;
  for (const qz::ListedText& entry : listed) {
    if (handed.count(entry.index) == 0) left.push_back(entry);
  }
  return left;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const auto polls = polls_of(data, size);
  qz::PartsJoiner joiner;
  int64_t now_ms = 0;
  for (const auto& listed : polls) {
    check_poll(joiner, listed, now_ms, listed.size() % 3, false);
    now_ms += 15000;
  }
  // What the last poll left is listed again until the wait is over for all of it; and a
  // store that wants every entry gets it at once.
  const std::vector<qz::ListedText> left = check_poll(joiner, polls.back(), now_ms, 0, false);
  check_poll(joiner, left, now_ms + 60000, 0, true);
  qz::PartsJoiner fresh;
  check_poll(fresh, polls.front(), 0, polls.front().size(), true);
  return 0;
}
