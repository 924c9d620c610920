// qzgsms-send.exe under Wine, as a Windows site runs it: the example command file
// send-alarm.cmd, run by cmd.exe with the three lines a site changes filled in, queues its
// alarm for the Windows gateway, waits for it and passes on exit code 0. A text outside the
// Windows code page arrives whole: the arguments are read as the system's UTF-16.
#include <gtest/gtest.h>

#include "e2e/e2e_support.h"
#include "e2e/gateway_process.h"
#include "support/run_program.h"

namespace qz {
namespace {

namespace fs = std::filesystem;

std::string replaced_line(std::string text, const std::string& start, const std::string& line) {
  const std::size_t at = text.find(start);
  if (at == std::string::npos) return text;
  return text.replace(at, text.find("\r\n", at) - at, line);
}

class WindowsSendTest : public test::GatewayTest {};

TEST_F(WindowsSendTest, TheExampleCommandFileSendsItsAlarmAndPassesOnItsExitCode) {
  gw.write_settings();
  gw.start();
  ASSERT_TRUE(gw.wait_until_taking_jobs());
  std::string cmd = test::read_file(fs::path(QZGSMS_SOURCE_DIR) / "examples" / "windows" / "send-alarm.cmd");
  cmd = replaced_line(cmd, "set QZGSMS_SEND=", "set QZGSMS_SEND=\"" + test::gateway_path_text(QZGSMS_WINDOWS_SEND) + "\"");
  cmd = replaced_line(cmd, "set INSTANCE=", "set INSTANCE=" + test::gateway_path_text(gw.folder.path()));
  cmd = replaced_line(cmd, "set NUMBER=", "set NUMBER=+41790000004");
  test::write_file(gw.folder / "send-alarm.cmd", cmd);

  const std::string text = "Pump 3 \xD0\x9D\xD0\xB0\xD1\x81\xD0\xBE\xD1\x81 3 St\xC3\xB6rung";  // Насос, Störung
  test::ProgramRun run = test::run_program({QZGSMS_WINE_RUN, QZGSMS_WINE_PREFIX, "cmd", "/c",
                                            test::gateway_path_text(gw.folder / "send-alarm.cmd"), text});
  EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("The alarm was sent."), std::string::npos) << run.out;
  ASSERT_TRUE(test::eventually([&] { return test::files_in(gw.done()).size() == 1; }));
  EXPECT_NE(test::read_file(gw.done() / test::files_in(gw.done())[0]).find("Message=" + text + "\r\n"), std::string::npos);
  EXPECT_EQ(gw.modem.sms().size(), 1u);
}

}  // namespace
}  // namespace qz
