// The parts of long received texts, joined before anyone sees them. Parts wait in the
// modem's store until their message is whole; a message that stays incomplete too long,
// or whose parts a nearly full store needs room from, is handed on with what came and a
// mark where parts are missing. Pure logic: the incoming thread lists, hands on and
// deletes; this only decides.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "modem/sms_deliver.h"

namespace qz {

// A listed message that can be handed on as text.
struct ListedText {
  int index = 0;       // in the modem's store
  std::string sender;  // as the command gets it
  std::string text;    // UTF-8
  std::optional<SmsPartOf> part;
};

// What to hand on: one whole message, or what arrived of one.
struct JoinedText {
  std::string sender;
  std::string text;          // in part order; a mark stands for each run of missing parts
  std::vector<int> indices;  // every store entry it came from, to delete once handed on
  unsigned parts = 1;
  std::vector<unsigned> missing;  // part numbers that never came; empty when whole
  bool for_room = false;          // handed on incomplete to make room in the store
};

// The mark that stands in the text for parts `first` to `last` of `parts`.
std::string missing_parts_mark(unsigned first, unsigned last, unsigned parts);

class PartsJoiner {
 public:
  // One poll's listing, in listing order. Whole messages come back in the order their
  // first entry was listed; an incomplete one once it has waited `wait_ms` since it was
  // first seen, or, oldest first, while `slots_wanted` store entries are still to be
  // freed. Parts with the same number are one part sent twice: the first text counts and
  // every entry is deleted with it. What is no longer listed is forgotten.
  std::vector<JoinedText> take_ready(const std::vector<ListedText>& listed, int64_t now_ms, int64_t wait_ms,
                                     std::size_t slots_wanted);

  // Incomplete messages still waiting after the last poll.
  std::size_t waiting() const { return first_seen_ms_.size(); }

 private:
  // Parts belong together when sender, reference (with its size) and number of parts agree.
  using Key = std::tuple<std::string, unsigned, bool, unsigned>;
  std::map<Key, int64_t> first_seen_ms_;
};

}  // namespace qz
