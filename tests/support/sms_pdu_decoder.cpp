#include "support/sms_pdu_decoder.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/run_program.h"

namespace qz::test {

namespace {

constexpr int kDecoderMissing = 3;

std::string from_hex(const std::string& hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

}  // namespace

std::optional<std::vector<DecodedSms>> decode_sms_pdus(const std::vector<std::string>& pdus) {
  // Debian's own Python: python3-gammu is installed for it, not for another one on PATH.
  std::vector<std::string> argv = {"/usr/bin/python3",
                                   QZGSMS_SOURCE_DIR "/tests/support/decode_sms_pdu.py"};
  argv.insert(argv.end(), pdus.begin(), pdus.end());
  const ProgramRun run = run_program(argv);
  if (run.exit_code == kDecoderMissing || run.exit_code == 127 || run.exit_code == -1) return std::nullopt;
  EXPECT_EQ(run.exit_code, 0) << run.out << run.err;

  std::vector<DecodedSms> decoded;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    std::vector<std::string> fields;
    std::istringstream cells(line);
    for (std::string cell; std::getline(cells, cell, '\t');) fields.push_back(cell);
    if (fields.size() != 9) continue;
    decoded.push_back({fields[0], fields[1], std::stoi(fields[2]), std::stoi(fields[3]), std::stoi(fields[4]),
                       std::stoi(fields[5]), from_hex(fields[6]), std::stoi(fields[7]), fields[8]});
  }
  return decoded;
}

}  // namespace qz::test
