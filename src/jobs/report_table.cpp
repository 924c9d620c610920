#include "jobs/report_table.h"

#include "jobs/database.h"

namespace qz {

bool names_a_report_table(const std::string& szenario) {
  if (szenario.find_first_of(std::string("/\\\0:", 4)) != std::string::npos) return false;
  return szenario != "." && szenario != "..";
}

bool write_job_result(CDatabase& db, int64_t record, int32_t status, const std::string& time) {
  // A record that does not exist: nothing is written, so no other row gets this result.
  if (record > INT32_MAX || db.Go(static_cast<int>(record)) != 0) return false;
  db.Replace("STATUS", status);
  db.Replace("TIME", time);
  int n = 1;
  for (; n <= 4; ++n) {
    std::string type;
    if (db.GetField("TY" + std::to_string(n), type) == 1 && type == "SMS") break;
  }
  db.Replace("TI" + std::to_string(n), time);
  db.Replace("TO" + std::to_string(n), status);
  return true;
}

}  // namespace qz
