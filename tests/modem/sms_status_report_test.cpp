#include "modem/sms_status_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run_program.h"

namespace qz {
namespace {

// The reports as tab-separated lines of libgammu's reading; empty when it is not here.
std::string decoded_by_libgammu(const std::vector<std::string>& pdus) {
  std::vector<std::string> argv = {"/usr/bin/python3", QZGSMS_SOURCE_DIR "/tests/support/decode_status_report.py"};
  argv.insert(argv.end(), pdus.begin(), pdus.end());
  const test::ProgramRun run = test::run_program(argv);
  if (run.exit_code != 0) {
    EXPECT_TRUE(run.exit_code == 3 || run.exit_code == 127) << run.out << run.err;
    return "";
  }
  return run.out;
}

// Reports as networks send them: with and without a service centre address, national and
// international recipients (an odd number of digits), every kind of status; each read by
// the gateway as libgammu reads it.
TEST(StatusReportPdu, IsReadAsAnIndependentDecoderReadsIt) {
  struct Case {
    const char* pdu;
    StatusReport expected;
  };
  const Case cases[] = {
      {"00062A0B911497550500F142103021000040421030210005400000", {42, "+41795550001", "2024-01-03 12:00:50", 0x00}},
      {"07911497000000F00607099107955500F2421030210000404210302105204046", {7, "+705955002", "2024-01-03 12:50:02", 0x46}},
      {"0006FF0A817059550001421111111111404211111111218A30", {255, "0795550010", "2024-11-11 11:11:12", 0x30}},
      {"000600038121F3422180000000404221803295954060", {0, "123", "2024-12-08 23:59:59", 0x60}},
  };
  std::vector<std::string> pdus;
  std::string ours;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pdu);
    pdus.push_back(c.pdu);
    std::optional<StatusReport> report = decode_status_report_pdu(c.pdu);
    ASSERT_TRUE(report.has_value());
    EXPECT_EQ(report->reference, c.expected.reference);
    EXPECT_EQ(report->recipient, c.expected.recipient);
    EXPECT_EQ(report->discharged, c.expected.discharged);
    EXPECT_EQ(report->status, c.expected.status);
    ours += std::to_string(report->reference) + "\t" + report->recipient + "\t" + report->discharged + "\t" +
            std::to_string(report->status) + "\n";
  }
  const std::string theirs = decoded_by_libgammu(pdus);
  if (theirs.empty()) GTEST_SKIP() << "python3-gammu is not installed: checked against the table only";
  EXPECT_EQ(ours, theirs);
}

// What the modem may hand over that is no report, or a cut one: nothing, and no read
// outside the PDU.
TEST(StatusReportPdu, AnythingElseIsNoReport) {
  for (const char* pdu : {"", "0", "00", "0006", "00062A0B91149755", "00062A0B911497550500F14210302100004042103021",
                          "00042A0B911497550500F142103021000040421030210005400000",  // an SMS-DELIVER
                          "00062A0B911497550500F142103021000040421330210005400000",  // month 31
                          "FF06", "zz062A", "00062A1591149755"}) {
    EXPECT_FALSE(decode_status_report_pdu(pdu).has_value()) << pdu;
  }
}

TEST(StatusReportFields, TextModeLinesAreReadAndOddOnesRefused) {
  struct Case {
    const char* fields;
    bool read;
    StatusReport expected;
  };
  const Case cases[] = {
      {"6,42,\"+41795550001\",145,\"24/01/03,12:00:00+04\",\"24/01/03,12:00:50+04\",0", true,
       {42, "+41795550001", "2024-01-03 12:00:50", 0}},
      {"6,7,,,\"24/01/03,12:00:00+04\",\"24/01/03,12:50:02-08\",70", true, {7, "", "2024-01-03 12:50:02", 70}},
      {"6,7,\"+4179\",145,\"24/01/03,12:00:00+04\",\"24/01/03,12:50:02+04\"", false, {}},
      {"17,7,\"+4179\",145,\"24/01/03,12:00:00+04\",\"24/01/03,12:50:02+04\",0", false, {}},
      {"6,256,\"+4179\",145,\"24/01/03,12:00:00+04\",\"24/01/03,12:50:02+04\",0", false, {}},
      {"6,7,\"+41;rm\",145,\"24/01/03,12:00:00+04\",\"24/01/03,12:50:02+04\",0", false, {}},
      {"6,7,\"+4179\",145,\"24/01/03,12:00:00+04\",\"garbage\",0", false, {}},
  };
  for (const Case& c : cases) {
    std::optional<StatusReport> report = parse_status_report_fields(c.fields);
    ASSERT_EQ(report.has_value(), c.read) << c.fields;
    if (!c.read) continue;
    EXPECT_EQ(report->reference, c.expected.reference) << c.fields;
    EXPECT_EQ(report->recipient, c.expected.recipient) << c.fields;
    EXPECT_EQ(report->discharged, c.expected.discharged) << c.fields;
    EXPECT_EQ(report->status, c.expected.status) << c.fields;
  }
}

}  // namespace
}  // namespace qz
