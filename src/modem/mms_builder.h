// Encoding of one multimedia message as the octets of an MMS send request (M-Send.req of
// the OMA MMS encapsulation 1.0, with a WSP multipart body), ready to be stored in the
// modem. Pure apart from reading the attachment files: no modem state, no settings
// record, no clock, no logging module; the caller hands in what it needs.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace qz {

// 20 attachment paths, handled in order; an empty entry carries no file.
using MmsFileList = std::array<std::string, 20>;

inline constexpr std::size_t kMmsPduCapacity = 110000;
// Larger attachments are refused; the refusal names the working buffer's 100000.
inline constexpr std::size_t kMmsMaxFileBytes = 99998;
inline constexpr int kMmsFileBufferBytes = 100000;
// Only this much of the message text goes into the message.
inline constexpr std::size_t kMmsMaxTextBytes = 2048;
inline constexpr std::size_t kMmsMaxRecipientLength = 52;
inline constexpr std::string_view kMmsMultipartMixed = "application/vnd.wap.multipart.mixed";

// Where a line of the builder belongs: the daily log file only, or the daily log file
// and the operator window in red.
enum class MmsLogTarget { kDailyLog, kDailyLogAndWindowRed };
using MmsLogFn = std::function<void(MmsLogTarget, const std::string&)>;

struct MmsBuildOptions {
  std::string own_number;                           // Settings::Number, the From address
  std::string content_type{kMmsMultipartMixed};     // Settings::MMSContentType
  std::chrono::system_clock::time_point now{};      // gives the transaction ID
  MmsLogFn log;                                     // may be empty: nothing is logged
};

// A recipient that can go into the To field: dialable (digits, an optional leading '+',
// '*' and '#'; no blanks) and at most 52 characters.
bool is_mms_recipient(std::string_view number);

// Whether the attachment `path` is of a type an MMS carries (JPEG, AMR, 3GP), by its
// extension in any case.
bool is_mms_attachment_type(std::string_view path);

// Writes `value` as a WSP variable-length unsigned integer into `out` (room for 5
// octets) and returns the number of octets used.
std::size_t encode_uintvar(uint32_t value, unsigned char* out);

// Builds the send request for `recipient` (already without blanks) into `out`. The
// subject and the paths are texts up to their first NUL; the text is used byte for byte
// up to 2048 bytes. Returns the number of octets written, or -1 when the message cannot
// be built (a bad recipient, an unknown file type, a file that cannot be read or is too
// big, or a PDU larger than `out`); the content of `out` is then undefined. Never writes
// outside `out`, and reads no more of a file than the size limit allows.
int build_mms(const MmsFileList& files, std::span<unsigned char> out, std::string_view recipient,
              std::string_view subject, std::string_view text, const MmsBuildOptions& options);

}  // namespace qz
