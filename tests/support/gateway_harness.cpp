#include "support/gateway_harness.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <iostream>


#include "core/process_end.h"
#include "core/profile_file.h"
#include "support/eventually.h"

namespace qz::test {

void RecordingWindow::notify(int number) {
  std::lock_guard lock(mutex_);
  ++counts_[number];
}

int RecordingWindow::count(int number) const {
  std::lock_guard lock(mutex_);
  auto it = counts_.find(number);
  return it == counts_.end() ? 0 : it->second;
}

GatewayHarness::GatewayHarness(double speedup) : fast_clock(speedup) {
  std::filesystem::create_directory(folder / "log");
  settings_ = {{"Port", modem.slave_path()}, {"WatchPath", "jobs"}, {"DonePath", "done"},
               {"ErrorPath", "error"},       {"WatchLogPath", "tables"}};
  std::filesystem::create_directory(folder / "tables");
  set_process_end_handler([this](int code) { exit_code_.store(code); });
}

GatewayHarness::~GatewayHarness() {
  // What the gateway said is the first thing one wants to see of a failed test.
  if (::testing::Test::HasFailure()) std::cout << "---- daily log ----\n" << daily_log();
  gateway_.reset();
  set_process_end_handler(nullptr);
}

void GatewayHarness::set(const std::string& key, const std::string& value) { settings_[key] = value; }

void GatewayHarness::install_recording_command(const std::string& name) {
  std::filesystem::path script = folder / name;
  write_file(script, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> \"" +
                         (folder / (name + ".out")).string() + "\"\n");
  ::chmod(script.c_str(), 0755);
}

std::string GatewayHarness::command_output(const std::string& name) const {
  return read_file(folder / (name + ".out"));
}

bool GatewayHarness::start() {
  ProfileFile ini(folder.path(), "QZGSMS.INI");
  for (const auto& [key, value] : settings_) ini.write_text("Config", key, value);
  gateway_ = std::make_unique<Gateway>(folder.path());
  return init_gsms(*gateway_, &window);
}

bool GatewayHarness::start_and_forget_startup() {
  if (!start()) return false;
  modem.clear_recording();
  window_lines();
  return true;
}

std::string GatewayHarness::daily_log() const {
  std::string all;
  std::error_code ec;
  for (auto& e : std::filesystem::directory_iterator(folder / "log", ec)) all += read_file(e.path());
  return all;
}

std::vector<std::string> GatewayHarness::window_lines() {
  std::vector<std::string> lines;
  if (!gateway_) return lines;
  while (auto line = gateway_->log.take_pending_line()) lines.push_back(line->text);
  return lines;
}

bool GatewayHarness::wait_for_log(const std::string& text, std::chrono::milliseconds timeout) {
  return eventually([&] { return daily_log().find(text) != std::string::npos; }, timeout);
}

}  // namespace qz::test
