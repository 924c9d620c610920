#include "support/instance_harness.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <iostream>

#include "core/process_end.h"
#include "core/profile_file.h"
#include "modem/modem_startup.h"
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

InstanceHarness::InstanceHarness(double speedup) : fast_clock(speedup) {
  std::filesystem::create_directory(folder / "log");
  settings_ = {{"Port", modem.slave_path()}, {"WatchPath", "jobs"}, {"DonePath", "done"},
               {"ErrorPath", "error"},       {"WatchLogPath", "tables"}};
  std::filesystem::create_directory(folder / "tables");
  set_process_end_handler([this](int code) { exit_code_.store(code); });
}

InstanceHarness::~InstanceHarness() {
  // What the gateway said is the first thing one wants to see of a failed test.
  if (::testing::Test::HasFailure()) std::cout << "---- daily log ----\n" << daily_log();
  set_process_end_handler(nullptr);
}

void InstanceHarness::set(const std::string& key, const std::string& value) { settings_[key] = value; }

void InstanceHarness::write_settings() {
  ProfileFile ini(folder.path(), "QZGSMS.INI");
  for (const auto& [key, value] : settings_) ini.write_text("Config", key, value);
}

void InstanceHarness::install_recording_command(const std::string& name) {
  std::filesystem::path script = folder / name;
  write_file(script, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> \"" +
                         (folder / (name + ".out")).string() + "\"\n");
  ::chmod(script.c_str(), 0755);
}

std::string InstanceHarness::command_output(const std::string& name) const {
  return read_file(folder / (name + ".out"));
}

std::string InstanceHarness::daily_log() const {
  std::string all;
  std::error_code ec;
  for (auto& e : std::filesystem::directory_iterator(folder / "log", ec)) all += read_file(e.path());
  return all;
}

std::vector<std::string> InstanceHarness::window_lines() {
  std::vector<std::string> lines;
  GatewayLog* l = log();
  if (l == nullptr) return lines;
  while (auto line = l->take_pending_line()) lines.push_back(line->text);
  return lines;
}

bool InstanceHarness::wait_for_log(const std::string& text, std::chrono::milliseconds timeout) {
  return eventually([&] { return daily_log().find(text) != std::string::npos; }, timeout);
}

ModemHarness::ModemHarness(double speedup) : InstanceHarness(speedup) {}

ModemHarness::~ModemHarness() {
  // The threads end before the link and the log they use.
  workers_.reset();
  link_.reset();
}

bool ModemHarness::start(const std::vector<void (*)(ModemLink&)>& threads) {
  write_settings();
  settings_file_ = std::make_unique<SettingsFile>(folder.path());
  log_ = std::make_unique<GatewayLog>(folder.path());
  workers_ = std::make_unique<Workers>();
  link_ = std::make_unique<ModemLink>(folder.path(), *settings_file_, settings_, *log_, *workers_);
  log_->register_window(&window);
  ReadSettings(*settings_file_, settings_, folder.path(), log_.get());
  if (start_modem(*link_).outcome != ModemStart::kReady) return false;
  for (auto body : threads) workers_->start([this, body] { body(*link_); });
  return true;
}

bool ModemHarness::start_and_forget_startup(const std::vector<void (*)(ModemLink&)>& threads) {
  if (!start(threads)) return false;
  modem.clear_recording();
  window_lines();
  return true;
}

GatewayHarness::GatewayHarness(double speedup) : InstanceHarness(speedup) {}

GatewayHarness::~GatewayHarness() { gateway_.reset(); }

bool GatewayHarness::start() {
  write_settings();
  gateway_ = std::make_unique<Gateway>(folder.path());
  return init_gsms(*gateway_, &window);
}

}  // namespace qz::test
