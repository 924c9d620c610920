// A job's result in its scenario's report table.
#pragma once

#include <cstdint>
#include <string>

namespace qz {

class CDatabase;

// Whether a job's scenario names a table inside the report folder, nothing else: no
// folder part, no parent, no drive, no NUL.
bool names_a_report_table(const std::string& szenario);

// Writes the result into record `record` of the open table: STATUS and TIME, then the
// "TI%d"/"TO%d" pair of the first channel "TY%d" that reads "SMS" (fields the table
// lacks are not written). False, with nothing written, when the record does not exist.
bool write_job_result(CDatabase& db, int64_t record, int32_t status, const std::string& time);

}  // namespace qz
