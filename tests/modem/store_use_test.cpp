#include "modem/store_use.h"

#include <gtest/gtest.h>

namespace qz {
namespace {

TEST(StoreUse, RepliesOfModemsAreReadOrRefused) {
  struct Case {
    const char* reply;
    int used, total;  // -1: nothing read
  };
  for (const Case& c : {Case{"+CPMS: \"SM\",3,20,\"SM\",3,20,\"SM\",3,20\r", 3, 20},
                        Case{"+CPMS: \"ME\", 17, 100\r", 17, 100},
                        Case{"\r+CPMS: \"SM\",20,20\rOK\r", 20, 20},
                        Case{"+CPMS: \"SM\",25,20\r", -1, -1},  // more used than there is
                        Case{"+CPMS: \"SM\",3,0\r", -1, -1},
                        Case{"+CPMS: \"SM\",,20\r", -1, -1},
                        Case{"+CPMS: \"SM\"\r3,20\r", -1, -1},
                        Case{"+CMS ERROR: 302\r", -1, -1},
                        Case{"", -1, -1}}) {
    const std::optional<StoreUse> use = parse_store_use(c.reply);
    EXPECT_EQ(use ? use->used : -1, c.used) << c.reply;
    EXPECT_EQ(use ? use->total : -1, c.total) << c.reply;
  }
}

TEST(StoreUse, EachLevelIsSaidOnceAndTheWayDownFromFullIsQuiet) {
  StoreUseWatch watch;
  struct Step {
    int used;
    const char* said;  // the start of the line, or "" for none
  };
  for (const Step& s : {Step{15, ""}, Step{16, "Message store nearly full (16 of 20 used)"}, Step{17, ""},
                        Step{20, "Message store full (20 of 20 used)"}, Step{20, ""}, Step{18, ""},
                        Step{20, "Message store full"}, Step{2, "Message store back to normal (2 of 20 used)"},
                        Step{0, ""}}) {
    const std::string line = watch.update({s.used, 20});
    EXPECT_EQ(line.substr(0, std::string(s.said).size()), s.said) << s.used;
    EXPECT_EQ(line.empty(), std::string(s.said).empty()) << s.used;
  }
  EXPECT_EQ((StoreUse{16, 20}.over_line()), 1);
  EXPECT_EQ((StoreUse{20, 20}.over_line()), 5);
  EXPECT_EQ((StoreUse{15, 20}.over_line()), 0);
}

}  // namespace
}  // namespace qz
