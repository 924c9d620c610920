// Hostile texts, as a received SMS may carry them, handed to a real batch file through
// the real cmd.exe: none may run a command of its own, and each arrives as one argument.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "process/child_process.h"
#include "process/windows_command_line.h"
#include "support/temp_folder.h"

namespace qz {
namespace {

// Wine's cmd.exe expands `%NAME%` once more inside the text a batch parameter brings
// (Windows does not), so there a text with `%` in it arrives expanded; it still cannot
// start a command.
bool under_wine() {
  return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

std::string utf8_of(const std::wstring& text) {
  int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
  return out;
}

// cmd.exe writes a redirected echo in a code page of its own choosing (UTF-8 after
// chcp 65001 on Windows, the ANSI code page under Wine, which ignores chcp).
std::string as_utf8(const std::string& bytes) {
  int n = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                static_cast<int>(bytes.size()), nullptr, 0);
  if (n > 0 || bytes.empty()) return bytes;
  n = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
  return utf8_of(wide);
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(as_utf8(line));
      line.clear();
    } else if (c != '\r') {
      line += c;
    }
  }
  return lines;
}

struct HostileText {
  const char* text;
  const char* arrived;  // %1 and %2 as the batch file writes them
  bool has_percent;
};

// Each text that tries a command tries to make the file "pwned".
const HostileText kHostileTexts[] = {
    {"Alarm off", R"("Alarm off" [])", false},
    {"a&echo x>pwned&b", R"("a&echo x>pwned&b" [])", false},
    {R"("&echo x>pwned&")", R"("""&echo x>pwned&""" [])", false},
    {"|echo x>pwned", R"("|echo x>pwned" [])", false},
    {R"(^"&echo x>pwned)", R"("^""&echo x>pwned" [])", false},
    {")&echo x>pwned&(", R"(")&echo x>pwned&(" [])", false},
    {"<nul >pwned", R"("<nul >pwned" [])", false},
    {R"(\"&echo x>pwned&\)", R"("\""&echo x>pwned&\" [])", false},
    {R"(tail\)", R"("tail\" [])", false},
    {R"(a"b c)", R"("a""b c" [])", false},
    {"!PATH!^", R"("!PATH!^" [])", false},
    {"one\rtwo\r\necho x>pwned\n", R"("one two echo x>pwned " [])", false},
    {"%PATH%", R"("%PATH%" [])", true},
    {"100% sure %", R"("100% sure %" [])", true},
    {"%CMDCMDLINE:~-1%&echo x>pwned&rem %CMDCMDLINE:~-1%",
     R"("%CMDCMDLINE:~-1%&echo x>pwned&rem %CMDCMDLINE:~-1%" [])", true},
    {"Gr\xC3\xBC\xC3\x9F"
     "e \xE2\x82\xAC",
     "\"Gr\xC3\xBC\xC3\x9F"
     "e \xE2\x82\xAC\" []",
     false},
    // ISO 8859-1, as a converted SMS text is: "été".
    {"\xE9t\xE9", "\"\xC3\xA9t\xC3\xA9\" []", false},
};

TEST(WindowsChildProcess, HostileTextReachesBatchFileAsOneArgumentAndRunsNothing) {
  test::TempFolder folder;
  test::write_file(folder / "incoming_sms.bat",
                   "@echo off\r\n"
                   "chcp 65001 >nul\r\n"
                   ">>\"%~dp0args.txt\" echo %1 [%2]\r\n");
  for (const HostileText& hostile : kHostileTexts) {
    ChildProcess command({"incoming_sms.bat", hostile.text}, folder.path());
    ASSERT_TRUE(command.start(true, true)) << error_line(command.error());
    while (command.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }

  EXPECT_FALSE(std::filesystem::exists(folder / "pwned"));
  const std::vector<std::string> lines = lines_of(test::read_file(folder / "args.txt"));
  ASSERT_EQ(lines.size(), std::size(kHostileTexts));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (kHostileTexts[i].has_percent && under_wine()) continue;
    EXPECT_EQ(lines[i], kHostileTexts[i].arrived) << kHostileTexts[i].text;
  }
}

// The shipped command as a burst of received messages starts it: all at once, none waited
// for. cmd.exe opens a file it appends to for itself alone; each message must still be
// recorded, once.
TEST(WindowsChildProcess, TheShippedIncomingCommandRecordsEveryMessageOfABurst) {
  constexpr int kMessages = 13;
  test::TempFolder folder;
  std::filesystem::copy_file(std::filesystem::path(QZGSMS_SOURCE_DIR) / "examples" / "windows" / "incoming_sms.bat",
                             folder / "incoming_sms.bat");
  std::vector<std::unique_ptr<ChildProcess>> commands;
  for (int i = 1; i <= kMessages; ++i) {
    commands.push_back(std::make_unique<ChildProcess>(
        std::vector<std::string>{"incoming_sms.bat", "\"+4179555" + std::to_string(1000 + i) + "\"", "ACK " + std::to_string(i)},
        folder.path()));
    ASSERT_TRUE(commands.back()->start(true, true)) << error_line(commands.back()->error());
  }
  for (auto& command : commands) {
    while (command->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(command->exit_code(), 0u);
  }

  std::vector<int> times(kMessages + 1, 0);
  for (const std::string& line : lines_of(test::read_file(folder / "received-sms.txt"))) {
    const std::size_t at = line.find("\"ACK ");
    ASSERT_NE(at, std::string::npos) << line;
    ++times[std::stoi(line.substr(at + 5))];
  }
  for (int i = 1; i <= kMessages; ++i) EXPECT_EQ(times[i], 1) << "message " << i;
}

// A program splits its line itself, with CommandLineToArgvW's rules.
TEST(WindowsChildProcess, ProgramReadsEveryHostileTextBack) {
  std::vector<std::string> argv = {R"(C:\qzt\my dir\alarm.exe)"};
  for (const HostileText& hostile : kHostileTexts) argv.push_back(hostile.text);
  argv.push_back("");
  argv.push_back(R"(ends in \\)");

  const std::string line = program_command_line(argv);
  int n = ::MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), wide.data(), n);
  int count = 0;
  wchar_t** words = ::CommandLineToArgvW(wide.c_str(), &count);
  ASSERT_NE(words, nullptr);
  std::vector<std::string> read_back;
  for (int i = 0; i < count; ++i) read_back.push_back(utf8_of(words[i]));
  ::LocalFree(words);
  // The ISO 8859-1 text is the one word not already UTF-8; the rest must come back as given.
  ASSERT_EQ(read_back.size(), argv.size());
  for (std::size_t i = 0; i < argv.size(); ++i) {
    if (argv[i] == "\xE9t\xE9") continue;
    EXPECT_EQ(read_back[i], argv[i]) << i;
  }
}

}  // namespace
}  // namespace qz
