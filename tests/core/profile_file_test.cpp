#include "core/profile_file.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <climits>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_folder.h"

namespace qz {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using test::read_file;
using test::TempFolder;
using test::write_file;

// A UTF-16 file with its byte-order mark; units are taken as they are, so a lone
// surrogate can be written too.
std::string utf16(std::u16string_view text, bool big_endian) {
  std::string bytes = big_endian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    bytes += big_endian ? high : low;
    bytes += big_endian ? low : high;
  }
  return bytes;
}

class ProfileFileTest : public ::testing::Test {
 protected:
  fs::path ini() const { return folder / "test.ini"; }
  ProfileFile with(const std::string& bytes) const {
    write_file(ini(), bytes);
    return ProfileFile(ini());
  }
  std::size_t entries() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator{}));
  }
  static unsigned mode_of(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
  }

  TempFolder folder;
};

TEST_F(ProfileFileTest, NamesMatchWithoutCaseBlanksAndQuotesAreDroppedFirstMatchWins) {
  ProfileFile f = with(
      "key=before any section\n"
      "; [Config] only in a comment\n"
      "  [ cOnFiG ] trailing words\n"
      "\tPort\t=  COM3  \n"
      "no equals sign\n"
      "Dq = \"  padded \" \n"
      "Sq='x'\n"
      "Odd=\"x'\n"
      "Lone=\"\n"
      "[Unclosed\n"
      "Tail=still in config\n"
      "PORT=second\n"
      "[\xC4rger]\n"
      "k=latin\n"
      "[config]\n"
      "Later=1\n");
  EXPECT_EQ(f.read_text("CONFIG", "port", "-", 64), "COM3");
  EXPECT_EQ(f.read_text("Config", "dq", "-", 64), "  padded ");
  EXPECT_EQ(f.read_text("Config", "Sq", "-", 64), "x");
  EXPECT_EQ(f.read_text("Config", "Odd", "-", 64), "\"x'");
  EXPECT_EQ(f.read_text("Config", "Lone", "-", 64), "\"");
  EXPECT_EQ(f.read_text("\xE4RGER", "K", "-", 64), "latin");
  // Only the first section of a name is searched; lines without '=' never match; a '['
  // without ']' opens no section; lines before any section are the nameless section's.
  EXPECT_EQ(f.read_text("Config", "Later", "-", 64), "-");
  EXPECT_EQ(f.read_text("Config", "no equals sign", "-", 64), "-");
  EXPECT_EQ(f.read_text("Config", "Tail", "-", 64), "still in config");
  EXPECT_EQ(f.read_text("Unclosed", "Tail", "-", 64), "-");
  EXPECT_EQ(f.read_text("", "key", "-", 64), "before any section");
  EXPECT_EQ(ProfileFile(folder / "absent.ini").read_int("Config", "Port", 7), 7);
}

TEST_F(ProfileFileTest, IntegersTakeSignPrefixAndLeadingDigitsAndWrapAt32Bits) {
  const struct {
    const char* value;
    int32_t expected;
  } cases[] = {
      {"42", 42},           {"  -17 ", -17},        {"+8", 8},
      {"12abc", 12},        {"abc", 0},             {"-", 0},
      {"- 5", 0},           {"0x1F", 31},            {"'77'", 77},
      {"2147483647", INT32_MAX}, {"2147483648", INT32_MIN}, {"4294967295", -1},
      {"4294967296", 0},    {"-2147483649", INT32_MAX}, {"99999999999", 1215752191},
      {"", -9},             {"   ", -9},            {"\"\"", -9},
      {"0X1F", 0},          {"-0o17", -15},         {"0b101", 5},
      {"010", 10},          {"0b2", 0},
  };
  std::string body = "[S]\n";
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    body += "k" + std::to_string(i) + "=" + cases[i].value + "\n";
  }
  ProfileFile f = with(body);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(f.read_int("s", "K" + std::to_string(i), -9), cases[i].expected)
        << "value '" << cases[i].value << "'";
  }
  EXPECT_EQ(f.read_int("S", "missing", -9), -9);
}

TEST_F(ProfileFileTest, TextIsCutToCapacityLessOneAndEmptyIsNotMissing) {
  ProfileFile f = with("[S]\nk=abcdef\nempty=\n");
  EXPECT_EQ(f.read_text("S", "k", "", 4), "abc");
  EXPECT_EQ(f.read_text("S", "k", "", 1), "");
  EXPECT_EQ(f.read_text("S", "k", "", 0), "");
  EXPECT_EQ(f.read_text("S", "missing", "default", 3), "de");
  EXPECT_EQ(f.read_text("S", "empty", "default", 64), "");

  // A file of bytes is cut at the byte, as the platform cuts it; a file that names its
  // Unicode form is cut before a character that would not fit whole.
  EXPECT_EQ(with("[S]\nk=Z\xC3\xBCrich\n").read_text("S", "k", "", 3), "Z\xC3");
  EXPECT_EQ(with("\xEF\xBB\xBF[S]\nk=Z\xC3\xBCrich\n").read_text("S", "k", "", 3), "Z");
  EXPECT_EQ(with(utf16(u"[S]\nk=Z\u00fcrich\n", false)).read_text("S", "k", "", 3), "Z");
  EXPECT_EQ(with(utf16(u"[S]\nk=Z\u00fcrich\n", true)).read_text("S", "k", "", 4), "Z\xC3\xBC");
}

TEST_F(ProfileFileTest, WritesCreateFileSectionsAndKeysInPlace) {
  ProfileFile f(ini());
  ASSERT_TRUE(f.write_text("Config", "Port", "COM1"));
  EXPECT_EQ(mode_of(ini()), 0600u);
  ASSERT_TRUE(f.write_text("WatchDog", "LastAlarm", "0000ABCD"));
  ASSERT_TRUE(f.write_text("config", "Mode", "96,N,8,1"));
  ASSERT_TRUE(f.write_text("CONFIG", "PORT", "COM2"));
  EXPECT_EQ(read_file(ini()), "[Config]\nPort=COM2\nMode=96,N,8,1\n\n[WatchDog]\nLastAlarm=0000ABCD\n");
  EXPECT_EQ(entries(), 1u);  // no temporary left behind
}

TEST_F(ProfileFileTest, WritesKeepEveryOtherByteLineEndingAndMode) {
  write_file(ini(),
             "; top\r\n[A]\r\n  Key = old value \r\n\xE4\xF6=latin1\r\n\r\n[B]\r\nx=1\r\n; tail");
  ::chmod(ini().c_str(), 0640);
  ProfileFile f(ini());
  ASSERT_TRUE(f.write_text("a", "KEY", "new"));
  EXPECT_EQ(read_file(ini()),
            "; top\r\n[A]\r\n  Key = new\r\n\xE4\xF6=latin1\r\n\r\n[B]\r\nx=1\r\n; tail");
  ASSERT_TRUE(f.write_text("A", "Added", "\xFC"));  // after the last key, before the blank line
  ASSERT_TRUE(f.write_text("B", "y", "2"));
  ASSERT_TRUE(f.write_text("C", "z", "3"));  // the last line has no line ending yet
  EXPECT_EQ(read_file(ini()),
            "; top\r\n[A]\r\n  Key = new\r\n\xE4\xF6=latin1\r\nAdded=\xFC\r\n\r\n"
            "[B]\r\nx=1\r\ny=2\r\n; tail\r\n\r\n[C]\r\nz=3\r\n");
  EXPECT_EQ(mode_of(ini()), 0640u);

  ProfileFile open_end = with("[S]\nk=1");
  ASSERT_TRUE(open_end.write_text("S", "j", "2"));
  EXPECT_EQ(read_file(ini()), "[S]\nk=1\nj=2\n");
}

TEST_F(ProfileFileTest, BlanksAroundNamesOrBeforeAValueNeitherLoseNorRepeatAWrite) {
  ProfileFile f = with("[A]\r\n  Key = old \r\n");
  // Blanks around the names asked for count as little as those in the file: the key is
  // found, replaced in place, and a new one reads back under the names it was written with.
  EXPECT_EQ(f.read_text(" a\t", "\tKEY  ", "-", 64), "old");
  ASSERT_TRUE(f.write_text(" A ", "  Key ", "new"));
  EXPECT_EQ(read_file(ini()), "[A]\r\n  Key = new\r\n");
  ASSERT_TRUE(f.write_text(" B ", " k ", "1"));
  EXPECT_EQ(read_file(ini()), "[A]\r\n  Key = new\r\n\r\n[B]\r\nk=1\r\n");
  EXPECT_EQ(f.read_text(" B ", " k ", "-", 64), "1");

  // A value with blanks in front: writing it again leaves the file as it is.
  ASSERT_TRUE(f.write_text("A", "Key", "\t v"));
  const std::string once = read_file(ini());
  EXPECT_EQ(once, "[A]\r\n  Key =\t v\r\n\r\n[B]\r\nk=1\r\n");
  ASSERT_TRUE(f.write_text("A", "Key", "\t v"));
  EXPECT_EQ(read_file(ini()), once);
  EXPECT_EQ(f.read_text("A", "Key", "-", 64), "v");
}

TEST_F(ProfileFileTest, HostileFilesAreReadAndRewrittenWithoutHarm) {
  // Binary garbage with NULs and every byte value, one huge line, no final newline.
  std::string garbage;
  for (int i = 0; i < 200000; ++i) garbage += static_cast<char>((i * 239) % 256);
  const std::string before =
      garbage + "\n" + std::string(1 << 20, '=') + "\n[S]\nnul=a\0b\nlast=tail"s;
  ProfileFile f = with(before);
  EXPECT_EQ(f.read_text("S", "nul", "", 64), "a\0b"s);
  EXPECT_EQ(f.read_text("S", "last", "", 64), "tail");
  ASSERT_TRUE(f.write_text("S", "new", "1"));
  EXPECT_EQ(read_file(ini()), before + "\nnew=1\n");

  // Several megabytes of keys: the one at the end is still found.
  std::string big = "[Big]\n";
  while (big.size() < (5u << 20)) big += "key" + std::to_string(big.size()) + "=some value\n";
  EXPECT_EQ(with(big + "[S]\nend=found\n").read_text("S", "end", "", 64), "found");

  // A FIFO where the file should be neither blocks a reader nor gets replaced.
  const fs::path fifo = folder / "fifo.ini";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(ProfileFile(fifo).read_int("S", "k", 5), 5);
  EXPECT_FALSE(ProfileFile(fifo).write_text("S", "k", "1"));
  EXPECT_TRUE(fs::is_fifo(fifo));
}

TEST_F(ProfileFileTest, FailedWritesLeaveTheFileAsItWas) {
  const std::string before = "[S]\nk=old\n";
  ProfileFile f = with(before);

  // A disk that fills up: the file-size limit stops the temporary part-way.
  auto old_handler = ::signal(SIGXFSZ, SIG_IGN);
  rlimit old_limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  rlimit small = old_limit;
  small.rlim_cur = 16;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool written = f.write_text("S", "k", std::string(4096, 'x'));
  ::setrlimit(RLIMIT_FSIZE, &old_limit);
  ::signal(SIGXFSZ, old_handler);
  EXPECT_FALSE(written);
  EXPECT_EQ(read_file(ini()), before);
  EXPECT_EQ(entries(), 1u);

  // Values and names that would change other keys or could not be read back.
  EXPECT_FALSE(f.write_text("S", "k", "two\nlines"));
  EXPECT_FALSE(f.write_text("S", "k", "cr\r"));
  EXPECT_FALSE(f.write_text("S]", "k", "1"));
  EXPECT_FALSE(f.write_text("S", "a=b", "1"));
  EXPECT_FALSE(f.write_text("S", " [T]", "1"));
  // A key that lands at the very start would turn the file into one with a byte-order mark.
  EXPECT_FALSE(f.write_text("", "\xFF\xFEk", "1"));
  EXPECT_FALSE(f.write_text("", "\xEF\xBB\xBFk", "1"));
  EXPECT_EQ(read_file(ini()), before);

  EXPECT_FALSE(ProfileFile(folder / "missing" / "x.ini").write_text("S", "k", "1"));
  fs::create_directory(folder / "dir.ini");
  EXPECT_FALSE(ProfileFile(folder / "dir.ini").write_text("S", "k", "1"));
  EXPECT_TRUE(fs::is_directory(folder / "dir.ini"));
}

TEST_F(ProfileFileTest, ConcurrentWritersAllLand) {
  constexpr int kThreads = 4;
  constexpr int kKeys = 20;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([this, t] {
      // Each thread spells the name its own way; all of them meet in one file.
      ProfileFile f(folder.path(), t % 2 ? "SHARED.INI" : "shared.ini");
      for (int i = 0; i < kKeys; ++i) {
        EXPECT_TRUE(f.write_text("S" + std::to_string(t % 2), "k" + std::to_string(t * 100 + i),
                                 std::to_string(i)));
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(entries(), 1u);
  ProfileFile f(folder.path(), "Shared.ini");
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kKeys; ++i) {
      EXPECT_EQ(f.read_int("S" + std::to_string(t % 2), "k" + std::to_string(t * 100 + i), -1), i);
    }
  }
}

TEST_F(ProfileFileTest, BareNamesResolveInTheFolderWithoutRegardToCase) {
  ProfileFile lower(folder.path(), "qzgsms.ini");
  EXPECT_EQ(lower.path(), folder / "qzgsms.ini");  // none yet: the name as written
  write_file(folder / "QZGSMS.INI", "[Config]\nPort=COM7\n");
  EXPECT_EQ(lower.path(), folder / "QZGSMS.INI");  // looked up again at every access
  EXPECT_EQ(lower.read_text("config", "port", "", 64), "COM7");
  ASSERT_TRUE(lower.write_text("Config", "Port", "COM8"));
  EXPECT_EQ(read_file(folder / "QZGSMS.INI"), "[Config]\nPort=COM8\n");
  EXPECT_EQ(entries(), 1u);

  write_file(folder / "Qzgsms.Ini", "");
  EXPECT_EQ(resolve_name_in_folder(folder.path(), "Qzgsms.Ini"), folder / "Qzgsms.Ini");
  EXPECT_EQ(resolve_name_in_folder(folder.path(), "qzgsms.ini"), folder / "QZGSMS.INI");
  EXPECT_EQ(resolve_name_in_folder(folder / "nowhere", "a.ini"), folder / "nowhere" / "a.ini");
  // A full path is used as it is.
  EXPECT_EQ(ProfileFile(folder / "qzgsms.ini").read_text("Config", "Port", "-", 64), "-");
}

TEST_F(ProfileFileTest, WriteThroughALinkUpdatesTheFileItNames) {
  write_file(folder / "real.ini", "[S]\nk=1\n");
  fs::create_symlink("real.ini", ini());
  ASSERT_TRUE(ProfileFile(ini()).write_text("S", "k", "2"));
  EXPECT_TRUE(fs::is_symlink(ini()));
  EXPECT_EQ(read_file(folder / "real.ini"), "[S]\nk=2\n");
}

TEST_F(ProfileFileTest, ByteOrderMarksAreHonouredWhenReading) {
  // A UTF-8 mark is skipped; the bytes after it pass through as always.
  ProfileFile bom = with("\xEF\xBB\xBF[Alarm]\r\nPhoneNumber=123\r\nMessage=Temp\xC3\xA9rature\r\n");
  EXPECT_EQ(bom.read_text("Alarm", "PhoneNumber", "-", 64), "123");
  EXPECT_EQ(bom.read_text("Alarm", "Message", "-", 64), "Temp\xC3\xA9rature");
  EXPECT_EQ(with("\xEF\xBB\xBF").read_int("Alarm", "k", 4), 4);
  // Only at the very start: elsewhere it is bytes of the value.
  EXPECT_EQ(with("[S]\nk=\xEF\xBB\xBFx\n").read_text("S", "k", "-", 64), "\xEF\xBB\xBFx");
  EXPECT_EQ(with("\xEF\xBB[S]\nk=1\n").read_int("S", "k", -1), -1);

  // UTF-16 in either byte order reads as UTF-8, characters beyond the BMP included.
  const std::u16string text =
      u"[Alarm]\r\nMessage=Temp\u00e9rature \U0001F600 \u20ac\r\nRings=3\r\n[MMS]\r\nSubject=\u00c4rger";
  const std::string expected = "Temp\xC3\xA9rature \xF0\x9F\x98\x80 \xE2\x82\xAC";
  for (bool big : {false, true}) {
    SCOPED_TRACE(big ? "big endian" : "little endian");
    ProfileFile f = with(utf16(text, big));
    EXPECT_EQ(f.read_text("alarm", "message", "-", 64), expected);
    EXPECT_EQ(f.read_int("Alarm", "Rings", 0), 3);
    EXPECT_EQ(f.read_text("MMS", "Subject", "-", 64), "\xC3\x84rger");
    // Job files are read from memory the same way.
    EXPECT_EQ(ProfileText(utf16(text, big)).read_text("Alarm", "Message", "-", 64), expected);
    EXPECT_EQ(with(utf16(u"", big)).read_int("Alarm", "Rings", 7), 7);
  }
  // One byte of a mark is no mark.
  EXPECT_EQ(with("\xFF").read_int("S", "k", 5), 5);
}

TEST_F(ProfileFileTest, DamagedUtf16ReadsAsReplacementCharactersWithinItsBounds) {
  const std::string fffd = "\xEF\xBF\xBD";
  for (bool big : {false, true}) {
    SCOPED_TRACE(big ? "big endian" : "little endian");
    // A high surrogate before a non-surrogate, a lone low one, and a high one at the end.
    std::u16string text = u"[S]\nk=a";
    text += char16_t{0xD800};
    text += u"b";
    text += char16_t{0xDC00};
    text += u"\nswapped=";
    text += char16_t{0xDC00};
    text += char16_t{0xD800};
    text += u"\nlast=";
    text += char16_t{0xDBFF};
    ProfileFile f = with(utf16(text, big));
    EXPECT_EQ(f.read_text("S", "k", "-", 64), "a" + fffd + "b" + fffd);
    EXPECT_EQ(f.read_text("S", "swapped", "-", 64), fffd + fffd);
    EXPECT_EQ(f.read_text("S", "last", "-", 64), fffd);

    // An odd length: the half unit at the end is never read past.
    ProfileFile odd = with(utf16(u"[S]\nk=v", big) + "x");
    EXPECT_EQ(odd.read_text("S", "k", "-", 64), "v" + fffd);
    EXPECT_EQ(with(utf16(u"", big) + "x").read_int("S", "k", 5), 5);
  }
}

TEST_F(ProfileFileTest, LoneCarriageReturnsEndLinesAsLfAndCrlfDo) {
  ProfileFile cr = with("[Alarm]\rPhoneNumber=123\rMessage=cr only\r[MMS]\rSubject=s");
  EXPECT_EQ(cr.read_text("Alarm", "PhoneNumber", "-", 64), "123");
  EXPECT_EQ(cr.read_text("Alarm", "Message", "-", 64), "cr only");
  EXPECT_EQ(cr.read_text("Alarm", "Subject", "-", 64), "-") << "the section ends at [MMS]";
  EXPECT_EQ(cr.read_text("MMS", "Subject", "-", 64), "s");

  // Every ending in one file; CR CR LF is an empty line after the first CR.
  ProfileFile mixed = with("[S]\r\na=1\rb=2\nc=3\r\r\nd=4\n\re=5\r\n[T]\rf=6");
  EXPECT_EQ(mixed.read_text("S", "a", "-", 64), "1");
  EXPECT_EQ(mixed.read_text("S", "b", "-", 64), "2");
  EXPECT_EQ(mixed.read_text("S", "c", "-", 64), "3");
  EXPECT_EQ(mixed.read_text("S", "d", "-", 64), "4");
  EXPECT_EQ(mixed.read_text("S", "e", "-", 64), "5");
  EXPECT_EQ(mixed.read_text("T", "f", "-", 64), "6");
  EXPECT_EQ(mixed.read_text("S", "f", "-", 64), "-");
}

TEST_F(ProfileFileTest, WritesKeepAUtf8MarkAndTheFilesOwnLineEndings) {
  ProfileFile bom = with("\xEF\xBB\xBF[A]\r\nk=1\r\n");
  ASSERT_TRUE(bom.write_text("A", "k", "2"));
  ASSERT_TRUE(bom.write_text("A", "j", "3"));
  ASSERT_TRUE(bom.write_text("B", "x", "4"));
  EXPECT_EQ(read_file(ini()), "\xEF\xBB\xBF[A]\r\nk=2\r\nj=3\r\n\r\n[B]\r\nx=4\r\n");
  ProfileFile bom_only = with("\xEF\xBB\xBF");
  ASSERT_TRUE(bom_only.write_text("S", "k", "1"));
  EXPECT_EQ(read_file(ini()), "\xEF\xBB\xBF[S]\nk=1\n");

  ProfileFile cr = with("[A]\rk=1\r[B]\rx=1");
  ASSERT_TRUE(cr.write_text("A", "k", "new"));
  ASSERT_TRUE(cr.write_text("A", "j", "2"));
  ASSERT_TRUE(cr.write_text("B", "y", "3"));
  ASSERT_TRUE(cr.write_text("C", "z", "4"));
  EXPECT_EQ(read_file(ini()), "[A]\rk=new\rj=2\r[B]\rx=1\ry=3\r\r[C]\rz=4\r");
  EXPECT_EQ(cr.read_text("B", "x", "-", 64), "1");
  EXPECT_EQ(cr.read_text("C", "z", "-", 64), "4");

  // Mixed endings: the most frequent wins, and a new ending never joins a neighbour's
  // CR or LF into a CRLF that would swallow a line.
  ProfileFile mostly_cr = with("[A]\rk=1\n\n[B]\rx=1\ry=2\rz=3\r");
  ASSERT_TRUE(mostly_cr.write_text("A", "j", "2"));
  EXPECT_EQ(read_file(ini()), "[A]\rk=1\nj=2\r\n\n[B]\rx=1\ry=2\rz=3\r");
  ProfileFile mostly_lf = with("[A]\na=1\nb=2\nc=3\r");
  ASSERT_TRUE(mostly_lf.write_text("B", "x", "1"));
  EXPECT_EQ(read_file(ini()), "[A]\na=1\nb=2\nc=3\r\r\n[B]\nx=1\n");
  EXPECT_EQ(mostly_lf.read_text("A", "c", "-", 64), "3");
  EXPECT_EQ(mostly_lf.read_text("B", "x", "-", 64), "1");
}

TEST_F(ProfileFileTest, Utf16FilesAreRewrittenInTheirOwnEncodingOrNotAtAll) {
  for (bool big : {false, true}) {
    SCOPED_TRACE(big ? "big endian" : "little endian");
    ProfileFile f = with(utf16(u"[Config]\r\nPort=COM1\r\nCity=Z\u00fcrich \U0001F600\r\n", big));
    ASSERT_TRUE(f.write_text("Config", "Port", "COM2"));
    ASSERT_TRUE(f.write_text("Config", "Town", "Gen\xC3\xA8ve"));
    ASSERT_TRUE(f.write_text("WatchDog", "LastAlarm", "0000ABCD"));
    EXPECT_EQ(read_file(ini()),
              utf16(u"[Config]\r\nPort=COM2\r\nCity=Z\u00fcrich \U0001F600\r\nTown=Gen\u00e8ve\r\n"
                    u"\r\n[WatchDog]\r\nLastAlarm=0000ABCD\r\n",
                    big));

    const std::string written = read_file(ini());
    // Bytes that are not UTF-8 have no UTF-16 form.
    EXPECT_FALSE(f.write_text("Config", "Town", "Gen\xE8ve"));
    EXPECT_FALSE(f.write_text("Conf\xE9", "Port", "1"));
    EXPECT_EQ(read_file(ini()), written);

    // A damaged file would not come back as it was.
    std::u16string lone = u"[S]\nk=";
    lone += char16_t{0xD800};
    const std::string damaged = utf16(lone, big);
    EXPECT_FALSE(with(damaged).write_text("S", "j", "1"));
    EXPECT_EQ(read_file(ini()), damaged);
    const std::string odd = utf16(u"[S]\nk=1\n", big) + "x";
    EXPECT_FALSE(with(odd).write_text("S", "j", "1"));
    EXPECT_EQ(read_file(ini()), odd);
  }
  EXPECT_EQ(entries(), 1u);
}

TEST_F(ProfileFileTest, SectionKeysListWhatTheReaderSeesAndFailedWritesSayWhy) {
  ProfileFile f = with("Stray=1\r\n[Config]\r\n  Port = COM3\r\nno equals sign\r\nProt=x\r\n; Mode=19\r\n"
                       "[Other]\r\nKey=1\r\n[ config ]\r\nLater=1\r\n");
  // Only the first section of a name is ever read; a key starting with ';' is a comment.
  EXPECT_EQ(f.section_keys("config"), (std::vector<std::string>{"Port", "Prot"}));
  EXPECT_EQ(f.section_keys("Missing"), std::nullopt);

  errno = 0;
  EXPECT_FALSE(f.write_text("Config", "k", "two\nlines"));
  EXPECT_EQ(errno, EINVAL);
  EXPECT_FALSE(ProfileFile(folder / "missing" / "x.ini").write_text("S", "k", "1"));
  EXPECT_EQ(errno, ENOENT);
  EXPECT_FALSE(with(utf16(u"[S]\r\nk=1\r\n\xD800", false)).write_text("S", "k", "2"));
  EXPECT_EQ(errno, EILSEQ);
}

}  // namespace
}  // namespace qz
