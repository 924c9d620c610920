#include <windows.h>

#include <mutex>

#include "platform/windows/event_log.h"
#include "platform/windows/windows_text.h"

namespace qz {

namespace {

// The event type Windows files the entry under, from the severity windmc put into its id.
WORD event_type(uint32_t event_id) {
  switch (event_id >> 30) {
    case 3: return EVENTLOG_ERROR_TYPE;
    case 2: return EVENTLOG_WARNING_TYPE;
    default: return EVENTLOG_INFORMATION_TYPE;
  }
}

}  // namespace

bool write_event(uint32_t event_id, const std::vector<std::string>& strings) {
  static std::once_flag opened;
  static HANDLE source = nullptr;
  std::call_once(opened, [] { source = RegisterEventSourceW(nullptr, kEventSource); });
  if (source == nullptr) return false;
  std::vector<std::wstring> wide;
  for (const std::string& s : strings) wide.push_back(widen(s));
  std::vector<LPCWSTR> pointers;
  for (const std::wstring& w : wide) pointers.push_back(w.c_str());
  return ReportEventW(source, event_type(event_id), 0, event_id, nullptr, static_cast<WORD>(pointers.size()), 0,
                      pointers.data(), nullptr) != FALSE;
}

}  // namespace qz
