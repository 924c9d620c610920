// The Windows side of the service that needs no service manager: the event log's texts in
// qzgsmsd.exe's message table, system errors in Windows' own words, and the check's look at
// a COM port. (Registering, starting and stopping the service run in installer_scenario.sh.)
#include <windows.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "core/system_error.h"
#include "gateway/port_device.h"
#include "platform/windows/windows_error.h"
#include "platform/windows/windows_text.h"
#include "qzgsms_events.h"

namespace qz {
namespace {

std::string system_words(DWORD code) {
  wchar_t* words = nullptr;
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
                 code, 0, reinterpret_cast<wchar_t*>(&words), 0, nullptr);
  std::wstring text = words ? words : L"";
  LocalFree(words);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L'.' || text.back() == L' ')) {
    text.pop_back();
  }
  return narrow(text);
}

// Event Viewer words an entry from the message table the source names: without one it
// shows "the description cannot be found".
TEST(ServiceWindowsTest, EveryEntryOfTheEventLogHasItsTextInQzgsmsd) {
  HMODULE program = LoadLibraryExW(widen(QZGSMS_QZGSMSD).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(program, nullptr) << QZGSMS_QZGSMSD;
  struct Case {
    DWORD id;
    const char* words;
  };
  const Case cases[] = {{QZ_EVENT_RUNNING, "runs"},
                        {QZ_EVENT_STOPPED, "stopped in order"},
                        {QZ_EVENT_LOG_LINE, "Send failed"},
                        {QZ_EVENT_FATAL_END, "ended with exit code 1"},
                        {QZ_EVENT_NOT_STARTED, "stopped before it ran"}};
  for (const Case& c : cases) {
    DWORD_PTR strings[4];
    const wchar_t* words_in[] = {L"qzgsmsd-test", L"C:\\qzt\\test", c.id == QZ_EVENT_LOG_LINE ? L"Send failed" : L"1",
                                L"the last line"};
    for (int i = 0; i < 4; ++i) strings[i] = reinterpret_cast<DWORD_PTR>(words_in[i]);
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_ALLOCATE_BUFFER, program, c.id,
        MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), reinterpret_cast<wchar_t*>(&text),
        0, reinterpret_cast<va_list*>(strings));
    ASSERT_GT(length, 0u) << "no text for event " << (c.id & 0xFFFF);
    const std::string words = narrow(text);
    LocalFree(text);
    EXPECT_NE(words.find("qzgsmsd-test"), std::string::npos) << words;
    EXPECT_NE(words.find("C:\\qzt\\test"), std::string::npos) << words;
    EXPECT_NE(words.find(c.words), std::string::npos) << words;
  }
  FreeLibrary(program);
}

// A log line words a failure as Windows does, also one without an errno of its own.
TEST(ServiceWindowsTest, SystemErrorsAreWordedByWindows) {
  const DWORD codes[] = {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_SEM_TIMEOUT, ERROR_DEVICE_NOT_CONNECTED};
  for (DWORD code : codes) {
    const std::string words = error_text(errno_from_windows(code));
    EXPECT_EQ(words, system_words(code)) << code;
    EXPECT_FALSE(words.empty()) << code;
  }
  EXPECT_NE(error_text(ENOENT), "No such file or directory");
}

// --check opens a COM port as the gateway would; a missing one is missing, a file is none.
TEST(ServiceWindowsTest, TheCheckJudgesAComPortByOpeningIt) {
  const PortDevice missing = look_at_port_device("\\\\.\\COM249", true);
  EXPECT_EQ(missing.error, ENOENT);
  // While the instance's gateway runs the port is not opened, and so not judged.
  EXPECT_TRUE(look_at_port_device("\\\\.\\COM249", false).serial);
  const PortDevice file = look_at_port_device(QZGSMS_QZGSMSD, true);
  EXPECT_EQ(file.error, 0);
  EXPECT_FALSE(file.serial);
}

}  // namespace
}  // namespace qz
