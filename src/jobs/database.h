// CDatabase: a small wrapper over one dBase (.dbf) table, used to write job results into the
// report tables that the alarm application owns.
//
// Records are numbered from 1. Field names are matched without regard to case. Texts are cut
// to the field width and padded with blanks; numbers are right-aligned in numeric fields. Every
// change goes straight to the file, so another program reading the table sees it at once, and
// with auto-flush (on after Open) it is also synced to disk.
//
// Only the bytes of the changed field (or the deletion mark) are ever written: the header, the
// other fields and the other records stay byte for byte as the table's owner wrote them. A
// table whose header does not hold together is refused by Open rather than guessed at.
//
// Failed positioning and failed changes are reported through the ErrorBox with the operation's
// name as the text ("CDatabase::Go", ...). After a failed positioning there is no current
// record, and every operation that writes the current record refuses, so results can never
// land in a record other than the one asked for.
//
// One object is used by one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/error_box.h"
#include "core/files.h"

namespace qz {

// A field for Create: dBase type letter ('C', 'N', 'F', 'D', 'L'), width and decimals.
struct DbfFieldDef {
  std::string name;  // 1 to 10 characters
  char type = 'C';
  int width = 1;     // 1 to 254
  int decimals = 0;  // numeric fields only
};

class CDatabase {
 public:
  // `box` receives the error boxes; nullptr means errors are only returned.
  explicit CDatabase(ErrorBox* box = nullptr);
  // Closes the file handle if the owner did not Close; writes were already on disk.
  virtual ~CDatabase();
  CDatabase(const CDatabase&) = delete;
  CDatabase& operator=(const CDatabase&) = delete;

  // Opens an existing table for update and makes record 1 current (none when the table is
  // empty). 1 on success; 0 when the file cannot be opened (silently: the caller reports it)
  // or is not a sound dBase table (with the box "CDatabase::Open: ..." naming the fault).
  virtual int Open(const std::string& path);
  // Replaces whatever is at `path` (which must end in ".dbf") with an empty table of these
  // fields, the file shapelib would write, and opens it. 1 on success; 0 with the box
  // "CDatabase::Create" otherwise (a definition dBase cannot hold, a file not written).
  virtual int Create(const std::string& path, const std::vector<DbfFieldDef>& fields);
  // Forgets the field list and closes the file. Always 1.
  virtual int Close();

  // Positioning: 0 on success; otherwise the box "CDatabase::Top" / "::Bottom" / "::Go" is
  // shown, there is no current record afterwards, and the result is non-zero.
  virtual int Top();
  virtual int Bottom();
  virtual int Go(int record);
  // Moves by `count` records, stopping at the first or the last record; returns the record
  // number reached (0 when there is no current record). No box.
  virtual int Skip(int count);
  // Current record number, 0 when there is none.
  virtual int RecNo();

  virtual void SetAutoFlush(int flag);
  // Syncs the table to disk. 1 on success; 0 with the box "CDatabase::Flush".
  virtual int Flush();

  virtual bool HasField(const std::string& name);
  // First record, from the current one on, whose field equals the value (texts compared
  // after removing trailing blanks); 0 when none. Never wraps round to record 1.
  virtual int Find(const std::string& field, int value);
  virtual int Find(const std::string& field, const std::string& value);

  // Reads a field of the current record. 1 on success; 0 (and `out` reset) for an unknown
  // field or when there is no current record. A field that holds no number reads as 0.
  virtual int GetField(const std::string& field, int& out);
  // The text with trailing blanks removed.
  virtual int GetField(const std::string& field, std::string& out);

  // Writes a field of the current record: texts left-aligned, cut to the width and padded
  // with blanks; numbers (and texts written to numeric fields) right-aligned. 1 when written;
  // a failed auto-flush shows the box but still returns 1, since the bytes are in the file.
  // 0 without a box for an unknown field or when there is no current record. 0 with the box
  // "CDatabase::Replace" when the write fails, when the field's type cannot hold the value
  // (memo and binary fields; nothing is written), or when a number does not fit a numeric
  // field (the field is filled with asterisks, as dBase marks an overflow, rather than
  // keeping an old value or a number cut short).
  virtual int Replace(const std::string& field, int value);
  virtual int Replace(const std::string& field, const std::string& value);

  // Change the current record as a whole; 1 on success, 0 (with the box named after the
  // operation when something was attempted) otherwise.
  virtual int Blank();
  virtual int Delete();
  virtual int Recall();
  // Copies every field of `source` into `target`; `target` is current afterwards.
  virtual int CopyRecord(int source, int target);
  // Adds a blank record at the end and makes it current, as dBase's APPEND BLANK. 1 on
  // success; 0 with the box "CDatabase::Append" otherwise.
  virtual int Append();

  // Width of the field in characters, 0 when the table has no such field.
  int FieldWidth(const std::string& name);
  // Number of records of the open table, 0 when none is open.
  int RecCount() const;
  // Why the last Open failed, for the caller's report ("no such file", "Permission denied",
  // what is wrong with the header); empty after a successful Open.
  const std::string& OpenFault() const { return open_fault_; }

 private:
  struct Field {
    std::string name;
    char type = 'C';
    int width = 0;
    int decimals = 0;
    int offset = 0;  // from the start of the record, past the deletion mark
  };

  // Reads and checks the header of the open file; fills the field list. Empty on success,
  // otherwise what is wrong with the table.
  std::string load_header();
  const Field* field(const std::string& name) const;
  int64_t record_start(int record) const;
  bool read_bytes(int64_t at, std::string& out, size_t size) const;
  bool write_bytes(int64_t at, const std::string& bytes);
  // Puts `bytes` (exactly the field's width) into the current record.
  int write_field(const Field& f, const std::string& bytes, const char* operation);
  int write_record_part(int64_t at, const std::string& bytes, const char* operation);
  int position_failed(const char* operation);
  int error(const std::string& text);

  ErrorBox* box_;
  File file_;
  int64_t header_length_ = 0;
  int64_t record_length_ = 0;
  int64_t record_count_ = 0;
  std::vector<Field> fields_;
  int current_ = 0;  // 1-based; 0 = no current record
  int auto_flush_ = 0;
  std::string open_fault_;
};

}  // namespace qz
