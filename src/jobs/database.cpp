#include "jobs/database.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <limits>

#include "core/files.h"
#include "core/paths.h"
#include "core/system_error.h"
#include "core/text.h"

// How the table is accessed, and why not everything goes through shapelib.
//
// The report tables belong to the alarm application; the gateway only fills in a few fields of
// one record, and nothing else in the file may change. shapelib writes records as a whole from
// its in-memory copy, rewrites the record count and date of the header from the values it read
// at open when it closes an updated table, appends an end-of-file byte when the last record of
// a table without one is written, and has no public way to flush a single record. Any of these
// can overwrite what another program changed meanwhile, or alter bytes the table's owner never
// asked us to touch. Its typed writers also assume the field type matches the call (a number
// written to a character field is read as a string pointer), and it trusts the header of a
// damaged file.
//
// So an opened table is read and written here directly: the header is parsed and checked once
// at Open, each field read is a pread of the field's bytes, and each change is one pwrite of
// exactly the changed field (or the deletion mark) at
//   header length + (record - 1) * record length + 1 + field offset.
// Field offsets are the running sum of the widths; the offsets that some writers store in the
// descriptors are not trusted (GDAL leaves them 0, dBase III writers fill them with anything).
// Reads always come from the file, so they see changes by other programs.
//
// A new table is written whole, as shapelib writes one (the tests compare the two byte for
// byte): a dBase III header dated 1995-07-26 with language driver 0x57, the descriptors,
// the terminator, the records and an end-of-file byte.

namespace qz {
namespace {

constexpr int64_t kFileHeaderSize = 32;
constexpr int64_t kDescriptorSize = 32;
constexpr unsigned char kFieldListEnd = 0x0D;
constexpr unsigned char kFileEnd = 0x1A;
constexpr char kDeletedMark = '*';
constexpr char kLiveMark = ' ';
constexpr int kBoxResult = 1;  // what a box closed with OK returns

unsigned get16(const unsigned char* p) { return p[0] | (p[1] << 8); }
uint32_t get32(const unsigned char* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

void put16(std::string& out, size_t at, unsigned value) {
  out[at] = char(value & 0xFF);
  out[at + 1] = char((value >> 8) & 0xFF);
}
void put32(std::string& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = char((value >> (8 * i)) & 0xFF);
}

// dBase III to V (level in the low bits, memo and SQL flags above) and Visual FoxPro.
bool known_version(unsigned char v) {
  int level = v & 0x07;
  return level == 3 || level == 4 || level == 5 || v == 0x30 || v == 0x31 || v == 0x32;
}

bool is_numeric(char type) { return type == 'N' || type == 'F'; }
bool holds_text(char type) { return type == 'C' || type == 'D' || type == 'L' || is_numeric(type); }

// What a blank field of this type holds: blanks for the text types and for dBase III memo
// block numbers (ten digits), zero bytes for the binary types of Visual FoxPro.
char blank_byte(char type, int width) {
  if (holds_text(type)) return ' ';
  if ((type == 'M' || type == 'G' || type == 'B' || type == 'P') && width == 10) return ' ';
  return '\0';
}

std::string trim_right(std::string s) {
  size_t end = s.find('\0');
  if (end != std::string::npos) s.resize(end);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// The header, descriptors and end-of-file byte of a table without records.
std::string empty_table(const std::vector<DbfFieldDef>& fields) {
  const size_t header_length = kFileHeaderSize + kDescriptorSize * fields.size() + 1;
  unsigned record_length = 1;
  for (const auto& f : fields) record_length += unsigned(f.width);
  std::string bytes(header_length, '\0');
  bytes[0] = 0x03;  // dBase III, no memo
  bytes[1] = 95;    // last change 1995-07-26, as shapelib dates a table it makes
  bytes[2] = 7;
  bytes[3] = 26;
  put16(bytes, 8, unsigned(header_length));
  put16(bytes, 10, record_length);
  bytes[29] = char(0x57);  // the language driver shapelib writes (LDID/87)
  for (size_t i = 0; i < fields.size(); ++i) {
    const DbfFieldDef& f = fields[i];
    const size_t at = kFileHeaderSize + kDescriptorSize * i;
    bytes.replace(at, f.name.size(), f.name);
    bytes[at + 11] = f.type;
    bytes[at + 16] = char(f.width);
    bytes[at + 17] = char(f.decimals);
  }
  bytes[header_length - 1] = char(kFieldListEnd);
  bytes += char(kFileEnd);
  return bytes;
}

// Leading blanks, an optional sign, digits; anything after them (decimals) is ignored, and the
// value is held to the range of int.
int parse_int(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > int64_t(std::numeric_limits<int>::max()) + 1) break;
  }
  if (negative) value = -value;
  return int(std::clamp<int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

}  // namespace

CDatabase::CDatabase(ErrorBox* box) : box_(box) {}

CDatabase::~CDatabase() = default;

int CDatabase::error(const std::string& text) {
  if (box_) box_->show("Error", text);
  return kBoxResult;
}

int CDatabase::Open(const std::string& path) {
  if (file_.is_open()) Close();
  open_fault_.clear();
  File file = File::open(path_from_text(path), {.access = OpenFor::kReadWrite});
  if (!file.is_open()) {
    open_fault_ = errno == ENOENT ? "no such file" : error_text(errno);
    return 0;
  }
  std::optional<FileInfo> st = file.info();
  if (!st || st->kind != FileKind::kRegular) {
    open_fault_ = "not a file";
    return 0;
  }
  file_ = std::move(file);
  std::string fault = load_header();
  if (!fault.empty()) {
    Close();
    open_fault_ = fault;
    error("CDatabase::Open: " + path + ": " + fault);
    return 0;
  }
  current_ = record_count_ > 0 ? 1 : 0;
  auto_flush_ = 1;
  return 1;
}

std::string CDatabase::load_header() {
  std::optional<FileInfo> st = file_.info();
  if (!st) return "cannot read the file";
  const int64_t file_size = st->size;
  if (file_size < kFileHeaderSize) return "shorter than a table header";

  std::string head;
  if (!read_bytes(0, head, kFileHeaderSize)) return "cannot read the header";
  const auto* h = reinterpret_cast<const unsigned char*>(head.data());
  if (!known_version(h[0])) return "not a dBase table";
  const int64_t records = get32(h + 4);
  header_length_ = get16(h + 8);
  record_length_ = get16(h + 10);
  if (header_length_ < kFileHeaderSize + kDescriptorSize + 1) return "header too short for a field";
  if (header_length_ > file_size) return "header longer than the file";

  std::string all;
  if (!read_bytes(0, all, size_t(header_length_))) return "cannot read the header";
  const auto* bytes = reinterpret_cast<const unsigned char*>(all.data());

  // Descriptors follow the first 32 bytes until the terminator; whatever comes after it
  // (the Visual FoxPro backlink, padding) belongs to the header and is left alone.
  fields_.clear();
  int64_t offset = 0;
  int64_t at = kFileHeaderSize;
  for (;;) {
    if (at >= header_length_) return "field list has no terminator";
    if (bytes[at] == kFieldListEnd) break;
    if (at + kDescriptorSize > header_length_) return "field list has no terminator";
    const unsigned char* d = bytes + at;
    Field f;
    f.name.assign(reinterpret_cast<const char*>(d), 11);
    f.name = trim_right(f.name);
    f.type = char(d[11]);
    f.width = d[16];
    f.decimals = d[17];
    f.offset = int(offset);
    if (f.name.empty()) return "field without a name";
    if (f.width == 0) return "field " + f.name + " has no width";
    offset += f.width;
    fields_.push_back(std::move(f));
    at += kDescriptorSize;
  }
  if (fields_.empty()) return "no fields";
  if (1 + offset > record_length_) return "fields longer than the record";

  if (int64_t(records) * record_length_ > file_size - header_length_) return "fewer records in the file than the header claims";
  if (records > std::numeric_limits<int>::max()) return "too many records";
  record_count_ = records;
  return {};
}

int CDatabase::Create(const std::string& path, const std::vector<DbfFieldDef>& fields) {
  if (file_.is_open()) Close();
  // shapelib always names the file *.dbf; another ending would create a file we cannot find.
  bool sound = path.size() > 4 && path.compare(path.size() - 4, 4, ".dbf") == 0 && !fields.empty();
  for (const auto& f : fields) {
    sound = sound && !f.name.empty() && f.name.size() <= 10 && f.width >= 1 && f.width <= 254 &&
            holds_text(f.type) && (f.decimals == 0 || (is_numeric(f.type) && f.decimals > 0 && f.decimals <= f.width - 2));
  }
  // Whatever was at the path is replaced in one step; the table is readable by the
  // alarm application's user.
  if (!sound || !replace_file(path_from_text(path), empty_table(fields), {.permissions = 0644})) {
    error("CDatabase::Create");
    return 0;
  }
  return Open(path);
}

int CDatabase::Append() {
  if (!file_.is_open() || record_count_ >= std::numeric_limits<int>::max()) {
    error("CDatabase::Append");
    return 0;
  }
  // The new record goes where the records end (over the end-of-file byte), followed by an
  // end-of-file byte, and only then is it counted in the header.
  std::string record(1, kLiveMark);
  for (const auto& f : fields_) record.append(size_t(f.width), blank_byte(f.type, f.width));
  record.resize(size_t(record_length_), ' ');
  record += char(kFileEnd);
  std::string count(4, '\0');
  put32(count, 0, uint32_t(record_count_ + 1));
  const int64_t at = record_start(int(record_count_ + 1));
  // A table cut short by another program since Open must not be stretched with a hole.
  std::optional<FileInfo> st = file_.info();
  if (!st || st->size < at || !write_bytes(at, record) || !write_bytes(4, count) ||
      (auto_flush_ && !file_.sync_data())) {
    error("CDatabase::Append");
    return 0;
  }
  current_ = int(++record_count_);
  return 1;
}

int CDatabase::Close() {
  fields_.clear();
  file_.close();
  header_length_ = record_length_ = record_count_ = 0;
  current_ = 0;
  return 1;
}

int CDatabase::position_failed(const char* operation) {
  current_ = 0;
  return error(operation);
}

int CDatabase::Top() {
  if (!file_.is_open() || record_count_ == 0) return position_failed("CDatabase::Top");
  current_ = 1;
  return 0;
}

int CDatabase::Bottom() {
  if (!file_.is_open() || record_count_ == 0) return position_failed("CDatabase::Bottom");
  current_ = int(record_count_);
  return 0;
}

int CDatabase::Go(int record) {
  if (!file_.is_open() || record < 1 || record > record_count_) return position_failed("CDatabase::Go");
  current_ = record;
  return 0;
}

int CDatabase::Skip(int count) {
  if (current_ == 0) return 0;
  current_ = int(std::clamp<int64_t>(int64_t(current_) + count, 1, record_count_));
  return current_;
}

int CDatabase::RecNo() { return current_; }

void CDatabase::SetAutoFlush(int flag) { auto_flush_ = flag; }

int CDatabase::Flush() {
  if (!file_.is_open() || !file_.sync_data()) {
    error("CDatabase::Flush");
    return 0;
  }
  return 1;
}

const CDatabase::Field* CDatabase::field(const std::string& name) const {
  for (const auto& f : fields_)
    if (equals_nocase(f.name, name)) return &f;
  return nullptr;
}

bool CDatabase::HasField(const std::string& name) { return field(name) != nullptr; }

int CDatabase::FieldWidth(const std::string& name) {
  const Field* f = field(name);
  return f ? f->width : 0;
}

int CDatabase::RecCount() const { return int(record_count_); }

int64_t CDatabase::record_start(int record) const {
  return header_length_ + int64_t(record - 1) * record_length_;
}

bool CDatabase::read_bytes(int64_t at, std::string& out, size_t size) const {
  out.assign(size, '\0');
  return file_.read_at(at, out.data(), size);
}

bool CDatabase::write_bytes(int64_t at, const std::string& bytes) { return file_.write_at(at, bytes); }

int CDatabase::GetField(const std::string& name, int& out) {
  out = 0;
  std::string text;
  if (!GetField(name, text)) return 0;
  out = parse_int(text);
  return 1;
}

int CDatabase::GetField(const std::string& name, std::string& out) {
  out.clear();
  const Field* f = field(name);
  if (!f || current_ == 0) return 0;
  std::string raw;
  if (!read_bytes(record_start(current_) + 1 + f->offset, raw, size_t(f->width))) return 0;
  out = trim_right(std::move(raw));
  return 1;
}

int CDatabase::Find(const std::string& name, int value) {
  for (;;) {
    int v = 0;
    if (GetField(name, v) && v == value) return RecNo();
    int before = RecNo();
    if (Skip(1) == before) return 0;
  }
}

int CDatabase::Find(const std::string& name, const std::string& value) {
  const std::string wanted = trim_right(value);
  for (;;) {
    std::string v;
    if (GetField(name, v) && v == wanted) return RecNo();
    int before = RecNo();
    if (Skip(1) == before) return 0;
  }
}

// Every write of this class ends here or in write_field: both refuse when there is no current
// record, so a failed Go can never send a value to some other record.
int CDatabase::write_record_part(int64_t at, const std::string& bytes, const char* operation) {
  if (!file_.is_open() || current_ < 1 || current_ > record_count_) return 0;
  // A table cut short by another program since Open must not be stretched with a hole.
  std::optional<FileInfo> st = file_.info();
  if (!st || at + int64_t(bytes.size()) > st->size || !write_bytes(at, bytes)) {
    error(operation);
    return 0;
  }
  if (auto_flush_ && !file_.sync_data()) error(operation);
  return 1;
}

int CDatabase::write_field(const Field& f, const std::string& bytes, const char* operation) {
  return write_record_part(record_start(current_) + 1 + f.offset, bytes, operation);
}

int CDatabase::Replace(const std::string& name, int value) {
  const Field* f = field(name);
  if (!f || current_ == 0) return 0;
  if (!is_numeric(f->type) && f->type != 'C') {
    error("CDatabase::Replace");
    return 0;
  }
  char text[64];
  if (is_numeric(f->type) && f->decimals > 0 && f->decimals < f->width - 1)
    std::snprintf(text, sizeof text, "%.*f", f->decimals, double(value));
  else
    std::snprintf(text, sizeof text, "%d", value);
  std::string digits = text;
  if (int(digits.size()) > f->width) {
    // Cutting digits off would store a different number; dBase marks the overflow instead.
    write_field(*f, std::string(size_t(f->width), '*'), "CDatabase::Replace");
    error("CDatabase::Replace");
    return 0;
  }
  std::string bytes = is_numeric(f->type)
                          ? std::string(size_t(f->width) - digits.size(), ' ') + digits
                          : digits + std::string(size_t(f->width) - digits.size(), ' ');
  return write_field(*f, bytes, "CDatabase::Replace");
}

int CDatabase::Replace(const std::string& name, const std::string& value) {
  const Field* f = field(name);
  if (!f || current_ == 0) return 0;
  if (!holds_text(f->type)) {
    // Binary and memo fields hold pointers or machine numbers; text would corrupt them.
    error("CDatabase::Replace");
    return 0;
  }
  const size_t width = size_t(f->width);
  std::string bytes;
  if (is_numeric(f->type)) {
    std::string number(trim(value.substr(0, value.find('\0')), " "));
    if (number.size() > width) {
      write_field(*f, std::string(width, '*'), "CDatabase::Replace");
      error("CDatabase::Replace");
      return 0;
    }
    bytes = std::string(width - number.size(), ' ') + number;
  } else {
    bytes = value.substr(0, std::min(width, value.find('\0')));
    bytes.resize(width, ' ');
  }
  return write_field(*f, bytes, "CDatabase::Replace");
}

int CDatabase::Blank() {
  if (current_ == 0) return 0;
  std::string bytes;
  for (const auto& f : fields_) bytes.append(size_t(f.width), blank_byte(f.type, f.width));
  return write_record_part(record_start(current_) + 1, bytes, "CDatabase::Blank");
}

int CDatabase::Delete() {
  if (current_ == 0) return 0;
  return write_record_part(record_start(current_), std::string(1, kDeletedMark), "CDatabase::Delete");
}

int CDatabase::Recall() {
  if (current_ == 0) return 0;
  return write_record_part(record_start(current_), std::string(1, kLiveMark), "CDatabase::Recall");
}

int CDatabase::CopyRecord(int source, int target) {
  if (Go(source) != 0) return 0;
  const int64_t fields_length = fields_.back().offset + fields_.back().width;
  std::string bytes;
  if (!read_bytes(record_start(source) + 1, bytes, size_t(fields_length))) {
    error("CDatabase::CopyRecord");
    return 0;
  }
  if (Go(target) != 0) return 0;
  return write_record_part(record_start(target) + 1, bytes, "CDatabase::CopyRecord");
}

}  // namespace qz
