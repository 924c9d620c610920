// The fatal exits of the gateway ("exit code 1 after 10 s") all end here, so that a
// test can observe them instead of losing its own process.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace qz {

// Ends the process with `code`. When a test has installed a handler, the handler is
// called instead and this function returns; callers then return from their thread.
void end_process(int code);

// Installs a handler (nullptr restores the real exit).
void set_process_end_handler(std::function<void(int)> handler);

// The line that tells, before the wait of a fatal exit, when the process ends and with
// which code: `delay_ms` gateway milliseconds from now, as whole seconds.
std::string process_end_notice(int64_t delay_ms, int code);

}  // namespace qz
