#include <algorithm>
#include <string>

#include "core/colors.h"
#include "core/system_error.h"
#include "core/utf8.h"
#include "modem/gsm_charset.h"
#include "modem/incoming.h"
#include "modem/modem_link.h"
#include "process/child_process.h"
#include "process/command_line.h"

namespace qz {

bool run_incoming(ModemLink& link, const std::string& sender, std::string text, bool utf8) {
  if (!utf8) {
    // The receive table gives NUL for one character (0x40); no argument can carry a NUL,
    // so the command would never start and the message would stay in the modem for good.
    text = from_gsm(text);
    std::replace(text.begin(), text.end(), '\0', ' ');
  }

  // The sender and the text each stay inside their own argument: nothing in a received
  // message is interpreted.
  ChildProcess command(build_argv(link.settings.CmdLineFormat, {sender, text}), link.folder);
  bool started = command.start(true, true);
  if (started) command.detach();

  // The line is held to 255 bytes; a UTF-8 text is cut between characters.
  std::string line = "'" + text + "' command received from " + sender;
  line.resize(utf8 ? utf8_cut(line, 255) : std::min<std::size_t>(line.size(), 255));
  link.log.Log(line, kBlue);
  ++link.status.received;
  if (!started) {
    link.log.Log("Could not start " + command.command_line() + ": " + error_text(command.error().code), kRed);
  }
  return started;
}

}  // namespace qz
