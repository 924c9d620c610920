// The Application log's entries of a gateway run as a service, under the source "qzgsms"
// (registered by service_install_windows.cpp; the texts are qzgsms_events.mc, in
// qzgsmsd.exe's message table). Where the source is not registered, Windows still keeps
// the entry, but Event Viewer cannot word it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qz {

inline constexpr const wchar_t* kEventSource = L"qzgsms";

// Writes the entry `event_id` (a QZ_EVENT_* of qzgsms_events.h) with its insertion
// strings %1, %2, ... (UTF-8). False when the log could not be written.
bool write_event(uint32_t event_id, const std::vector<std::string>& strings);

}  // namespace qz
