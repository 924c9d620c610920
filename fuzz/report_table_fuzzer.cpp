// Report tables belong to the alarm application, and any dBase writer may have made them.
// The table is the whole input; the choices (record, field, values) are read from its last
// bytes, the way FuzzedDataProvider reads integers, which in a real table are the last
// record or the end-of-file mark. Whatever the table holds, Open refuses it or the
// gateway's writes land inside the record asked for: the file keeps its size and every
// byte outside that record, and a value written reads back as written.
#include <fuzzer/FuzzedDataProvider.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/error_box.h"
#include "fuzz_check.h"
#include "jobs/database.h"
#include "scratch_folder.h"

namespace {

struct CountingBox : qz::ErrorBox {
  int shown = 0;
  void show(const std::string&, const std::string&) override { ++shown; }
};

unsigned get16(std::string_view bytes, std::size_t at) {
  return static_cast<unsigned char>(bytes[at]) | (static_cast<unsigned char>(bytes[at + 1]) << 8);
}

// The fields of the fixtures, and the first field name of the table itself.
std::string field_name(FuzzedDataProvider& choice, std::string_view table) {
  static const char* const kNames[] = {"NAME", "PHONE", "TY1", "STATUS", "TIME", "TO1", "to4", ""};
  std::size_t pick = choice.ConsumeIntegralInRange<std::size_t>(0, std::size(kNames));
  if (pick < std::size(kNames)) return kNames[pick];
  std::string_view first = table.size() >= 43 ? table.substr(32, 11) : std::string_view{};
  return std::string(first.substr(0, first.find('\0')));
}

// Blanks around the text would be dropped in numeric fields and kept in others, and a NUL
// ends it; without them, every field reads back what was written, cut to its width.
std::string text_value(FuzzedDataProvider& choice, std::string_view table) {
  std::size_t at = choice.ConsumeIntegralInRange<std::size_t>(0, table.size());
  std::size_t length = choice.ConsumeIntegralInRange<std::size_t>(0, 40);
  std::string text(table.substr(at, length));
  text = text.substr(0, text.find('\0'));
  std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "x";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string trim_right(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string trim_left(std::string text) {
  std::size_t first = text.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view table(reinterpret_cast<const char*>(data), size);
  static const std::filesystem::path path = qz::fuzz::scratch_folder() / "report.dbf";
  if (!qz::fuzz::write_file(path, table)) return 0;
  FuzzedDataProvider choice(data, size);

  CountingBox box;
  qz::CDatabase db(&box);
  if (!db.Open(path)) return 0;
  db.SetAutoFlush(0);  // a sync per write would cost more than the rest of the run
  FUZZ_CHECK(size >= 12);
  const std::int64_t header = get16(table, 8);
  const std::int64_t record_length = get16(table, 10);

  db.Bottom();
  const int records = db.RecNo();
  int record = choice.ConsumeIntegralInRange<int>(0, records + 1);
  if (choice.ConsumeBool()) record = choice.ConsumeBool() ? INT_MIN : INT_MAX;
  const int boxes = box.shown;
  if (db.Go(record) != 0) {
    FUZZ_CHECK(record < 1 || record > records);
    FUZZ_CHECK(db.RecNo() == 0 && box.shown == boxes + 1);
  } else {
    FUZZ_CHECK(record >= 1 && record <= records && db.RecNo() == record);
  }

  const std::string name = field_name(choice, table);
  std::string text;
  int number = 0;
  db.GetField(name, text);
  db.GetField(name, number);

  const int value = choice.ConsumeIntegral<int>();
  if (db.Replace(name, value) == 1) {
    FUZZ_CHECK(db.GetField(name, number) == 1 && number == value);
  }
  const std::string written = text_value(choice, table);
  if (db.Replace(name, written) == 1) {
    FUZZ_CHECK(db.GetField(name, text) == 1);
    const std::size_t width = static_cast<std::size_t>(db.FieldWidth(name));
    FUZZ_CHECK(trim_left(text) == trim_right(written.substr(0, width)));
  }
  if (choice.ConsumeBool()) db.Blank();
  if (choice.ConsumeBool()) db.Delete();
  db.Close();

  // Nothing but the current record changed, and the file neither grew nor shrank.
  const std::string after = qz::fuzz::read_file(path);
  FUZZ_CHECK(after.size() == table.size());
  const std::int64_t from = record >= 1 && record <= records ? header + (record - 1) * record_length : 0;
  const std::int64_t to = record >= 1 && record <= records ? from + record_length : 0;
  for (std::size_t i = 0; i < after.size(); ++i) {
    if (static_cast<std::int64_t>(i) < from || static_cast<std::int64_t>(i) >= to) {
      FUZZ_CHECK(after[i] == table[i]);
    }
  }
  return 0;
}
