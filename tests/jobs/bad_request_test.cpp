// A job file that can never be sent is filed into the error folder at once. The window's
// "Bad request !" stays as it was; the line before it, in the window and the daily log,
// says which file and why.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "support/eventually.h"
#include "support/instance_harness.h"

namespace qz {
namespace {

using namespace std::chrono_literals;

TEST(BadRequestTest, TheLogsNameTheFileAndTheReasonAndTheWindowLineStaysAsItWas) {
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
  for (const Case& c : cases) {
    const std::string reason = "Bad request " + (jobs / c.name).string() + ": " + c.reason;
    EXPECT_EQ(std::count_if(window.begin(), window.end(), [&](const std::string& line) { return line.ends_with(reason); }), 1)
        << reason;
  }
}

}  // namespace
}  // namespace qz
