#include "jobs/filing.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "jobs/file_version.h"
#include "support/temp_folder.h"

namespace qz {
namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::TempFolder;
using test::write_file;

std::vector<std::string> names_in(const fs::path& folder) {
  std::vector<std::string> names;
  for (auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FileVersionTest, OnlyRegularFilesAreReadAndLinksAreNeverFollowed) {
  TempFolder folder;
  write_file(folder / "outside.txt", "[Alarm]\nPhoneNumber=1\n");
  fs::create_symlink(folder / "outside.txt", folder / "link.sms");
  ::mkfifo((folder / "fifo.sms").c_str(), 0600);
  fs::create_directory(folder / "dir.sms");
  write_file(folder / "big.sms", std::string(kMaxJobFileSize + 1, 'x'));

  EXPECT_EQ(read_file_version(folder / "link.sms").state, FileState::kNotRegular);
  EXPECT_EQ(read_file_version(folder / "fifo.sms").state, FileState::kNotRegular) << "and no hang";
  EXPECT_EQ(read_file_version(folder / "dir.sms").state, FileState::kNotRegular);
  EXPECT_EQ(read_file_version(folder / "big.sms").state, FileState::kTooLarge);
  EXPECT_EQ(read_file_version(folder / "absent.sms").state, FileState::kMissing);

  FileVersion v = read_file_version(folder / "outside.txt");
  ASSERT_EQ(v.state, FileState::kRead);
  EXPECT_EQ(v.bytes, "[Alarm]\nPhoneNumber=1\n");
}

TEST(FileVersionTest, RewriteInPlaceIsANewVersionEvenWithSameSizeAndTime) {
  TempFolder folder;
  fs::path job = folder / "r.sms";
  write_file(job, "[Alarm]\nMessage=first\n");
  FileVersion first = read_file_version(job);

  // Same inode, same size; the time set back as a coarse file-system clock would show it.
  struct stat st {};
  ::stat(job.c_str(), &st);
  int fd = ::open(job.c_str(), O_WRONLY | O_TRUNC);
  ASSERT_EQ(::write(fd, "[Alarm]\nMessage=secnd\n", 22), 22);
  ::close(fd);
  timespec times[2] = {st.st_atim, st.st_mtim};
  ::utimensat(AT_FDCWD, job.c_str(), times, 0);

  FileVersion second = read_file_version(job);
  EXPECT_TRUE(second.identity.same_file(first.identity));
  EXPECT_EQ(second.identity.size, first.identity.size);
  EXPECT_EQ(second.identity.mtime_ns, first.identity.mtime_ns);
  EXPECT_FALSE(second.identity == first.identity);
  EXPECT_EQ(read_file_version(job).identity, second.identity) << "an unchanged file keeps it";
}

TEST(FileVersionTest, IdentityKeyReadsBackAndRejectsGarbage) {
  FileIdentity id{0x803, 0xfffffffffffffffful, 1234, 1700000000123456789, 0x0123456789abcdefull};
  auto back = FileIdentity::from_key(id.key());
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, id);
  for (const char* bad : {"", "1:2:3:4", "1:2:3:4:5:6", "1:2:3:4:", "1:2:x:4:5", "1::3:4:5",
                          "11111111111111111:2:3:4:5", "1:2:3:4:5 "}) {
    EXPECT_FALSE(FileIdentity::from_key(bad).has_value()) << bad;
  }
}

TEST(FilingTest, NumberedNamesGoBeforeTheExtension) {
  EXPECT_EQ(numbered_name("r.sms", 0), "r.sms");
  EXPECT_EQ(numbered_name("0000ABCD-r.sms", 2), "0000ABCD-r-2.sms");
  EXPECT_EQ(numbered_name("noext", 1), "noext-1");
  EXPECT_EQ(numbered_name(".hidden", 1), ".hidden-1");
  EXPECT_EQ(numbered_name("a.b.sms", 3), "a.b-3.sms");
}

TEST(FilingTest, PublishNeverReplacesAFileAndLeavesNoTemporary) {
  TempFolder folder;
  write_file(folder / "k3.sms", "the first one");
  write_file(folder / "k3-1.sms", "the second one");

  std::vector<fs::path> announced;
  FilingResult filed = publish_file(folder.path(), "k3.sms", "the third one", 0640,
                                    [&](const fs::path& p) { announced.push_back(p); });
  ASSERT_TRUE(filed.ok) << filed.error;
  EXPECT_EQ(filed.path, folder / "k3-2.sms");
  EXPECT_EQ(announced, std::vector<fs::path>{folder / "k3-2.sms"});
  EXPECT_EQ(read_file(folder / "k3.sms"), "the first one");
  EXPECT_EQ(read_file(folder / "k3-1.sms"), "the second one");
  EXPECT_EQ(read_file(folder / "k3-2.sms"), "the third one");
  EXPECT_EQ(names_in(folder.path()), (std::vector<std::string>{"k3-1.sms", "k3-2.sms", "k3.sms"}));
  struct stat st {};
  ::stat((folder / "k3-2.sms").c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);

  // A dangling link holds its name too.
  fs::create_symlink(folder / "nowhere", folder / "x.sms");
  filed = publish_file(folder.path(), "x.sms", "y", 0644);
  EXPECT_EQ(filed.path, folder / "x-1.sms");
  EXPECT_FALSE(fs::exists(folder / "nowhere"));
}

TEST(FilingTest, PublishIntoAMissingFolderFailsWithTheReason) {
  TempFolder folder;
  FilingResult filed = publish_file(folder / "missing", "a.sms", "x", 0644);
  EXPECT_FALSE(filed.ok);
  EXPECT_FALSE(filed.error.empty());
}

TEST(FilingTest, MoveEntryMovesALinkItselfAndNeverReplaces) {
  TempFolder folder;
  fs::create_directory(folder / "error");
  write_file(folder / "target.txt", "must stay");
  fs::create_symlink(folder / "target.txt", folder / "c2.sms");
  write_file(folder / "error" / "c2.sms", "an earlier one");

  FilingResult moved = move_entry(folder / "c2.sms", folder / "error", "c2.sms");
  ASSERT_TRUE(moved.ok) << moved.error;
  EXPECT_EQ(moved.path, folder / "error" / "c2-1.sms");
  EXPECT_TRUE(fs::is_symlink(moved.path));
  EXPECT_EQ(read_file(folder / "error" / "c2.sms"), "an earlier one");
  EXPECT_EQ(read_file(folder / "target.txt"), "must stay");
}

TEST(FilingTest, OnlyTheVersionThatWasReadIsRemoved) {
  TempFolder folder;
  fs::path job = folder / "r.sms";
  write_file(job, "old alarm");
  FileIdentity old = read_file_version(job).identity;

  write_file(job, "new alarm");  // rewritten in place
  EXPECT_EQ(remove_if_unchanged(job, old), Removal::kChanged);
  EXPECT_EQ(read_file(job), "new alarm");

  EXPECT_EQ(remove_if_unchanged(job, read_file_version(job).identity), Removal::kRemoved);
  EXPECT_FALSE(fs::exists(job));
  EXPECT_EQ(remove_if_unchanged(job, old), Removal::kGone);
}

TEST(FilingTest, AFileReplacedUnderItsNameIsNeverTheOneRemoved) {
  TempFolder folder;
  fs::path job = folder / "r.sms";
  write_file(job, "filed alarm");
  FileIdentity filed = read_file_version(job).identity;
  write_file(folder / "new.tmp", "newer alarm");
  fs::rename(folder / "new.tmp", job);  // the alarm application's way of dropping a file

  EXPECT_EQ(remove_if_unchanged(job, filed), Removal::kChanged);
  EXPECT_EQ(read_file(job), "newer alarm");
  EXPECT_EQ(names_in(folder.path()), std::vector<std::string>{"r.sms"});
}

TEST(FilingTest, FilesLeftTakenAsideByAStopArePutBack) {
  TempFolder folder;
  write_file(taken_aside_name_for(folder / "a.sms"), "taken aside");
  write_file(taken_aside_name_for(folder / "b.sms"), "taken aside too");
  write_file(folder / "b.sms", "dropped since");
  write_file(folder / ".c.sms.part", "the alarm application's own");

  restore_taken_aside(folder.path());
  EXPECT_EQ(names_in(folder.path()), (std::vector<std::string>{".c.sms.part", "a.sms", "b-1.sms", "b.sms"}));
  EXPECT_EQ(read_file(folder / "a.sms"), "taken aside");
  EXPECT_EQ(read_file(folder / "b-1.sms"), "taken aside too");
}

TEST(FilingTest, LongNamesAreShortenedKeepingTheirExtensionAndWholeCharacters) {
  std::string u_umlaut = "\xC3\xBC";
  std::string umlauts;
  for (int i = 0; i < 150; ++i) umlauts += u_umlaut;
  struct Row {
    std::string name;
    std::string kept_end;
  };
  const std::vector<Row> rows = {
      {std::string(300, 'a') + ".sms", ".sms"},
      {umlauts + ".sms", ".sms"},
      {std::string(300, 'a'), ""},
      {"a." + std::string(300, 'b'), ""},  // no extension is that long
  };
  for (const Row& row : rows) {
    std::string shortened = shortened_name(row.name, 250);
    EXPECT_LE(shortened.size(), 250u) << row.name;
    EXPECT_TRUE(shortened.ends_with(row.kept_end)) << shortened;
    EXPECT_EQ(shortened.substr(0, 2), row.name.substr(0, 2));
    // Cut between characters: what is kept of the stem is whole umlauts or plain bytes.
    std::string stem = shortened.substr(0, shortened.find('~'));
    EXPECT_TRUE(row.name.starts_with(stem) && (row.name[0] == 'a' || stem.size() % 2 == 0)) << shortened;
  }
  EXPECT_EQ(shortened_name("r.sms", 250), "r.sms");
  EXPECT_NE(shortened_name(std::string(300, 'a') + "1.sms", 250), shortened_name(std::string(300, 'a') + "2.sms", 250));
}

}  // namespace
}  // namespace qz
