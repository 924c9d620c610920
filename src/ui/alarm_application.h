// The alarm application hands its SMS to this program only while the flag SendWithQzgsms
// in section [qzasms] of its file qzalarm.ini says so. The window asks at each start while
// the flag is 0 (or missing), and sets it on yes.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace qz::ui {

// Where qzalarm.ini lies: the instance folder on Linux, the Windows directory on Windows,
// where the alarm application reads it.
std::filesystem::path AlarmApplicationFolder(const std::filesystem::path& instance_folder);

// Asks `ask` (title, text; true for yes) when the flag is not set and writes "1" on yes;
// a no writes nothing, so the question comes back at the next start. Returns what went
// wrong in writing the flag (empty when nothing did), for the front end to show.
std::string AskSendWithQzgsms(const std::filesystem::path& alarm_folder,
                              const std::function<bool(const char* title, const char* text)>& ask);

}  // namespace qz::ui
