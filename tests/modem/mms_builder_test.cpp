#include "modem/mms_builder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <utility>
#include <vector>

#include "support/temp_folder.h"

namespace qz {
namespace {

using Octets = std::vector<unsigned char>;
using LogLine = std::pair<MmsLogTarget, std::string>;
constexpr auto kRed = MmsLogTarget::kDailyLogAndWindowRed;
constexpr auto kFile = MmsLogTarget::kDailyLog;

template <class... T>
Octets O(T... octets) {
  return Octets{static_cast<unsigned char>(octets)...};
}
Octets operator+(Octets a, const Octets& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
Octets operator+(Octets a, std::string_view s) {
  a.insert(a.end(), s.begin(), s.end());
  return a;
}

// 2023-11-14 22:13:20 UTC.
constexpr long long kTime = 1700000000;  // 0x6553F100

class MmsBuilderTest : public ::testing::Test {
 protected:
  MmsBuilderTest() {
    options.own_number = "123";
    options.now = std::chrono::system_clock::time_point(std::chrono::seconds(kTime));
    options.log = [this](MmsLogTarget t, const std::string& s) { logs.emplace_back(t, s); };
  }

  std::string file(const std::string& name, std::size_t size, char fill = 'x') {
    auto path = (folder / name).string();
    test::write_file(path, std::string(size, fill));
    return path;
  }

  // Builds into a buffer with guard octets after `capacity`, and checks they survive.
  int build(std::string_view recipient = "456", std::string_view subject = "",
            std::string_view text = "", std::size_t capacity = kMmsPduCapacity) {
    std::vector<unsigned char> buffer(capacity + 16, 0xEE);
    int n = build_mms(files, std::span(buffer.data(), capacity), recipient, subject, text,
                      options);
    for (std::size_t i = capacity; i < buffer.size(); ++i) {
      EXPECT_EQ(buffer[i], 0xEE) << "written past the capacity of " << capacity;
    }
    pdu.assign(buffer.begin(), buffer.begin() + (n > 0 ? n : 0));
    return n;
  }

  // Message type to From, as the gateway "123" writes it to "456" at kTime.
  static Octets headers(std::string_view to = "456") {
    return O(0x8C, 0x80, 0x98) + "6553F100" + O(0x00, 0x8D, 0x90, 0x97) + to +
           "/TYPE=PLMN" + O(0x00, 0x89, 0x0F, 0x80) + "123/TYPE=PLMN" + O(0x00);
  }

  test::TempFolder folder;
  MmsFileList files{};
  MmsBuildOptions options;
  std::vector<LogLine> logs;
  Octets pdu;
};

TEST_F(MmsBuilderTest, TextOnlyMessageOctetForOctet) {
  ASSERT_EQ(build("456", "", "abc"), int(headers().size() + 9));
  EXPECT_EQ(pdu, headers() + O(0x84, 0xA3, 0x01, 0x01, 0x03, 0x83) + "abc");
  EXPECT_TRUE(logs.empty());

  // A subject sits between From and Content-Type; one that starts with an 8-bit
  // character is quoted so a reader does not take it for a well-known value.
  build("456", "Alarm", "abc");
  EXPECT_EQ(pdu, headers() + O(0x96) + "Alarm" + O(0x00, 0x84, 0xA3, 0x01, 0x01,
                                                              0x03, 0x83) + "abc");
  build("456", "\xC4nderung", "");
  EXPECT_EQ(pdu, headers() + O(0x96, 0x7F) + "\xC4nderung" + O(0x00, 0x84, 0xA3, 0));
}

TEST_F(MmsBuilderTest, TransactionIdAndFromField) {
  options.now = std::chrono::system_clock::time_point(std::chrono::seconds(0xABCDE));
  build("456", "", "abc");
  EXPECT_EQ(Octets(pdu.begin(), pdu.begin() + 9), O(0x8C, 0x80, 0x98) + "ABCDE" + O(0));
  options.now = {};
  build("456", "", "abc");
  EXPECT_EQ(Octets(pdu.begin(), pdu.begin() + 5), (O(0x8C, 0x80, 0x98, '0', 0x00)));

  auto from_of = [&](std::string number) {
    options.own_number = std::move(number);
    options.now = {};
    build();
    std::size_t at = 5 + 2 + 1 + 3 + 10 + 1;  // after type, ID "0", version, To "456"
    return Octets(pdu.begin() + at, pdu.end() - 3);  // up to the multipart header
  };
  // 18 characters still give a short length (30); longer ones need the length quote.
  EXPECT_EQ(from_of("123456789012345678"),
            O(0x89, 30, 0x80) + "123456789012345678/TYPE=PLMN" + O(0));
  EXPECT_EQ(from_of("+1234567890123456789"),
            O(0x89, 0x1F, 32, 0x80) + "+1234567890123456789/TYPE=PLMN" + O(0));
  EXPECT_EQ(from_of("+49 170 1"), O(0x89, 19, 0x80) + "+491701/TYPE=PLMN" + O(0));
  // No usable number of our own: the MMS centre inserts it.
  EXPECT_EQ(from_of(""), (O(0x89, 0x01, 0x81)));
  EXPECT_EQ(from_of("Leitstelle"), (O(0x89, 0x01, 0x81)));
}

TEST_F(MmsBuilderTest, TextLengthsAndTheTextLimit) {
  auto text_entry = [&](std::size_t length) {
    build("456", "", std::string(length, 't'));
    return Octets(pdu.begin() + headers().size() + 3, pdu.end());
  };
  EXPECT_EQ(text_entry(200), O(0x01, 0x81, 0x48, 0x83) + std::string(200, 't'));
  EXPECT_EQ(text_entry(2048), O(0x01, 0x90, 0x00, 0x83) + std::string(2048, 't'));
  EXPECT_TRUE(logs.empty());
  EXPECT_EQ(text_entry(3000), O(0x01, 0x90, 0x00, 0x83) + std::string(2048, 't'));
  EXPECT_EQ(logs, (std::vector<LogLine>{
                      {kFile, "Message size (3000) too big! Write only the first 2048 char"}}));
}

TEST_F(MmsBuilderTest, FileEntriesByType) {
  files[0] = file("PHOTO.JPG", 1000, 'j');
  files[1] = file("voice.amr", 5, 'a');
  files[2] = file("clip.3GPP", 3, 'v');
  files[3] = file("empty.jpeg", 0);
  ASSERT_GT(build(), 0);
  EXPECT_EQ(pdu, headers() + O(0x84, 0xA3, 0x04) +
                     O(0x01, 0x87, 0x68, 0x9E) + std::string(1000, 'j') +
                     O(0x0A, 0x05) + "audio/amr" + O(0x00) + "aaaaa" +
                     O(0x0A, 0x03) + "video/3gp" + O(0x00) + "vvv" +
                     O(0x01, 0x00, 0x9E));
  ASSERT_EQ(logs.size(), 4u);
  EXPECT_EQ(logs[0], LogLine(kFile, "1000 bytes read from file " + files[0]));
  EXPECT_EQ(logs[3], LogLine(kFile, "0 bytes read from file " + files[3]));
}

TEST_F(MmsBuilderTest, EntriesFollowSlotOrderAcrossGaps) {
  files[5] = file("b.amr", 1, 'b');
  files[0] = file("a.amr", 1, 'a');
  ASSERT_GT(build("456", "", "t"), 0);
  const Octets amr = O(0x0A, 0x01) + "audio/amr" + O(0x00);
  EXPECT_EQ(pdu, headers() + O(0x84, 0xA3, 0x03, 0x01, 0x01, 0x83, 't') + amr + "a" +
                     amr + "b");
}

TEST_F(MmsBuilderTest, OtherContentTypeLeavesOutTheMultipartHeader) {
  options.content_type = "application/vnd.wap.multipart.related";
  ASSERT_GT(build("456", "", "abc"), 0);
  EXPECT_EQ(pdu, headers() + O(0x01, 0x03, 0x83) + "abc");
  EXPECT_EQ(logs, (std::vector<LogLine>{
                      {kFile, "Unknown content type application/vnd.wap.multipart.related"}}));
}

TEST_F(MmsBuilderTest, UnknownOrUnreadableFilesFailTheWholeBuild) {
  const std::string good = file("ok.jpg", 10);
  auto fails_with = [&](const std::string& path) {
    files = {};
    files[0] = good;  // already written when the later slot fails
    files[7] = path;
    logs.clear();
    EXPECT_EQ(build("456", "", "abc"), -1) << path;
    return logs.empty() ? LogLine{} : logs.back();
  };
  const std::string mp3 = file("song.mp3", 10);
  EXPECT_EQ(fails_with(mp3), LogLine(kRed, "File: " + mp3 + " - format .mp3 unknown"));
  const std::string bare = (folder / "dir.jpg").string() + "/photo";
  EXPECT_EQ(fails_with(bare), LogLine(kRed, "File: " + bare + " - format  unknown"));

  const std::string missing = (folder / "missing.jpg").string();
  EXPECT_EQ(fails_with(missing), LogLine(kRed, "Unable to open file " + missing));
  const std::string dir = (folder / "folder.amr").string();
  std::filesystem::create_directory(dir);
  EXPECT_EQ(fails_with(dir), LogLine(kRed, "Unable to open file " + dir));
  // A FIFO without a writer would block an open for ever.
  const std::string fifo = (folder / "pipe.3gp").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(fails_with(fifo), LogLine(kRed, "Unable to open file " + fifo));
}

TEST_F(MmsBuilderTest, FileSizeLimit) {
  files[0] = file("max.jpg", kMmsMaxFileBytes);
  EXPECT_EQ(build(), int(headers().size() + 3 + 1 + 3 + 1 + kMmsMaxFileBytes));

  const LogLine too_big(kRed, " File error: File corrupted or bigger than 100000");
  for (std::size_t size : {kMmsMaxFileBytes + 1, std::size_t(5'000'000)}) {
    files[0] = file("big.jpg", size);
    logs.clear();
    EXPECT_EQ(build(), -1) << size;
    EXPECT_EQ(logs, std::vector<LogLine>{too_big}) << size;
    // The refusal is the same when the buffer could not have held the file anyway.
    logs.clear();
    EXPECT_EQ(build("456", "", "", 2000), -1);
    EXPECT_EQ(logs, std::vector<LogLine>{too_big});
  }
}

TEST_F(MmsBuilderTest, EveryCapacityBelowThePduSizeFailsWithoutOverrun) {
  files[0] = file("a b'\"$;\n(1).jpg", 700);
  files[3] = file("sound.AMR", 90);
  const int full = build("+4917012345", "Subject", "Some text");
  ASSERT_GT(full, 0);
  const Octets expected = pdu;
  for (int capacity = 0; capacity < full; ++capacity) {
    logs.clear();
    ASSERT_EQ(build("+4917012345", "Subject", "Some text", capacity), -1) << capacity;
    for (const LogLine& line : logs) EXPECT_EQ(line.first, kFile) << line.second;
  }
  EXPECT_EQ(build("+4917012345", "Subject", "Some text", full), full);
  EXPECT_EQ(pdu, expected);
}

TEST_F(MmsBuilderTest, RecipientMustBeADialableNumber) {
  for (std::string good : {std::string("+4917012345"), std::string("*100#"), std::string("123"),
                           std::string(52, '7')}) {
    EXPECT_TRUE(is_mms_recipient(good)) << good;
    EXPECT_GT(build(good, "", "abc"), 0) << good;
  }
  for (std::string bad : {std::string(53, '7'), std::string("12 34"), std::string("0171a"),
                          std::string(), std::string("1\"2"), std::string("12\r\n"),
                          std::string("12\0" "3", 4), std::string("1+2")}) {
    logs.clear();
    EXPECT_FALSE(is_mms_recipient(bad)) << bad;
    EXPECT_EQ(build(bad, "", "abc"), -1) << bad;
    EXPECT_EQ(logs, std::vector<LogLine>{LogLine(kRed, "Invalid tel number " + bad)});
  }
}

TEST(MmsUintvar, GroupsOfSevenBitsMostSignificantFirst) {
  const std::pair<uint32_t, Octets> cases[] = {
      {0, {0x00}},
      {127, {0x7F}},
      {128, {0x81, 0x00}},
      {1000, {0x87, 0x68}},
      {16383, {0xFF, 0x7F}},
      {16384, {0x81, 0x80, 0x00}},
      {2097151, {0xFF, 0xFF, 0x7F}},
      {2097152, {0x81, 0x80, 0x80, 0x00}},
      {0xFFFFFFFF, {0x8F, 0xFF, 0xFF, 0xFF, 0x7F}},
  };
  for (const auto& [value, octets] : cases) {
    unsigned char out[5];
    const std::size_t n = encode_uintvar(value, out);
    EXPECT_EQ(Octets(out, out + n), octets) << value;
  }
}

}  // namespace
}  // namespace qz
