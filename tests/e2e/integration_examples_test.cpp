// The integration examples of docs/integrations.md, run as the monitoring system or the
// service manager would run them, with their macros filled in, against a gateway and the
// simulated modem: each must queue its alarm, wait for it and end with exit code 0. The
// page must show each example as the file has it.
#include <gtest/gtest.h>

#include <regex>

#include "e2e/e2e_support.h"
#include "support/run_program.h"

namespace qz {
namespace {

namespace fs = std::filesystem;
using test::ProgramRun;

const fs::path kSource = QZGSMS_SOURCE_DIR;

std::string replaced(std::string text, const std::map<std::string, std::string>& values) {
  for (const auto& [from, to] : values) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
  }
  return text;
}

// What a command of a given kind makes of the example's text: the command lines it runs.
using Commands = std::vector<std::vector<std::string>>;

// Nagios runs a command line with shell characters through /bin/sh.
Commands nagios(const std::string& text) {
  Commands commands;
  const std::regex line(R"(\n\s*command_line\s+([^\n]+))");
  for (std::sregex_iterator it(text.begin(), text.end(), line), end; it != end; ++it) {
    commands.push_back({"/bin/sh", "-c", (*it)[1].str()});
  }
  return commands;
}

// Icinga 2 runs the strings of `command = [ ... ]` as the words of the command.
Commands icinga2(const std::string& text) {
  Commands commands;
  const std::regex array(R"(command = \[([^\]]*)\])"), word(R"("([^"]*)\")");
  for (std::sregex_iterator it(text.begin(), text.end(), array), end; it != end; ++it) {
    const std::string words = (*it)[1].str();
    std::vector<std::string> command;
    for (std::sregex_iterator w(words.begin(), words.end(), word); w != end; ++w) command.push_back((*w)[1].str());
    commands.push_back(command);
  }
  return commands;
}

// systemd splits ExecStart= at blanks outside double quotes.
Commands systemd(const std::string& text) {
  std::smatch m;
  if (!std::regex_search(text, m, std::regex(R"(\nExecStart=([^\n]+))"))) return {};
  std::vector<std::string> words(1);
  bool quoted = false;
  for (char c : m[1].str()) {
    if (c == '"') quoted = !quoted;
    else if (c == ' ' && !quoted) words.emplace_back();
    else words.back() += c;
  }
  return {words};
}

class IntegrationExamplesTest : public test::GatewayTest {};

TEST_F(IntegrationExamplesTest, EachExampleSendsItsAlarmAndSaysItWasSent) {
  gw.write_settings();
  gw.start();
  ASSERT_TRUE(gw.wait_until_taking_jobs());
  const fs::path script = gw.folder / "zabbix-qzgsms.sh";
  const std::map<std::string, std::string> values = {
      {"/usr/bin/qzgsms-send", QZGSMS_SEND},
      {"/var/lib/qzgsms/ttyUSB0", gw.folder.path().string()},
      // Nagios
      {"$NOTIFICATIONTYPE$", "PROBLEM"}, {"$HOSTNAME$", "web1"}, {"$HOSTSTATE$", "DOWN"},
      {"$HOSTOUTPUT$", "PING CRITICAL - Packet loss = 100%"}, {"$SERVICEDESC$", "HTTP"},
      {"$SERVICESTATE$", "CRITICAL"}, {"$SERVICEOUTPUT$", "Connection refused"}, {"$CONTACTPAGER$", "+41790000001"},
      // Icinga 2
      {"$notification.type$", "PROBLEM"}, {"$host.display_name$", "db1"}, {"$host.state$", "DOWN"},
      {"$host.output$", "PING CRITICAL"}, {"$service.display_name$", "disk"}, {"$service.state$", "CRITICAL"},
      {"$service.output$", "DISK CRITICAL - free space: / 2%"}, {"$user.pager$", "+41790000002"},
      // systemd: the failed unit and the machine
      {"%i", "backup.service"}, {"%H", "host1"}};
  const struct {
    const char* example;
    std::function<Commands(const std::string&)> commands;
    std::vector<std::string> texts;
  } examples[] = {
      {"integrations/nagios-qzgsms.cfg", nagios,
       {"PROBLEM: web1 is DOWN PING CRITICAL - Packet loss = 100%", "PROBLEM: web1/HTTP is CRITICAL Connection refused"}},
      {"integrations/icinga2-qzgsms.conf", icinga2,
       {"PROBLEM: db1 is DOWN PING CRITICAL", "PROBLEM: db1/disk is CRITICAL DISK CRITICAL - free space: / 2%"}},
      {"integrations/zabbix-qzgsms.sh",
       [&](const std::string& text) {
         test::write_file(script, text);
         fs::permissions(script, fs::perms::owner_all);
         return Commands{{script.string(), "+41790000003", "Problem: Disk full", "Free space on /var is 2%"}};
       },
       {"Problem: Disk full Free space on /var is 2%"}},
      {"integrations/qzgsms-onfailure@.service", systemd, {"host1: backup.service failed"}},
  };
  std::map<std::string, int> expected;
  for (const auto& e : examples) {
    SCOPED_TRACE(e.example);
    const Commands commands = e.commands(replaced(test::read_file(kSource / "examples" / e.example), values));
    ASSERT_EQ(commands.size(), e.texts.size());
    for (const auto& command : commands) {
      ProgramRun run = test::run_program(command);
      EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
      EXPECT_NE(run.out.find(": sent"), std::string::npos) << run.out;
    }
    for (const std::string& text : e.texts) expected[text] = 1;
  }
  EXPECT_EQ(test::accepted_texts(gw.modem), expected);
}

TEST(IntegrationExamplesPage, ShowsEachExampleAsItsFileHasIt) {
  const std::string page = test::read_file(kSource / "docs" / "integrations.md");
  for (const char* example : {"integrations/nagios-qzgsms.cfg", "integrations/icinga2-qzgsms.conf",
                              "integrations/zabbix-qzgsms.sh", "integrations/qzgsms-onfailure@.service",
                              "windows/send-alarm.cmd"}) {
    std::string indented;
    std::string text = test::read_file(kSource / "examples" / example);
    std::erase(text, '\r');
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
      const std::string line = text.substr(at, end - at);
      indented += (line.empty() ? "" : "    " + line) + "\n";
    }
    EXPECT_NE(page.find(indented), std::string::npos) << example << " differs from its copy in docs/integrations.md";
  }
}

}  // namespace
}  // namespace qz
