// One alarm job: what a job file asked for and how far its delivery has come.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "jobs/file_version.h"

namespace qz {

// Outcome codes, written into the report tables as they are.
enum JobStatus : int32_t {
  JOB_NOT_SENT = 0,
  JOB_FAILED = 3,
  JOB_SENT = 8,
};

struct AlarmJob {
  static constexpr int kFileSlots = 20;

  std::string JobFile;      // full path of the job file
  std::string Szenario;     // names the report table; empty for a mini-message
  std::string Name;         // subscriber, shown in the job cell
  std::string PhoneNumber;
  std::string AlarmKey;     // key of the text in QZAMSG.INI
  std::string Message;
  bool MessageIsUtf8 = false;  // an SMS text kept in UTF-8 (see convert_job_texts)
  int32_t dbentry = 0;      // zero-based row in the report table
  int32_t Flash = 0;
  int32_t ConfirmType = 0;  // stored; only part of the duplicate rule
  int32_t Rings = 0;        // stored; only part of the duplicate rule
  uint8_t SendConfirmAck = 0;
  uint8_t IsMiniMessage = 0;
  std::string ContentType;  // "SMS", "application..." (MMS) or "VC"
  std::string Subject;
  std::array<std::string, kFileSlots> Files;

  int64_t SentTime = 0;     // start of the current or last attempt; 0 while waiting
  uint8_t Done = 0;         // the outcome is final: reporting owns the job
  int32_t Status = JOB_NOT_SENT;
  int32_t TryCount = 0;
  int64_t NextTryTime = 0;  // earliest next attempt; 0 means at once
  int64_t AdmittedTime = 0;  // when it entered the job table, for the status file's oldest job
  // The reference joining the parts of a long SMS on the phone, the same for every try
  // (see send_sms); kNoConcatenationReference until a try takes one.
  int ConcatenationReference = -1;

  // The version of the job file this job was read from: the report files exactly these
  // bytes, and only a file that still has this identity leaves the watch folder.
  FileIdentity Identity;
  std::string FileBytes;
  // Restored from the job journal after a restart: the report table has this result
  // already and is not written again.
  bool TableWritten = false;
};

}  // namespace qz
