#include "modem/store_use.h"

#include <cctype>

#include "core/decimal.h"
#include "modem/modem_channel.h"

namespace qz {

std::optional<StoreUse> parse_store_use(std::string_view reply) {
  constexpr std::string_view kHeader = "+CPMS:";
  const std::size_t at = reply.find(kHeader);
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view line = reply.substr(at + kHeader.size());
  line = line.substr(0, line.find('\r'));
  // The store's name, then its use and its size.
  const std::size_t first = line.find(',');
  const std::size_t second = first == std::string_view::npos ? first : line.find(',', first + 1);
  if (second == std::string_view::npos) return std::nullopt;
  const auto is_number = [](std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    return !text.empty() && std::isdigit(static_cast<unsigned char>(text.front())) != 0;
  };
  const std::string_view used = line.substr(first + 1, second - first - 1);
  const std::string_view total = line.substr(second + 1, line.find(',', second + 1) - second - 1);
  if (!is_number(used) || !is_number(total)) return std::nullopt;
  StoreUse use{parse_decimal(used), parse_decimal(total)};
  if (use.total <= 0 || use.used < 0 || use.used > use.total) return std::nullopt;
  return use;
}

std::optional<StoreUse> read_store_use(ModemChannel& modem, bool& refused) {
  // The listing's capture: a refusal ends the wait at once, as an OK does.
  modem.start_list_capture();
  modem.events.clear(OkEvent);
  modem.events.clear(ErrorEvent);
  modem.SendCommand("at+cpms", "?\r");
  const int reply = modem.WaitOkOrError(2000);
  const std::string captured = modem.stop_capture();
  const std::optional<StoreUse> use = reply == 0 ? parse_store_use(captured) : std::nullopt;
  refused = reply == 1 || (reply == 0 && !use) || captured.find("ERROR") != std::string::npos;
  return use;
}

std::string StoreUseWatch::update(const StoreUse& use) {
  const Level level = use.full() ? Level::kFull : use.nearly_full() ? Level::kNearlyFull : Level::kNormal;
  if (level == level_) return {};
  // Going down from full to nearly full is no news worth a red line.
  const bool said_before = level == Level::kNearlyFull && level_ == Level::kFull;
  level_ = level;
  if (said_before) return {};
  const std::string counts = std::to_string(use.used) + " of " + std::to_string(use.total) + " used";
  switch (level) {
    case Level::kFull:
      return "Message store full (" + counts + "): no more SMS can reach the gateway until room is made";
    case Level::kNearlyFull:
      return "Message store nearly full (" + counts + "): once it is full no more SMS can reach the gateway";
    case Level::kNormal:
      break;
  }
  return "Message store back to normal (" + counts + ")";
}

}  // namespace qz
