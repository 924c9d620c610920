// qzgsms-dbftool: makes an empty report table or shows the rows of one.
//   qzgsms-dbftool create TABLE.dbf RECORDS   a scenario table with RECORDS rows
//   qzgsms-dbftool dump TABLE.dbf             every row, one line each
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <shapefil.h>

#include "jobs/database.h"

namespace {

const std::vector<qz::DbfFieldDef> kReportFields = {
    {"NAME", 'C', 30, 0}, {"PHONE", 'C', 20, 0}, {"TY1", 'C', 3, 0},  {"TY2", 'C', 3, 0},
    {"TY3", 'C', 3, 0},   {"TY4", 'C', 3, 0},    {"STATUS", 'N', 3, 0}, {"TIME", 'C', 6, 0},
    {"TI1", 'C', 6, 0},   {"TI2", 'C', 6, 0},    {"TI3", 'C', 6, 0},  {"TI4", 'C', 6, 0},
    {"TO1", 'N', 3, 0},   {"TO2", 'N', 3, 0},    {"TO3", 'N', 3, 0},  {"TO4", 'N', 3, 0}};

// The demo's subscribers and their channels, repeated for longer tables.
const char* const kChannels[][4] = {{"SMS", "", "", ""}, {"MMS", "SMS", "", ""}, {"VC", "SMS", "", ""}};

int create(const std::string& path, int records) {
  qz::CDatabase db;
  if (db.Create(path, kReportFields) != 1) {
    std::fprintf(stderr, "cannot create %s\n", path.c_str());
    return 1;
  }
  db.Close();
  // Rows are added as the alarm application's dBase writer would add them.
  DBFHandle table = DBFOpen(path.c_str(), "rb+");
  if (table == nullptr) return 1;
  for (int r = 0; r < records; ++r) {
    std::string name = "Subscriber " + std::to_string(r + 1);
    std::string phone = "+4179000000" + std::to_string((r + 1) % 10);
    DBFWriteStringAttribute(table, r, DBFGetFieldIndex(table, "NAME"), name.c_str());
    DBFWriteStringAttribute(table, r, DBFGetFieldIndex(table, "PHONE"), phone.c_str());
    for (int n = 0; n < 4; ++n) {
      std::string field = "TY" + std::to_string(n + 1);
      DBFWriteStringAttribute(table, r, DBFGetFieldIndex(table, field.c_str()), kChannels[r % 3][n]);
    }
  }
  DBFClose(table);
  return 0;
}

int dump(const std::string& path) {
  qz::CDatabase db;
  if (db.Open(path) != 1) {
    std::fprintf(stderr, "cannot open %s\n", path.c_str());
    return 1;
  }
  const char* const fields[] = {"NAME", "TY1", "TY2", "STATUS", "TIME", "TI1", "TO1", "TI2", "TO2"};
  std::printf("%-4s", "REC");
  for (const char* f : fields) std::printf(" %-14s", f);
  std::printf("\n");
  for (int r = 1; db.Go(r) == 0; ++r) {
    std::printf("%-4d", r);
    for (const char* f : fields) {
      std::string value;
      db.GetField(f, value);
      std::printf(" %-14s", value.c_str());
    }
    std::printf("\n");
  }
  db.Close();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 3 && args[0] == "create") return create(args[1], std::atoi(args[2].c_str()));
  if (args.size() == 2 && args[0] == "dump") return dump(args[1]);
  std::fprintf(stderr, "usage: qzgsms-dbftool create TABLE.dbf RECORDS | dump TABLE.dbf\n");
  return 2;
}
