// Bringing the modem up: the serial port is opened and set up, the reader thread starts,
// and the fixed AT dialogue runs (at, PIN, functionality, registration, text mode,
// character set, service centre, echo off, MMS probe and configuration). What a failure
// means for the process (the technical alarm, the pause, the exit code) is the caller's,
// but for a modem that has failed to register over several starts (no_network.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qz {

class ModemLink;

struct ModemStart {
  enum Outcome {
    kReady,
    kPortNotOpened,  // the serial port cannot be opened
    kNoModem,        // nothing answers on the port, even after the recovery
    kFailed,         // the modem answered but the dialogue failed
  };
  Outcome outcome = kReady;
  std::string failure;  // the line that says why, for kPortNotOpened, kNoModem and kFailed
};

// The port is opened and set up first. A port that cannot be opened fails with the
// system's reason after the code; a Mode the parser or the device refuses is said in red
// and the port keeps its line settings.
ModemStart start_modem(ModemLink& link);

// The modem has gone (unplugged, powered off, no longer answering): waits up to `limit_ms`
// gateway milliseconds for it to come back, trying the port every few seconds, and when a
// modem answers there, runs the whole start dialogue again. True when the modem is ready
// again; false when the time ran out or the gateway stops. Whoever else uses the modem
// waits meanwhile: the caller holds ModemLock once the workers run.
bool wait_for_modem_return(ModemLink& link, int64_t limit_ms);

// The red line about a Mode the parser refuses, as the start and qzgsmsd --check say it.
std::string unreadable_mode_text(std::string_view mode);

// What the system says about `error` (an errno) when a port cannot be opened, and what it
// most likely means for a modem's port: "Device or resource busy: in use by another …".
std::string open_failure_reason(int error);

}  // namespace qz
