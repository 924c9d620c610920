#include "modem/message_parts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qz {
namespace {

ListedText part(int index, unsigned reference, bool wide, unsigned parts, unsigned sequence, std::string text,
                std::string sender = "\"+4179\"") {
  return {index, std::move(sender), std::move(text), SmsPartOf{reference, wide, parts, sequence}};
}
ListedText whole(int index, std::string text) { return {index, "\"+4179\"", std::move(text), std::nullopt}; }

struct Handed {
  std::string sender;
  std::string text;
  std::vector<int> indices;
  bool operator==(const Handed&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Handed& h) {
  out << h.sender << " '" << h.text << "' [";
  for (int i : h.indices) out << ' ' << i;
  return out << " ]";
}

std::vector<Handed> handed(const std::vector<JoinedText>& joined) {
  std::vector<Handed> out;
  for (const JoinedText& j : joined) out.push_back({j.sender, j.text, j.indices});
  return out;
}

TEST(PartsJoiner, OneListingIsJoinedByMessageInPartOrder) {
  struct Case {
    const char* name;
    std::vector<ListedText> listed;
    std::vector<Handed> expected;
  };
  const Case cases[] = {
      {"listed out of order",
       {part(4, 7, false, 3, 3, "C"), part(2, 7, false, 3, 1, "A"), part(9, 7, false, 3, 2, "B")},
       {{"\"+4179\"", "ABC", {4, 2, 9}}}},
      {"8-bit and 16-bit references of the same value are two messages, and so are two senders",
       {part(1, 5, false, 2, 1, "a"), part(2, 5, true, 2, 2, "Y"), part(3, 5, false, 2, 2, "b"),
        part(4, 5, true, 2, 1, "X"), part(5, 5, false, 2, 1, "other", "\"+4178\"")},
       {{"\"+4179\"", "ab", {1, 3}}, {"\"+4179\"", "XY", {2, 4}}}},
      {"a part sent twice counts once and both entries go",
       {part(1, 9, false, 2, 1, "a"), part(2, 9, false, 2, 1, "a again"), part(3, 9, false, 2, 2, "b")},
       {{"\"+4179\"", "ab", {1, 2, 3}}}},
      {"whole messages keep the listing order around a long one",
       {whole(1, "first"), part(2, 1, false, 2, 2, "-2"), whole(3, "third"), part(4, 1, false, 2, 1, "1")},
       {{"\"+4179\"", "first", {1}}, {"\"+4179\"", "1-2", {2, 4}}, {"\"+4179\"", "third", {3}}}},
  };
  for (const Case& c : cases) {
    PartsJoiner joiner;
    EXPECT_EQ(handed(joiner.take_ready(c.listed, 0, 60000, 0)), c.expected) << c.name;
  }
}

TEST(PartsJoiner, IncompleteMessageWaitsThenGoesWithAMarkWhereItIsIncomplete) {
  PartsJoiner joiner;
  const std::vector<ListedText> listed = {part(1, 3, true, 5, 1, "A"), part(2, 3, true, 5, 4, "D")};
  EXPECT_TRUE(joiner.take_ready(listed, 1000, 60000, 0).empty());
  // The wait runs from the first sight, not from each listing.
  EXPECT_TRUE(joiner.take_ready(listed, 60999, 60000, 0).empty());
  EXPECT_EQ(joiner.waiting(), 1u);
  const std::vector<JoinedText> out = joiner.take_ready(listed, 61000, 60000, 0);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].text, "A[parts 2 to 3 of 5 missing]D[part 5 of 5 missing]");
  EXPECT_EQ(out[0].missing, (std::vector<unsigned>{2, 3, 5}));
  EXPECT_FALSE(out[0].for_room);
  EXPECT_EQ(joiner.waiting(), 0u);

  // A message that came whole meanwhile starts no old wait anew.
  EXPECT_TRUE(joiner.take_ready({part(5, 3, true, 5, 2, "B")}, 70000, 60000, 0).empty());
  EXPECT_EQ(joiner.waiting(), 1u);
}

TEST(PartsJoiner, StoreNeedingRoomTakesTheOldestIncompleteMessagesFirst) {
  PartsJoiner joiner;
  const ListedText old_a = part(1, 1, false, 3, 1, "old"), old_b = part(2, 1, false, 3, 2, "er");
  const ListedText young = part(3, 2, false, 2, 1, "young");
  EXPECT_TRUE(joiner.take_ready({old_a, old_b}, 0, 60000, 0).empty());
  // Two entries wanted, one of them freed by a whole message: the oldest message goes.
  std::vector<JoinedText> out = joiner.take_ready({whole(4, "w"), young, old_a, old_b}, 10, 60000, 3);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].text, "w");
  EXPECT_EQ(out[1].text, "older[part 3 of 3 missing]");
  EXPECT_TRUE(out[1].for_room);
  EXPECT_EQ(joiner.waiting(), 1u);
}

}  // namespace
}  // namespace qz
