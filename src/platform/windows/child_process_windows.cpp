#include <windows.h>

#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <string_view>

#include "core/utf8.h"
#include "process/child_process.h"
#include "process/command_line.h"
#include "process/windows_command_line.h"
#include "platform/windows/windows_text.h"

namespace qz {

namespace {

namespace fs = std::filesystem;

// The gateway's texts are ISO 8859-1 (a received SMS) or UTF-8 (settings, job texts);
// a text that is not UTF-8 is taken as ISO 8859-1, whose bytes are the first 256
// characters.
std::string as_utf8(std::string_view text) {
  if (is_utf8(text)) return std::string(text);
  std::string out;
  for (char c : text) append_utf8(out, static_cast<unsigned char>(c));
  return out;
}

std::string system_message(DWORD code) {
  wchar_t* buffer = nullptr;
  DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer != nullptr ? buffer : L"", n);
  if (buffer != nullptr) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
    text.pop_back();
  return text.empty() ? "system error " + std::to_string(code) : narrow(text);
}

bool is_file(const fs::path& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The file to start for `name`: a name with a folder part is a path (relative ones from
// the instance folder); a bare name is looked for in the instance folder, then in each
// PATH entry. A name without an extension is tried with those the system starts.
int resolve(const std::string& name, const fs::path& folder, std::string* found) {
  if (name.empty()) return ENOENT;
  const fs::path given(widen(name));
  std::vector<fs::path> candidates;
  if (name.find_first_of("\\/:") != std::string::npos) {
    candidates.push_back(given.is_absolute() || folder.empty() ? given : folder / given);
  } else {
    candidates.push_back(folder.empty() ? given : folder / given);
    if (const wchar_t* env = ::_wgetenv(L"PATH")) {
      std::wstring_view rest(env);
      while (!rest.empty()) {
        std::size_t semicolon = rest.find(L';');
        std::wstring_view dir = rest.substr(0, semicolon);
        rest = semicolon == std::wstring_view::npos ? std::wstring_view() : rest.substr(semicolon + 1);
        if (!dir.empty()) candidates.push_back(fs::path(dir) / given);
      }
    }
  }
  const bool has_extension = given.has_extension();
  for (const fs::path& candidate : candidates) {
    if (is_file(candidate)) {
      *found = narrow(candidate.native());
      return 0;
    }
    if (has_extension) continue;
    for (const wchar_t* ext : {L".com", L".exe", L".bat", L".cmd"}) {
      fs::path with_ext = candidate;
      with_ext += ext;
      if (is_file(with_ext)) {
        *found = narrow(with_ext.native());
        return 0;
      }
    }
  }
  return ENOENT;
}

fs::path absolute_folder(fs::path folder) {
  if (folder.empty()) return folder;
  std::error_code ec;
  auto abs = fs::absolute(folder, ec);
  return ec ? folder : abs;
}

fs::path command_interpreter() {
  wchar_t system[MAX_PATH];
  UINT n = ::GetSystemDirectoryW(system, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return L"cmd.exe";
  return fs::path(std::wstring(system, n)) / L"cmd.exe";
}

}  // namespace

void reap_detached_children() {
  // A closed process handle is all Windows needs: nothing is left to collect.
}

int find_command(const std::string& name, const fs::path& instance_folder, std::string* found) {
  return resolve(name, instance_folder, found);
}

ChildProcess::ChildProcess(std::vector<std::string> argv, fs::path instance_folder)
    : argv_(std::move(argv)), instance_folder_(absolute_folder(std::move(instance_folder))) {
  command_line_ = describe(argv_);
}

ChildProcess::ChildProcess(std::vector<std::string> argv, std::string command_line,
                           fs::path instance_folder)
    : argv_(std::move(argv)),
      command_line_(std::move(command_line)),
      instance_folder_(absolute_folder(std::move(instance_folder))) {}

ChildProcess::~ChildProcess() {
  if (!argv_.empty() && is_running()) stop();
}

bool ChildProcess::start(bool minimised, bool new_console) {
  error_.clear();
  if (argv_.empty()) {
    error_ = "no command";
    return false;
  }
  if (is_running()) {
    error_ = "already running";
    return false;
  }
  std::vector<std::string> args;
  for (const std::string& arg : argv_) {
    // A command line is a C string; a NUL would silently cut it.
    if (arg.find('\0') != std::string::npos) {
      error_ = "an argument holds a NUL byte";
      return false;
    }
    args.push_back(as_utf8(arg));
  }
  std::string file;
  if (int err = resolve(args[0], instance_folder_, &file); err != 0) {
    error_ = std::strerror(err);
    return false;
  }
  args.erase(args.begin());

  // A batch file is started through cmd.exe explicitly rather than by the system's own
  // hand-off, which passes the arguments on with no guard against cmd.exe's parsing.
  fs::path application;
  std::string line;
  if (is_batch_file(file)) {
    application = command_interpreter();
    line = script_command_line(file, args);
  } else {
    application = fs::path(widen(file));
    args.insert(args.begin(), file);
    line = program_command_line(args);
  }
  std::wstring wide_line = widen(line);
  std::wstring title = widen(as_utf8(command_line_));

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.lpTitle = title.data();
  if (minimised) {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINNOACTIVE;
  }
  DWORD flags = CREATE_NEW_PROCESS_GROUP;
  if (new_console) flags |= CREATE_NEW_CONSOLE;
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(application.c_str(), wide_line.data(), nullptr, nullptr, FALSE, flags,
                        nullptr, instance_folder_.empty() ? nullptr : instance_folder_.c_str(),
                        &startup, &info)) {
    error_ = system_message(::GetLastError());
    return false;
  }
  // The thread handle is never used; the process handle is all that is kept.
  ::CloseHandle(info.hThread);
  pid_ = static_cast<long>(info.dwProcessId);
  process_ = info.hProcess;
  exit_code_ = 0;
  return true;
}

void ChildProcess::detach() {
  if (process_ != nullptr) ::CloseHandle(static_cast<HANDLE>(process_));
  process_ = nullptr;
  pid_ = 0;
  exit_code_ = 0;
}

void ChildProcess::collect(int status) {
  exit_code_ = static_cast<std::uint32_t>(status);
  ::CloseHandle(static_cast<HANDLE>(process_));
  process_ = nullptr;
  pid_ = 0;
}

bool ChildProcess::is_running() {
  if (argv_.empty() || process_ == nullptr) return false;
  DWORD code = 0;
  if (!::GetExitCodeProcess(static_cast<HANDLE>(process_), &code)) {
    collect(0);
    return false;
  }
  // STILL_ACTIVE is also a possible exit code; the handle being signalled tells them apart.
  if (code == STILL_ACTIVE && ::WaitForSingleObject(static_cast<HANDLE>(process_), 0) == WAIT_TIMEOUT)
    return true;
  collect(static_cast<int>(code));
  return false;
}

void ChildProcess::stop() {
  if (!is_running()) return;
  ::TerminateProcess(static_cast<HANDLE>(process_), 0);
  ::WaitForSingleObject(static_cast<HANDLE>(process_), 500);
  collect(0);
}

}  // namespace qz
