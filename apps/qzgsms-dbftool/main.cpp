// qzgsms-dbftool: makes an empty report table or shows the rows of one.
//   qzgsms-dbftool create [--force] TABLE.dbf RECORDS   a scenario table with RECORDS rows
//   qzgsms-dbftool dump TABLE.dbf                       every row, one line each
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "core/paths.h"
#include "gateway/program_options.h"
#include "jobs/database.h"

namespace {

const std::vector<qz::DbfFieldDef> kReportFields = {
    {"NAME", 'C', 30, 0}, {"PHONE", 'C', 20, 0}, {"TY1", 'C', 3, 0},  {"TY2", 'C', 3, 0},
    {"TY3", 'C', 3, 0},   {"TY4", 'C', 3, 0},    {"STATUS", 'N', 3, 0}, {"TIME", 'C', 6, 0},
    {"TI1", 'C', 6, 0},   {"TI2", 'C', 6, 0},    {"TI3", 'C', 6, 0},  {"TI4", 'C', 6, 0},
    {"TO1", 'N', 3, 0},   {"TO2", 'N', 3, 0},    {"TO3", 'N', 3, 0},  {"TO4", 'N', 3, 0}};

// The demo's subscribers and their channels, repeated for longer tables.
const char* const kChannels[][4] = {{"SMS", "", "", ""}, {"MMS", "SMS", "", ""}, {"VC", "SMS", "", ""}};

constexpr const char* kUsage =
    "Usage: qzgsms-dbftool create [--force] TABLE.dbf RECORDS\n"
    "       qzgsms-dbftool dump TABLE.dbf\n";

constexpr const char* kHelp =
    "\nMakes a qzgsms scenario report table with RECORDS rows, or lists the rows of one.\n"
    "\n"
    "  create TABLE.dbf RECORDS  make the table; an existing file is kept unless --force\n"
    "  dump TABLE.dbf            list every row\n"
    "  --force                   let create replace an existing file\n"
    "  -h, --help                show this help and end\n"
    "  -V, --version             show the version and end\n";

int usage_error(const std::string& text) {
  std::fprintf(stderr, "qzgsms-dbftool: %s\n%s", text.c_str(), kUsage);
  return qz::kExitUsage;
}

// A table holds the alarm application's subscribers and their last outcomes: it is only
// replaced when that is asked for.
int create(const std::string& path, int records, bool force) {
  std::error_code ec;
  if (!force && std::filesystem::exists(std::filesystem::symlink_status(qz::path_from_text(path), ec))) {
    std::fprintf(stderr, "qzgsms-dbftool: %s exists already: not replaced (give --force to replace it)\n",
                 path.c_str());
    return 1;
  }
  qz::CDatabase db;
  if (db.Create(path, kReportFields) != 1) {
    std::fprintf(stderr, "cannot create %s\n", path.c_str());
    return 1;
  }
  // One sync at the end rather than one per field: nobody reads the table meanwhile.
  db.SetAutoFlush(0);
  bool written = true;
  for (int r = 0; written && r < records; ++r) {
    written = db.Append() == 1 && db.Replace("NAME", "Subscriber " + std::to_string(r + 1)) == 1 &&
              db.Replace("PHONE", "+4179000000" + std::to_string((r + 1) % 10)) == 1;
    for (int n = 0; written && n < 4; ++n) {
      written = db.Replace("TY" + std::to_string(n + 1), std::string(kChannels[r % 3][n])) == 1;
    }
  }
  written = written && db.Flush() == 1;
  db.Close();
  if (!written) {
    std::fprintf(stderr, "cannot write the rows of %s\n", path.c_str());
    return 1;
  }
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

// A count of rows: digits only, so a slip ("3O") is not taken for an empty table.
bool parse_records(const std::string& text, int& records) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  records = std::atoi(text.c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args;
  bool force = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::printf("%s%s", kUsage, kHelp);
      return 0;
    }
    if (arg == "-V" || arg == "--version") {
      std::printf("%s\n", qz::program_version_line("qzgsms-dbftool").c_str());
      return 0;
    }
    if (arg == "--force") force = true;
    else if (arg.size() > 1 && arg.front() == '-') return usage_error("unknown option '" + arg + "'");
    else args.push_back(arg);
  }
  if (args.size() == 3 && args[0] == "create") {
    int records = 0;
    if (!parse_records(args[2], records)) return usage_error("RECORDS must be a number of rows, not '" + args[2] + "'");
    return create(args[1], records, force);
  }
  if (args.size() == 2 && args[0] == "dump" && !force) return dump(args[1]);
  return usage_error(args.empty() ? "no command" : "wrong command line");
}
