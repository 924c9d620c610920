// The three threads of the alarm path. Each runs until the gateway stops.
#pragma once

namespace qz {

class Gateway;

// Watches WatchPath, reads job files and adds their jobs to the table.
void ReadJobsThread(Gateway& gateway);
// Sends due jobs one at a time and retries failed ones.
void ProcessingThread(Gateway& gateway);
// Writes finished jobs into their report tables, files them away and frees them.
void ReportThread(Gateway& gateway);

}  // namespace qz
