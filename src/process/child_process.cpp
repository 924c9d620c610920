#include "process/child_process.h"

#include <cerrno>
#include <chrono>
#include <thread>

#include "process/command_line.h"

namespace qz {

namespace fs = std::filesystem;

namespace {

// How long a command asked to end may take before it is ended.
constexpr std::chrono::milliseconds kEndGrace(500);

// The command is started inside the folder, so a relative folder must not be applied a
// second time to a path that already contains it.
fs::path absolute_folder(fs::path folder) {
  if (folder.empty()) return folder;
  std::error_code ec;
  fs::path absolute = fs::absolute(folder, ec);
  return ec ? folder : absolute;
}

}  // namespace

ChildProcess::ChildProcess(std::vector<std::string> argv, fs::path instance_folder)
    : ChildProcess(argv, describe(argv), std::move(instance_folder)) {}

ChildProcess::ChildProcess(std::vector<std::string> argv, std::string command_line, fs::path instance_folder)
    : argv_(std::move(argv)),
      command_line_(std::move(command_line)),
      instance_folder_(absolute_folder(std::move(instance_folder))) {}

ChildProcess::~ChildProcess() {
  if (!argv_.empty() && is_running()) stop();
  reap_detached_children();
}

bool ChildProcess::fail(int code, fs::path about) {
  error_ = {code, std::move(about)};
  return false;
}

bool ChildProcess::start(bool minimized, bool new_console) {
  error_ = {};
  reap_detached_children();
  if (argv_.empty()) return fail(ENOENT);
  if (is_running()) return fail(EBUSY);
  for (const std::string& arg : argv_) {
    // An argument reaches the command as a C string; a NUL would silently cut it.
    if (arg.find('\0') != std::string::npos) return fail(EINVAL);
  }
  std::string file;
  if (int code = find_command(argv_[0], instance_folder_, &file); code != 0) {
    return fail(code, file.empty() ? argv_[0] : file);
  }
  process_system::Started started;
  if (int code = process_system::spawn(file, argv_, command_line_, instance_folder_, minimized, new_console, started);
      code != 0) {
    return fail(code, file);
  }
  process_ = started.process;
  pid_ = started.pid;
  exit_code_ = 0;
  return true;
}

void ChildProcess::forget_process() {
  process_ = process_system::kNoProcess;
  pid_ = 0;
}

void ChildProcess::detach() {
  if (process_ != process_system::kNoProcess) process_system::let_go(process_);
  forget_process();
  exit_code_ = 0;
  reap_detached_children();
}

bool ChildProcess::is_running() {
  if (argv_.empty() || process_ == process_system::kNoProcess) return false;
  uint32_t code = 0;
  switch (process_system::poll(process_, code)) {
    case process_system::State::kRunning:
      return true;
    case process_system::State::kEnded:
      exit_code_ = code;
      break;
    case process_system::State::kNotOurs:
      break;
  }
  forget_process();
  return false;
}

void ChildProcess::stop() {
  if (!is_running()) return;
  process_system::ask_to_end(process_);
  const auto deadline = std::chrono::steady_clock::now() + kEndGrace;
  while (is_running()) {
    if (std::chrono::steady_clock::now() >= deadline) {
      process_system::force_end(process_);
      // A killed process may take a moment in the kernel; it is collected later rather
      // than waited for here.
      if (is_running()) {
        process_system::let_go(process_);
        forget_process();
      }
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace qz
