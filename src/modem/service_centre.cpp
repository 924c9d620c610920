#include "modem/service_centre.h"

#include "core/decimal.h"

namespace qz {

ServiceCentre parse_service_centre_reply(std::string_view reply) {
  ServiceCentre result;
  int piece = 0;
  std::size_t pos = 0;
  while (piece < 2) {
    pos = reply.find_first_not_of("\",", pos);
    if (pos == std::string_view::npos) break;
    std::size_t end = reply.find_first_of("\",", pos);
    std::string_view text = reply.substr(pos, end == std::string_view::npos ? end : end - pos);
    if (piece == 0) result.number = std::string(text);
    else result.type = parse_decimal(text);
    ++piece;
    if (end == std::string_view::npos) break;
    pos = end;
  }
  return result;
}

}  // namespace qz
