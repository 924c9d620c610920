// Delivery reports through the whole gateway: asked for with each SMS, matched to the job
// by the references the modem gave, logged, counted and handed to delivery_report.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/e2e_support.h"
#include "support/eventually.h"

namespace qz {
namespace {

namespace fs = std::filesystem;
using test::eventually;
using test::sms_job;

std::size_t count_of(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class DeliveryReportTest : public test::GatewayTest {};

TEST_F(DeliveryReportTest, EachMessageIsReportedOnceToTheLogTheStatusAndTheCommand) {
  const fs::path command = gw.folder / "delivery_report";
  test::write_file(command, "#!/bin/sh\nexec 9>>reports.txt\nflock 9\nprintf '%s|%s|%s|%s\\n' \"$1\" \"$2\" \"$3\" \"$4\" >&9\n");
  fs::permissions(command, fs::perms::owner_all);
  gw.write_settings("DeliveryReports=1\nConcatenatedSMS=1\n");
  gw.modem.configure([](sim::ModemConfig& c) { c.sms.report_status = 0; });
  gw.start();

  // In text mode, one part; then in PDU mode, two parts joined on the phone, which the
  // network gives up on (validity period expired).
  gw.drop_job("a1.sms", sms_job("+41791234567", "Boiler 3", 0, ""));
  const fs::path reports = gw.folder / "reports.txt";
  ASSERT_TRUE(eventually([&] { return test::whole_lines(reports).size() == 1; }, std::chrono::seconds(60)));
  gw.modem.configure([](sim::ModemConfig& c) { c.sms.report_status = 0x46; });
  std::string cyrillic;
  for (int i = 0; i < 12; ++i) cyrillic += "\xD0\x94\xD0\xB0\xD0\xB2\xD0\xBB\xD0\xB5\xD0\xBD\xD0\xB8\xD0\xB5 ";
  gw.drop_job("a2.sms", sms_job("+41791000002", cyrillic + "!", 0, ""));
  ASSERT_TRUE(eventually([&] { return test::whole_lines(reports).size() == 2; }, std::chrono::seconds(60)));
  ASSERT_TRUE(eventually([&] {
    const std::string status = test::read_file(gw.folder / "qzgsms-status");
    return status.find("\ndelivered=1\n") != std::string::npos && status.find("\nnot_delivered=1\n") != std::string::npos;
  })) << test::read_file(gw.folder / "qzgsms-status");
  EXPECT_EQ(gw.stop(), 0);

  EXPECT_EQ(test::whole_lines(reports),
            (std::vector<std::string>{"a1.sms|+41791234567|delivered|2024-03-01 12:00:00",
                                      "a2.sms|+41791000002|not delivered: validity period expired|2024-03-01 12:00:00"}));
  const std::string log = gw.daily_log();
  EXPECT_EQ(count_of(log, "delivered to +41791234567 at 2024-03-01 12:00:00 (a1.sms)"), 1u);
  EXPECT_EQ(count_of(log, "not delivered to +41791000002: validity period expired (a2.sms)"), 1u);
  EXPECT_EQ(gw.modem.sms().size(), 3u);
}

}  // namespace
}  // namespace qz
