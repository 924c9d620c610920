#include "modem/gsm_charset.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace qz {
namespace {

// The GSM default alphabet (3GPP TS 23.038), code 0x00 to 0x7F, as Unicode code points.
// 0x1B is the escape to the extension table, not a character.
constexpr char32_t kGsmAlphabet[] =
    U"@£$¥èéùìòÇ\nØø\rÅå"
    U"Δ_ΦΓΛΩΠΨΣΘΞ\x1B"
    U"ÆæßÉ"
    U" !\"#¤%&'()*+,-./"
    U"0123456789:;<=>?"
    U"¡ABCDEFGHIJKLMNO"
    U"PQRSTUVWXYZÄÖÑÜ§"
    U"¿abcdefghijklmno"
    U"pqrstuvwxyzäöñüà";
static_assert(sizeof kGsmAlphabet / sizeof kGsmAlphabet[0] == 129);
constexpr unsigned kEscape = 0x1B;

// The characters our tables drop on purpose although both sides know them.
const std::set<unsigned> kDroppedLatin1 = {0xA1};  // '¡', GSM 0x40

bool in_latin1(char32_t c) { return c <= 0xFF; }

TEST(GsmCharset, EveryMappingKeepsTheCharacter) {
  for (unsigned b = 0; b < 256; ++b) {
    const unsigned g = to_gsm(static_cast<unsigned char>(b));
    ASSERT_LT(g, 0x80u) << "Latin-1 " << b << " sent as a non-GSM code";
    if (g != 0x20 || b == 0x20) {
      EXPECT_EQ(kGsmAlphabet[g], char32_t(b)) << "Latin-1 " << b << " sent as GSM " << g;
    }
  }
  for (unsigned g = 0; g < 256; ++g) {
    const unsigned b = from_gsm(static_cast<unsigned char>(g));
    if (b != 0x20 || g == 0x20) {
      ASSERT_LT(g, 0x80u);
      EXPECT_EQ(kGsmAlphabet[g], char32_t(b)) << "GSM " << g << " received as " << b;
    }
  }
}

TEST(GsmCharset, OnlyCharactersWithoutCounterpartBecomeSpaces) {
  // Sending: a Latin-1 character becomes a space only when GSM lacks it (or on purpose).
  for (unsigned g = 0; g < 0x80; ++g) {
    if (g == kEscape || !in_latin1(kGsmAlphabet[g])) continue;
    const unsigned b = kGsmAlphabet[g];
    if (kDroppedLatin1.count(b)) {
      EXPECT_EQ(to_gsm(static_cast<unsigned char>(b)), 0x20) << b;
    } else {
      EXPECT_EQ(to_gsm(static_cast<unsigned char>(b)), g) << "Latin-1 " << b;
      EXPECT_EQ(from_gsm(static_cast<unsigned char>(g)), b) << "GSM " << g;
    }
  }
  // Reception: the Greek capitals, the escape and '¡' arrive as spaces; nothing above 0x7F.
  for (unsigned g : {0x10u, 0x12u, 0x13u, 0x18u, 0x1Au, 0x1Bu, 0x40u, 0x80u, 0xC4u, 0xFFu}) {
    EXPECT_EQ(from_gsm(static_cast<unsigned char>(g)), 0x20) << g;
  }
  // The one ambiguity of the alphabet: 0x09 is the capital; the small ç has no code.
  EXPECT_EQ(to_gsm(0xC7), 0x09);
  EXPECT_EQ(to_gsm(0xE7), 0x20);
}

TEST(GsmCharset, ExamplesOfTheSendingSide) {
  EXPECT_EQ(to_gsm('@'), 0x00);
  EXPECT_EQ(to_gsm('$'), 0x02);
  EXPECT_EQ(to_gsm(0xE9), 0x05);  // é
  EXPECT_EQ(to_gsm('['), 0x20);
  EXPECT_EQ(to_gsm(0x80), 0x20);
  EXPECT_EQ(to_gsm('_'), 0x11);
  EXPECT_EQ(to_gsm(0xA4), 0x24);  // ¤ takes the code that '$' has in ASCII
  EXPECT_EQ(to_gsm(std::string("a@b\r\n{}")), std::string("a\0b\r\n  ", 7));
  EXPECT_EQ(from_gsm(std::string("\0\x02\x11\x7F", 4)), "@$_\xE0");
}

}  // namespace
}  // namespace qz
