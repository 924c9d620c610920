#include "modem/message_parts.h"

#include <algorithm>

namespace qz {

namespace {

struct Group {
  std::size_t first_position = 0;  // in the listing
  int64_t first_seen_ms = 0;
  unsigned parts = 0;
  std::string sender;
  std::map<unsigned, const ListedText*> by_sequence;
  std::vector<int> indices;
  bool whole() const { return by_sequence.size() == parts; }
};

JoinedText join(const Group& group) {
  JoinedText joined;
  joined.sender = group.sender;
  joined.indices = group.indices;
  joined.parts = group.parts;
  for (unsigned sequence = 1; sequence <= group.parts; ++sequence) {
    auto found = group.by_sequence.find(sequence);
    if (found != group.by_sequence.end()) {
      joined.text += found->second->text;
      continue;
    }
    const unsigned first = sequence;
    while (sequence < group.parts && group.by_sequence.count(sequence + 1) == 0) ++sequence;
    for (unsigned missing = first; missing <= sequence; ++missing) joined.missing.push_back(missing);
    joined.text += missing_parts_mark(first, sequence, group.parts);
  }
  return joined;
}

}  // namespace

std::string missing_parts_mark(unsigned first, unsigned last, unsigned parts) {
  const std::string of = " of " + std::to_string(parts) + " missing]";
  if (first == last) return "[part " + std::to_string(first) + of;
  return "[parts " + std::to_string(first) + " to " + std::to_string(last) + of;
}

std::vector<JoinedText> PartsJoiner::take_ready(const std::vector<ListedText>& listed, int64_t now_ms,
                                                int64_t wait_ms, std::size_t slots_wanted) {
  // Each message by the listing position of its first entry, so the order is the listing's.
  std::map<std::size_t, JoinedText> ready;
  std::map<Key, Group> groups;
  for (std::size_t position = 0; position < listed.size(); ++position) {
    const ListedText& entry = listed[position];
    // A header that makes no sense cannot be joined with anything: the entry stands alone.
    const bool joinable =
        entry.part && entry.part->parts >= 2 && entry.part->sequence >= 1 && entry.part->sequence <= entry.part->parts;
    if (!joinable) {
      JoinedText single;
      single.sender = entry.sender;
      single.text = entry.text;
      single.indices = {entry.index};
      ready[position] = std::move(single);
      continue;
    }
    const SmsPartOf& part = *entry.part;
    const Key key{entry.sender, part.reference, part.wide_reference, part.parts};
    auto [it, added] = groups.try_emplace(key);
    Group& group = it->second;
    if (added) {
      group.first_position = position;
      group.parts = part.parts;
      group.sender = entry.sender;
      auto seen = first_seen_ms_.find(key);
      group.first_seen_ms = seen == first_seen_ms_.end() ? now_ms : seen->second;
    }
    group.by_sequence.try_emplace(part.sequence, &entry);
    group.indices.push_back(entry.index);
  }

  std::vector<std::pair<const Key*, const Group*>> incomplete;
  for (const auto& [key, group] : groups) {
    if (group.whole() || now_ms - group.first_seen_ms >= wait_ms) {
      ready[group.first_position] = join(group);
    } else {
      incomplete.emplace_back(&key, &group);
    }
  }
  // What is handed on anyway frees its entries.
  for (const auto& [position, joined] : ready) slots_wanted -= std::min(slots_wanted, joined.indices.size());

  std::sort(incomplete.begin(), incomplete.end(), [](const auto& a, const auto& b) {
    return std::tie(a.second->first_seen_ms, a.second->first_position) <
           std::tie(b.second->first_seen_ms, b.second->first_position);
  });
  std::map<Key, int64_t> still_waiting;
  for (const auto& [key, group] : incomplete) {
    if (slots_wanted > 0) {
      JoinedText joined = join(*group);
      joined.for_room = true;
      slots_wanted -= std::min(slots_wanted, joined.indices.size());
      ready[group->first_position] = std::move(joined);
    } else {
      still_waiting[*key] = group->first_seen_ms;
    }
  }
  first_seen_ms_ = std::move(still_waiting);

  std::vector<JoinedText> out;
  for (auto& [position, joined] : ready) out.push_back(std::move(joined));
  return out;
}

}  // namespace qz
