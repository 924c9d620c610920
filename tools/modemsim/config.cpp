#include "modemsim/config.h"

#include <utility>

namespace qz::sim {
namespace {

CommandRule make(std::string command, CommandRule::Action action, int times) {
  CommandRule rule;
  rule.command = std::move(command);
  rule.action = action;
  rule.times = times;
  return rule;
}

}  // namespace

CommandRule CommandRule::error(std::string command, int times) {
  return make(std::move(command), Action::Error, times);
}

CommandRule CommandRule::cme_error(std::string command, int code, int times) {
  CommandRule rule = make(std::move(command), Action::CmeError, times);
  rule.code = code;
  return rule;
}

CommandRule CommandRule::cms_error(std::string command, int code, int times) {
  CommandRule rule = make(std::move(command), Action::CmsError, times);
  rule.code = code;
  return rule;
}

CommandRule CommandRule::replace(std::string command, std::string reply, int times) {
  CommandRule rule = make(std::move(command), Action::Replace, times);
  rule.reply = std::move(reply);
  return rule;
}

CommandRule CommandRule::drop(std::string command, int times) {
  return make(std::move(command), Action::Drop, times);
}

CommandRule CommandRule::ignore(std::string command, int times) {
  return make(std::move(command), Action::Ignore, times);
}

CommandRule CommandRule::delayed(std::string command, Millis delay, int times) {
  CommandRule rule = make(std::move(command), Action::Answer, times);
  rule.delay = delay;
  return rule;
}

CommandRule CommandRule::noise_before(std::string command, std::string bytes, int times) {
  CommandRule rule = make(std::move(command), Action::Answer, times);
  rule.before = std::move(bytes);
  return rule;
}

}  // namespace qz::sim
