// A stop signal during a voice call's hold ends the hold at once: the call is hung up,
// reported as the answered call it was and filed, and a restart does not call again. A
// second signal ends the gateway at once, and it still hangs up first.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <string>
#include <vector>

#include "e2e/e2e_support.h"

namespace qz {
namespace {

using namespace std::chrono_literals;
using test::eventually;
using test::files_in;
using test::read_file;
using test::sms_job;

struct StopCase {
  const char* name;
  std::vector<int> signals;
  bool in_order;  // false: "now", before the call can be reported
};
void PrintTo(const StopCase& c, std::ostream* out) { *out << c.name; }

class StopDuringACallTest : public test::GatewayTest, public ::testing::WithParamInterface<StopCase> {};

bool hung_up_after_the_dial(const std::vector<std::string>& commands) {
  auto dial = std::find_if(commands.begin(), commands.end(),
                           [](const std::string& c) { return c.rfind("atd", 0) == 0; });
  return dial != commands.end() && std::find(dial, commands.end(), "at+chup") != commands.end();
}

TEST_P(StopDuringACallTest, EndsTheHoldHangsUpAndReportsTheCallOnce) {
  // A hold far beyond any stop limit; the gateway brings it down to the longest it allows.
  gw.write_settings("VoiceCallDuration=2147483647\n");
  // Slower than the usual test clock, so the stop limit (60 s of the gateway's time, 30 s
  // here) is far from the time the stop is granted below, on a loaded machine too.
  gw.start(2.0);
  gw.drop_job("call.sms", sms_job("0791234567", "pump failed", 0, "plant", "VC"));
  ASSERT_TRUE(gw.modem.wait_for_command("ATD", 30s));

  EXPECT_EQ(gw.stop(GetParam().signals, 10s), 0);
  EXPECT_TRUE(hung_up_after_the_dial(gw.modem.command_lines()));
  if (!GetParam().in_order) return;

  ASSERT_EQ(files_in(gw.done()).size(), 1u) << "the answered call is reported and filed";
  EXPECT_TRUE(files_in(gw.watch()).empty());
  std::string filed = read_file(gw.done() / files_in(gw.done())[0]);
  EXPECT_NE(filed.find("ALARM successfully sent"), std::string::npos) << filed;

  // A job dropped after the restart goes out after anything the restart found.
  gw.start();
  gw.drop_job("after.sms", sms_job("555", "after the restart", 0, ""));
  ASSERT_TRUE(eventually([&] { return files_in(gw.done()).size() == 2; }));
  EXPECT_EQ(gw.modem.calls().size(), 1u) << "the call is not made again";
}

INSTANTIATE_TEST_SUITE_P(
    Signals, StopDuringACallTest,
    ::testing::Values(StopCase{"SIGTERM", {SIGTERM}, true}, StopCase{"SIGHUP", {SIGHUP}, true},
                      StopCase{"SIGINT", {SIGINT}, true},
                      StopCase{"SecondSignal", {SIGTERM, SIGINT}, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace qz
