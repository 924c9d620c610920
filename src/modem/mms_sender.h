// MMS submission through the modem's MMS store: store, submit, await the report, delete.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace qz {

class Gateway;

using MmsFileList = std::array<std::string, 20>;

// 0 when the modem reported the message as sent, -1 otherwise.
int send_mms(Gateway& gateway, std::string_view number, const MmsFileList& files,
             std::string_view subject, std::string_view text);

}  // namespace qz
