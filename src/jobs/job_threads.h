// The three threads of the alarm path. Each runs until the gateway stops.
#pragma once

namespace qz {

struct JobContext;

// Watches WatchPath, reads job files and adds their jobs to the table.
void ReadJobsThread(JobContext& context);
// Sends due jobs one at a time and retries failed ones.
void ProcessingThread(JobContext& context);
// Writes finished jobs into their report tables, files them away and frees them.
void ReportThread(JobContext& context);

}  // namespace qz
