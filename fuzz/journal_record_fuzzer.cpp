// The job journal is read back at every start, after whatever a crash, a full disk or a
// hand with an editor left in it. Whatever a line holds, it is either refused or read as
// the record it spells, and reading it is defined behaviour (no number read past its
// type's range).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "jobs/job_journal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  // An exact-size copy, so that a read past the line's end is a finding.
  auto bytes = std::make_unique<char[]>(size);
  std::copy(data, data + size, bytes.get());
  const std::string_view line(bytes.get(), size);

  const std::optional<qz::JournalRecord> record = qz::parse_journal_record(line);
  if (!record) return 0;
  FUZZ_CHECK(std::string_view("ORMF").find(record->kind) != std::string_view::npos);
  FUZZ_CHECK(line.size() >= 2 && line[0] == record->kind && line[1] == ' ');
  FUZZ_CHECK(line.substr(2, record->key.size()) == record->key);
  if (record->kind == 'R' || record->kind == 'F') FUZZ_CHECK(record->text.empty());
  // Unescaping never makes a text longer than what it came from.
  FUZZ_CHECK(record->text.size() <= line.size());
  return 0;
}
