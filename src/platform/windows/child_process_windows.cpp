// Starting commands on Windows (process/process_system.h): CreateProcessW, a batch file
// through cmd.exe with its arguments guarded.
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "core/utf8.h"
#include "platform/windows/windows_error.h"
#include "platform/windows/windows_text.h"
#include "process/child_process.h"
#include "process/process_system.h"
#include "process/windows_command_line.h"

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

bool is_file(const fs::path& path) {
  DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The file to start for `name`: a name with a folder part is a path (relative ones from
// the instance folder); a bare name is looked for in the instance folder, then in each
// PATH entry. A name without an extension is tried with those the system starts.
int resolve(const std::string& name, const fs::path& folder, std::string* found) {
  if (name.empty()) return ENOENT;
  const fs::path given(widen(as_utf8(name)));
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

namespace process_system {

namespace {

HANDLE handle_of(Handle process) { return reinterpret_cast<HANDLE>(process); }

}  // namespace

int spawn(const std::string& file, const std::vector<std::string>& argv, const std::string& title,
          const fs::path& folder, bool minimized, bool new_console, Started& started) {
  std::vector<std::string> args;
  for (auto arg = argv.begin() + 1; arg != argv.end(); ++arg) args.push_back(as_utf8(*arg));
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
  std::wstring wide_title = widen(as_utf8(title));

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.lpTitle = wide_title.data();
  if (minimized) {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWMINNOACTIVE;
  }
  DWORD flags = CREATE_NEW_PROCESS_GROUP;
  if (new_console) flags |= CREATE_NEW_CONSOLE;
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(application.c_str(), wide_line.data(), nullptr, nullptr, FALSE, flags, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    return errno_from_windows(::GetLastError());
  }
  // The thread handle is never used; the process handle is all that is kept.
  ::CloseHandle(info.hThread);
  started.process = reinterpret_cast<Handle>(info.hProcess);
  started.pid = static_cast<long>(info.dwProcessId);
  return 0;
}

State poll(Handle process, uint32_t& exit_code) {
  DWORD code = 0;
  const bool known = ::GetExitCodeProcess(handle_of(process), &code);
  // STILL_ACTIVE is also a possible exit code; the handle being signalled tells them apart.
  if (known && code == STILL_ACTIVE && ::WaitForSingleObject(handle_of(process), 0) == WAIT_TIMEOUT) {
    return State::kRunning;
  }
  exit_code = known ? code : 0;
  ::CloseHandle(handle_of(process));
  return State::kEnded;
}

void ask_to_end(Handle process) { ::TerminateProcess(handle_of(process), 0); }

// TerminateProcess does not wait to be listened to.
void force_end(Handle) {}

void let_go(Handle process) { ::CloseHandle(handle_of(process)); }

}  // namespace process_system

}  // namespace qz
