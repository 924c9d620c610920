// A table the Windows table tool makes must be the very file the Linux one makes (which
// the unit tests hold to shapelib's), and each tool must list the other's rows.
#include <gtest/gtest.h>

#include "support/run_program.h"
#include "support/temp_folder.h"

namespace qz {
namespace {

test::ProgramRun windows_dbftool(const std::vector<std::string>& args, const std::filesystem::path& folder) {
  std::vector<std::string> argv{QZGSMS_WINE_RUN, QZGSMS_WINE_PREFIX, QZGSMS_WINDOWS_DBFTOOL};
  argv.insert(argv.end(), args.begin(), args.end());
  return test::run_program(argv, {folder});
}

TEST(WindowsTables, TheWindowsToolMakesTheFileTheLinuxToolMakesAndReadsItAlike) {
  test::TempFolder folder;
  for (const char* records : {"1", "7"}) {
    SCOPED_TRACE(records);
    ASSERT_EQ(test::run_program({QZGSMS_DBFTOOL, "create", "--force", "linux.dbf", records}, {folder.path()}).exit_code, 0);
    ASSERT_EQ(windows_dbftool({"create", "--force", "windows.dbf", records}, folder.path()).exit_code, 0);
    EXPECT_EQ(test::read_file(folder / "windows.dbf"), test::read_file(folder / "linux.dbf"));

    test::ProgramRun linux_rows = test::run_program({QZGSMS_DBFTOOL, "dump", "windows.dbf"}, {folder.path()});
    test::ProgramRun windows_rows = windows_dbftool({"dump", "linux.dbf"}, folder.path());
    EXPECT_EQ(linux_rows.exit_code, 0);
    EXPECT_FALSE(linux_rows.out.empty());
    std::string crlf_free = windows_rows.out;
    std::erase(crlf_free, '\r');
    EXPECT_EQ(crlf_free, linux_rows.out);
  }
}

}  // namespace
}  // namespace qz
