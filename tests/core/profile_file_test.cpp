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
  // Only the first section of a name is searched; lines without '=' and lines before
  // any section never match.
  EXPECT_EQ(f.read_text("Config", "Later", "-", 64), "-");
  EXPECT_EQ(f.read_text("Config", "no equals sign", "-", 64), "-");
  EXPECT_EQ(f.read_text("", "key", "-", 64), "-");
  EXPECT_EQ(ProfileFile(folder / "absent.ini").read_int("Config", "Port", 7), 7);
}

TEST_F(ProfileFileTest, IntegersTakeSignAndLeadingDigitsAndWrapAt32Bits) {
  const struct {
    const char* value;
    int32_t expected;
  } cases[] = {
      {"42", 42},           {"  -17 ", -17},        {"+8", 8},
      {"12abc", 12},        {"abc", 0},             {"-", 0},
      {"- 5", 0},           {"0x1F", 0},            {"'77'", 77},
      {"2147483647", INT32_MAX}, {"2147483648", INT32_MIN}, {"4294967295", -1},
      {"4294967296", 0},    {"-2147483649", INT32_MAX}, {"99999999999", 1215752191},
      {"", -9},             {"   ", -9},            {"\"\"", -9},
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

}  // namespace
}  // namespace qz
