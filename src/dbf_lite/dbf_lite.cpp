#include "shapefil.h"

#include <cctype>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

struct DbfLiteField {
  std::string name;
  char type;
  int width;
  int decimals;
  int offset;  // within a record, after the deletion flag
};

struct DbfLiteTable {
  std::filesystem::path path;
  bool writable = false;
  bool changed = false;
  std::vector<DbfLiteField> fields;
  std::vector<std::string> records;  // each record_length() bytes, deletion flag first

  int record_length() const {
    int length = 1;
    for (const auto& f : fields) length += f.width;
    return length;
  }
};

namespace {

constexpr int kHeaderSize = 32;
constexpr int kDescriptorSize = 32;
constexpr unsigned char kHeaderEnd = 0x0D;
constexpr unsigned char kFileEnd = 0x1A;
constexpr unsigned char kLanguageDriver = 0x57;  // what shapelib writes by default (LDID/87)

void put16(std::string& out, size_t at, unsigned value) {
  out[at] = static_cast<char>(value & 0xFF);
  out[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

unsigned get16(const std::string& in, size_t at) {
  return static_cast<unsigned char>(in[at]) | static_cast<unsigned char>(in[at + 1]) << 8;
}

uint32_t get32(const std::string& in, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(in[at + i]);
  return value;
}

bool write_table(const DbfLiteTable& table) {
  const int header_length = kHeaderSize + kDescriptorSize * static_cast<int>(table.fields.size()) + 1;
  std::string bytes(header_length, '\0');
  bytes[0] = 0x03;
  // shapelib's default date of last change, 1995-07-26.
  bytes[1] = 95;
  bytes[2] = 7;
  bytes[3] = 26;
  put32(bytes, 4, static_cast<uint32_t>(table.records.size()));
  put16(bytes, 8, header_length);
  put16(bytes, 10, table.record_length());
  bytes[29] = static_cast<char>(kLanguageDriver);
  for (size_t i = 0; i < table.fields.size(); ++i) {
    const auto& f = table.fields[i];
    const size_t at = kHeaderSize + kDescriptorSize * i;
    std::memcpy(&bytes[at], f.name.data(), f.name.size());
    bytes[at + 11] = f.type;
    bytes[at + 16] = static_cast<char>(f.width);
    bytes[at + 17] = static_cast<char>(f.decimals);
  }
  bytes[header_length - 1] = static_cast<char>(kHeaderEnd);
  for (const auto& r : table.records) bytes += r;
  bytes += static_cast<char>(kFileEnd);
  std::ofstream out(table.path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return static_cast<bool>(out);
}

bool same_name(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// A table's name is UTF-8 when it reads as UTF-8, else bytes of the system's code page:
// a name from an older program must open, never throw out of a C function.
std::filesystem::path table_path(const char* path) {
  try {
    return std::filesystem::u8path(path);
  } catch (const std::exception&) {
    return std::filesystem::path(path);
  }
}

}  // namespace

extern "C" {

DBFHandle DBFCreate(const char* path) {
  auto* table = new DbfLiteTable;
  table->path = table_path(path);
  table->writable = true;
  if (!write_table(*table)) {
    delete table;
    return nullptr;
  }
  return table;
}

DBFHandle DBFOpen(const char* path, const char* access) {
  std::ifstream in(table_path(path), std::ios::binary);
  if (!in) return nullptr;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() < kHeaderSize + 1) return nullptr;
  const uint32_t count = get32(bytes, 4);
  const unsigned header_length = get16(bytes, 8);
  const unsigned record_length = get16(bytes, 10);
  if (header_length < kHeaderSize + 1 || header_length > bytes.size() || record_length < 1) return nullptr;
  auto* table = new DbfLiteTable;
  table->path = table_path(path);
  table->writable = std::strchr(access, '+') != nullptr;
  int offset = 1;
  for (size_t at = kHeaderSize; at + kDescriptorSize <= header_length - 1; at += kDescriptorSize) {
    if (static_cast<unsigned char>(bytes[at]) == kHeaderEnd) break;
    DbfLiteField f;
    f.name.assign(&bytes[at], strnlen(&bytes[at], 11));
    f.type = bytes[at + 11];
    f.width = static_cast<unsigned char>(bytes[at + 16]);
    f.decimals = static_cast<unsigned char>(bytes[at + 17]);
    f.offset = offset;
    offset += f.width;
    table->fields.push_back(f);
  }
  if (offset != static_cast<int>(record_length)) {
    delete table;
    return nullptr;
  }
  for (uint32_t r = 0; r < count; ++r) {
    const size_t at = header_length + static_cast<size_t>(r) * record_length;
    if (at + record_length > bytes.size()) break;  // a short file keeps its whole records
    table->records.push_back(bytes.substr(at, record_length));
  }
  return table;
}

int DBFAddNativeFieldType(DBFHandle table, const char* name, char type, int width, int decimals) {
  if (!table || !table->writable || !table->records.empty()) return -1;
  const size_t length = std::strlen(name);
  if (length == 0 || length > 10 || width < 1 || width > 255 || decimals < 0 || decimals > 255) return -1;
  table->fields.push_back({name, type, width, decimals, table->record_length()});
  table->changed = true;
  return static_cast<int>(table->fields.size()) - 1;
}

int DBFGetFieldIndex(DBFHandle table, const char* name) {
  if (!table || !name) return -1;
  for (size_t i = 0; i < table->fields.size(); ++i)
    if (same_name(table->fields[i].name, name)) return static_cast<int>(i);
  return -1;
}

int DBFWriteStringAttribute(DBFHandle table, int record, int field, const char* value) {
  if (!table || !table->writable || field < 0 || field >= static_cast<int>(table->fields.size())) return 0;
  if (record < 0 || record > static_cast<int>(table->records.size())) return 0;
  if (record == static_cast<int>(table->records.size()))
    table->records.emplace_back(table->record_length(), ' ');
  const auto& f = table->fields[field];
  std::string text(value ? value : "");
  text.resize(f.width, ' ');
  table->records[record].replace(f.offset, f.width, text);
  table->changed = true;
  return 1;
}

void DBFClose(DBFHandle table) {
  if (!table) return;
  if (table->writable && table->changed) write_table(*table);
  delete table;
}

}  // extern "C"
