#include "modem/mode_string.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace qz {

void PrintTo(const LineSettings& s, std::ostream* os) {
  *os << s.baud_rate << "/" << s.data_bits << "/p" << static_cast<int>(s.parity) << "/s"
      << static_cast<int>(s.stop_bits) << "/f" << static_cast<int>(s.flow);
}

namespace {

struct Good {
  std::string mode;
  LineSettings want;
};

// A line in some other state than the defaults, so a field taken from it shows.
const LineSettings kCurrent{19200, 7, Parity::Even, StopBits::Two, FlowControl::Hardware};

TEST(ModeStringTest, ReadsTheCommaFormWithAbbreviationsLettersAndBlanks) {
  constexpr Parity None = Parity::None, Even = Parity::Even, Odd = Parity::Odd, Mark = Parity::Mark,
                   Space = Parity::Space;
  constexpr StopBits One = StopBits::One, OneAndHalf = StopBits::OneAndHalf, Two = StopBits::Two;
  constexpr FlowControl XonXoff = FlowControl::XonXoff, Hardware = FlowControl::Hardware;
  const std::vector<Good> cases = {
      {"96,N,8,1", {9600, 8, None, One, FlowControl::None}},
      {"96,n,8,1", {9600, 8, None, One, FlowControl::None}},
      {"11,N,8,2", {110, 8, None, Two, FlowControl::None}},
      // Anything that is not an abbreviation is the rate itself.
      {"115200,N,8,1", {115200, 8, None, One, FlowControl::None}},
      {"9600,N,8,1", {9600, 8, None, One, FlowControl::None}},
      {"14400,N,8,1", {14400, 8, None, One, FlowControl::None}},
      {"1152,N,8,1", {1152, 8, None, One, FlowControl::None}},
      {"96,e,7,1", {9600, 7, Even, One, FlowControl::None}},
      {"96,O,7,2", {9600, 7, Odd, Two, FlowControl::None}},
      {"96,m,8,1", {9600, 8, Mark, One, FlowControl::None}},
      {"96,S,6,1", {9600, 6, Space, One, FlowControl::None}},
      {"96,N,5,1.5", {9600, 5, None, OneAndHalf, FlowControl::None}},
      {"96,N,8,1,x", {9600, 8, None, One, XonXoff}},
      {"96,N,8,1,P", {9600, 8, None, One, Hardware}},
      {"96,N,8,1,", {9600, 8, None, One, FlowControl::None}},
      {" 96 , n , 8 , 1 , x ", {9600, 8, None, One, XonXoff}},
      {"\t96,\tN,8,1\t", {9600, 8, None, One, FlowControl::None}},
      {"COM1: 96,n,8,1", {9600, 8, None, One, FlowControl::None}},
      {"COM1:96,N,8,1", {9600, 8, None, One, FlowControl::None}},
      {"com12 : 19,E,7,1", {19200, 7, Even, One, FlowControl::None}},
      {"COM2 96,N,8,1", {9600, 8, None, One, FlowControl::None}},
  };
  for (const Good& c : cases) {
    SCOPED_TRACE(c.mode);
    std::optional<LineSettings> got = parse_mode_string(c.mode, kCurrent);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(*got, c.want);
  }
  const std::pair<const char*, uint32_t> abbreviations[] = {{"15", 150},   {"30", 300},   {"60", 600},
                                                            {"12", 1200},  {"24", 2400},  {"48", 4800},
                                                            {"19", 19200}, {"096", 9600}};
  for (auto [abbreviation, rate] : abbreviations) {
    std::optional<LineSettings> got = parse_mode_string(std::string(abbreviation) + ",N,8,1", kCurrent);
    ASSERT_TRUE(got.has_value()) << abbreviation;
    EXPECT_EQ(got->baud_rate, rate) << abbreviation;
  }
}

TEST(ModeStringTest, EmptyOrMissingFieldsKeepTheLineButFlowControlGoesOff) {
  // The settings sheet writes "96,,," when the operator leaves the fields blank.
  const std::vector<Good> cases = {
      {"96,,,", {9600, 7, Parity::Even, StopBits::Two, FlowControl::None}},
      {"96", {9600, 7, Parity::Even, StopBits::Two, FlowControl::None}},
      {"96,n,8", {9600, 8, Parity::None, StopBits::Two, FlowControl::None}},
      {"48,,8,", {4800, 8, Parity::Even, StopBits::Two, FlowControl::None}},
      {"96,,,,x", {9600, 7, Parity::Even, StopBits::Two, FlowControl::XonXoff}},
  };
  for (const Good& c : cases) {
    SCOPED_TRACE(c.mode);
    std::optional<LineSettings> got = parse_mode_string(c.mode, kCurrent);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(*got, c.want);
  }
}

TEST(ModeStringTest, RefusesMalformedStrings) {
  const char* bad[] = {
      "",             ",,,",           "   ",           ",N,8,1",        "0,N,8,1",
      "-96,N,8,1",    "+96,N,8,1",     "9 6,N,8,1",     "96.0,N,8,1",    "4294967296,N,8,1",
      "96,X,8,1",     "96,NO,8,1",     "96,N,9,1",      "96,N,4,1",      "96,N,0,1",
      "96,N,8,3",     "96,N,8,0",      "96,N,8,1.50",   "96,N,8,1,q",    "96,N,8,1,xx",
      "96,N,8,1,x,",  "96,N,8,1 x",    "96;N;8;1",      "96 N 8 1",      "COM:96,N,8,1",
      "COM196,N,8,1", "COMx:96,N,8,1", "COM1:",         "COM1:,N,8,1",   "baud=96 parity=n",
      // Stop-bit combinations a UART cannot do: 1.5 only with five data bits, 2 never.
      "96,N,8,1.5",   "96,N,5,2",
  };
  for (const char* mode : bad) {
    SCOPED_TRACE(mode);
    EXPECT_FALSE(parse_mode_string(mode, kCurrent).has_value());
  }
}

TEST(ModeStringTest, CombinationCheckSeesTheFieldsTakenFromTheLine) {
  // Five data bits with 1.5 stop bits on the line: asking for 8 data bits alone would give
  // an impossible 8 + 1.5, which is refused; asking for both is fine.
  LineSettings five{9600, 5, Parity::None, StopBits::OneAndHalf, FlowControl::None};
  EXPECT_FALSE(parse_mode_string("96,n,8", five).has_value());
  std::optional<LineSettings> got = parse_mode_string("96,n,8,1", five);
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(got->data_bits, 8);
  EXPECT_EQ(got->stop_bits, StopBits::One);
}

}  // namespace
}  // namespace qz
