// MMS submission through the modem's MMS store: store, submit, await the report, delete.
#pragma once

#include <string_view>

#include "modem/mms_builder.h"

namespace qz {

class ModemLink;

// 0 when the modem reported the message as sent, -1 otherwise.
int send_mms(ModemLink& link, std::string_view number, const MmsFileList& files,
             std::string_view subject, std::string_view text);

}  // namespace qz
