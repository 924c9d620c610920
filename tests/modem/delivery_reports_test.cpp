#include "modem/delivery_reports.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/gateway_log.h"
#include "core/gateway_status.h"
#include "support/temp_folder.h"

namespace qz {
namespace {

// Reports arrive in any order, for parts, before their part is announced, for old messages
// and twice: each message ends in one outcome, the first part given up on decides, and
// nothing else is said of it.
TEST(DeliveryReports, EachMessageHasOneOutcomeWhateverTheOrderOfItsReports) {
  struct Step {
    char what;  // 'p' the modem takes a part, 'r' a report comes, 'e' the message went out, 'f' its try failed
    int reference = 0;
    const char* recipient = "";
    int status = 0;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
    std::vector<std::string> outcomes;  // "<job> <number> <result>"
  };
  const Case cases[] = {
      {"one part", {{'p', 5}, {'e'}, {'r', 5, "+41795550001", 0}}, {"a.sms +41795550001 delivered"}},
      {"parts reported out of order, a still-trying report between, one before its part",
       {{'p', 5}, {'p', 6}, {'r', 7, "+41795550001", 0}, {'p', 7}, {'r', 5, "+41795550001", 0x21},
        {'r', 6, "0795550001", 0}, {'e'}, {'r', 5, "", 0}},
       {"a.sms +41795550001 delivered"}},
      {"every part reported before the message went out", {{'p', 5}, {'r', 5, "", 0}, {'p', 6}, {'r', 6, "", 0}, {'e'}},
       {"a.sms +41795550001 delivered"}},
      {"a part given up on, the rest delivered after",
       {{'p', 5}, {'p', 6}, {'r', 6, "+41795550001", 0x46}, {'p', 7}, {'e'}, {'r', 7, "+41795550001", 0}, {'r', 5, "", 0}},
       {"a.sms +41795550001 not delivered: validity period expired"}},
      {"a try cut short is forgotten", {{'p', 5}, {'r', 5, "+41795550001", 0x46}, {'f'}, {'r', 5, "", 0}}, {}},
      {"a report twice", {{'p', 5}, {'e'}, {'r', 5, "+41795550001", 0}, {'r', 5, "+41795550001", 0}},
       {"a.sms +41795550001 delivered"}},
      {"another reference, another phone", {{'p', 5}, {'e'}, {'r', 4, "+41795550001", 0}, {'r', 5, "+41795559999", 0}}, {}},
      {"no reference from the modem", {{'p', -1}, {'e'}, {'r', 255, "+41795550001", 0}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempFolder folder;
    GatewayLog log(folder.path());
    GatewayStatus status;
    std::vector<std::string> outcomes;
    DeliveryReports reports(log, status, [&](const DeliveryReports::Outcome& o) {
      outcomes.push_back(o.job_file + " " + o.number + " " + o.result());
    });
    DeliveryReports::Ticket message = reports.begin("a.sms", "+41795550001");
    for (const Step& s : c.steps) {
      if (s.what == 'p') reports.add_part(message, s.reference);
      if (s.what == 'r') reports.on_report({s.reference, s.recipient, "2024-03-01 12:00:00", s.status});
      if (s.what == 'e' || s.what == 'f') reports.end(message, s.what == 'e');
    }
    EXPECT_EQ(outcomes, c.outcomes);
    const bool delivered = !c.outcomes.empty() && c.outcomes[0].find("not delivered") == std::string::npos;
    EXPECT_EQ(status.delivered.load(), delivered ? 1 : 0);
    EXPECT_EQ(status.not_delivered.load(), static_cast<int64_t>(c.outcomes.size()) - (delivered ? 1 : 0));
  }
}

// References run round: a newer message under a reference takes the place of the older.
TEST(DeliveryReports, ANewerMessageUnderAReferenceTakesItsPlace) {
  test::TempFolder folder;
  GatewayLog log(folder.path());
  GatewayStatus status;
  std::vector<std::string> jobs;
  DeliveryReports reports(log, status, [&](const DeliveryReports::Outcome& o) { jobs.push_back(o.job_file); });
  for (const char* job : {"old.sms", "new.sms"}) {
    DeliveryReports::Ticket message = reports.begin(job, "+41795550001");
    reports.add_part(message, 9);
    reports.end(message, true);
  }
  reports.on_report({9, "+41795550001", "2024-03-01 12:00:00", 0});
  EXPECT_EQ(jobs, std::vector<std::string>{"new.sms"});
  EXPECT_EQ(reports.waiting(), 0u);
}

}  // namespace
}  // namespace qz
