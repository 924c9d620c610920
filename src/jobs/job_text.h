// The texts of a job in the gateway's 8-bit text (ISO 8859-1), which the SMS sender turns
// into the GSM alphabet. Alarm applications have always written job files in ISO 8859-1;
// newer ones and today's editors write UTF-8, whose accented letters would otherwise
// arrive as two wrong characters each.
#pragma once

#include <string>

#include "jobs/alarm_job.h"

namespace qz {

// Converts Message, Name and Subject in place. A text that is well-formed UTF-8 and holds
// at least one non-ASCII character is read as UTF-8: code points up to U+00FF become their
// ISO 8859-1 byte, higher ones '?'; a character cut in two at the very end (the field width
// of the job file cuts bytes) is dropped. Any other text is single-byte, read as
// Windows-1252 (core/windows_1252.h): it stays as it is, byte for byte, but for the
// characters of 0x80-0x9F (the euro sign, dashes, quotes), which have no 8-bit form and
// become '?'.
//
// The exception is the Message of a job that goes out as an SMS (a mini-message or
// ContentType "SMS"): when it is ASCII or well-formed UTF-8 it stays UTF-8 (less a
// character cut at the end) and MessageIsUtf8 is set, for the sender to code it in the GSM
// alphabet or UCS-2, which between them carry every character; a single-byte text with
// such a character of Windows-1252 is made UTF-8 and goes the same way.
//
// Returns what will not reach the subscriber as written, as UTF-8, each character once in
// the order of first appearance, empty when nothing is lost: code points above U+00FF in
// any of the three texts, and, in a single-byte Message that goes out as an SMS, the
// characters the GSM send table turns into a space. An MMS carries
// its 8-bit texts as they are, so only the first kind counts there. Blanks (space, tab,
// no-break space) become a space as they should, and control characters have no form to
// show in a log line: neither is reported.
std::string convert_job_texts(AlarmJob& job);

}  // namespace qz
