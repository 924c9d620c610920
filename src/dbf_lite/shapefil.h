// The part of shapelib's dBase API (shapefil.h, DBF*) that qzgsms calls, with the same
// names and meanings, for builds where shapelib itself is not available. Tables are
// dBase III files as shapelib writes them: a header, 32-byte field descriptors, records
// of fixed width each led by a deletion flag, and an end-of-file byte.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

typedef struct DbfLiteTable* DBFHandle;

// A new, empty table at `path` (replaced if it exists); null when it cannot be written.
DBFHandle DBFCreate(const char* path);
// An existing table; `access` "rb" or "rb+" (writable). Null when it cannot be read.
DBFHandle DBFOpen(const char* path, const char* access);
// Adds a field to a table without records; its index, or -1 when refused.
int DBFAddNativeFieldType(DBFHandle table, const char* name, char type, int width, int decimals);
// The index of the field named `name` (without regard to case), or -1.
int DBFGetFieldIndex(DBFHandle table, const char* name);
// Writes `value` (cut to the field's width) into a record; record == the record count
// appends one. 1 when written, 0 when not.
int DBFWriteStringAttribute(DBFHandle table, int record, int field, const char* value);
// Writes what changed to the file and frees the handle.
void DBFClose(DBFHandle table);

#ifdef __cplusplus
}
#endif
