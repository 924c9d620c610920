// A job file that can never be sent is filed into the error folder at once. The window
// shows only that it was a bad request; the daily log says which file and why.
#include <gtest/gtest.h>

#include <chrono>

#include "support/eventually.h"
#include "support/instance_harness.h"

namespace qz {
namespace {

using namespace std::chrono_literals;

TEST(BadRequestTest, TheDailyLogNamesTheFileAndTheReasonAndTheWindowLineStaysAsItWas) {
  test::GatewayHarness h;
  h.set("IncomingEnable", "0");
  ASSERT_TRUE(h.start());
  h.window_lines();

  const auto jobs = h.folder / "jobs";
  struct Case {
    const char* name;
    const char* body;
    const char* reason;
  };
  const Case cases[] = {
      {"no-number.sms", "[Alarm]\r\nSzenario=plant\r\nMessage=Boiler 3\r\nPhoneNumber=\r\n",
       "no number (PhoneNumber is missing or empty)"},
      {"no-text.sms", "[Alarm]\r\nPhoneNumber=+41790000001\r\nName=Ann\r\n",
       "no text and no scenario (Message and Szenario are missing or empty)"},
      {"nothing.sms", "[Alarm]\r\n",
       "no number (PhoneNumber is missing or empty), no text and no scenario (Message and Szenario are missing or "
       "empty)"},
  };
  for (const Case& c : cases) {
    test::write_file(jobs / (std::string(c.name) + ".part"), c.body);
    std::filesystem::rename(jobs / (std::string(c.name) + ".part"), jobs / c.name);
  }
  for (const Case& c : cases) {
    EXPECT_TRUE(h.wait_for_log("Bad request " + (jobs / c.name).string() + ": " + c.reason, 20s)) << c.name;
    EXPECT_TRUE(test::eventually([&] { return std::filesystem::exists(h.folder / "error" / c.name); }));
  }

  std::vector<std::string> window;
  int bad_lines = 0;
  EXPECT_TRUE(test::eventually([&] {
    for (const std::string& line : h.window_lines()) {
      window.push_back(line);
      bad_lines += line.size() > 20 && line.substr(20) == "Bad request !";
    }
    return bad_lines == 3;
  }));
  for (const std::string& line : window) EXPECT_EQ(line.find("PhoneNumber"), std::string::npos) << line;
}

}  // namespace
}  // namespace qz
