// The modem's "+CSCA" reply: a quoted number, a comma and the type of address.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qz {

struct ServiceCentre {
  std::string number;  // empty when the reply held no piece
  std::optional<int32_t> type;
};

// Splits at double quotes and commas, runs of them counting as one: the first piece is
// the number, the second (read as a decimal) the type.
ServiceCentre parse_service_centre_reply(std::string_view reply);

}  // namespace qz
