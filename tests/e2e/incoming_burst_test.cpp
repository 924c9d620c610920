// The shipped command for received messages, as the gateway runs it in a burst: one
// command per message, all side by side. Every message must be recorded once.
#include <gtest/gtest.h>

#include <map>

#include "e2e/e2e_support.h"

namespace qz {
namespace {

namespace fs = std::filesystem;

class IncomingBurstTest : public test::GatewayTest {};

TEST_F(IncomingBurstTest, TheShippedCommandRecordsEveryMessageOfABurstOnce) {
  constexpr int kMessages = 20;  // a full store of the simulated SIM
  const fs::path command = gw.folder / "incoming_sms.bat";
  fs::copy_file(fs::path(QZGSMS_SOURCE_DIR) / "examples" / "incoming_sms.bat", command);
  fs::permissions(command, fs::perms::owner_all);
  for (int i = 1; i <= kMessages; ++i) {
    // A line break in a text must not split its record.
    ASSERT_GT(gw.modem.add_message("+4179555" + std::to_string(1000 + i), "ACK " + std::to_string(i) + "\nok"), 0);
  }
  gw.write_settings("IncomingEnable=1\n");
  gw.start();

  const fs::path record = gw.folder / "received-sms.txt";
  ASSERT_TRUE(test::eventually([&] { return test::whole_lines(record).size() >= kMessages; }, std::chrono::seconds(60)))
      << test::whole_lines(record).size() << " of " << kMessages << " recorded";
  EXPECT_EQ(gw.stop(), 0);

  std::map<std::string, int> times;
  for (const std::string& line : test::whole_lines(record)) {
    // date time <TAB> sender <TAB> text
    std::size_t tab = line.find('\t');
    ASSERT_NE(tab, std::string::npos) << line;
    ++times[line.substr(tab + 1)];
  }
  std::map<std::string, int> expected;
  for (int i = 1; i <= kMessages; ++i) {
    expected["+4179555" + std::to_string(1000 + i) + "\tACK " + std::to_string(i) + " ok"] = 1;
  }
  EXPECT_EQ(times, expected);
  EXPECT_TRUE(gw.modem.messages().empty());
}

}  // namespace
}  // namespace qz
