#include "core/gateway_log.h"

#include <cstdio>

#include "core/clock.h"
#include "core/files.h"
#include "core/text.h"

namespace qz {

std::string one_line(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if (c >= 0x20 && c != 0x7F) {
      out.push_back(static_cast<char>(c));
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

GatewayLog::GatewayLog(std::filesystem::path instance_folder)
    : folder_(std::move(instance_folder)) {}

void GatewayLog::WriteDailyLog(std::string_view text) {
  LocalTime t = local_time(clock().now());
  char name[40];
  std::snprintf(name, sizeof name, "gsms_%04d%02d%02d.log", t.year, t.month, t.day);
  std::filesystem::path path = folder_ / "log" / name;

  char stamp[16];
  std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d ", t.hour, t.minute, t.second);
  std::string line;
  line.reserve(text.size() + 10);
  line.append(stamp).append(one_line(text)).append(text_line_end());

  // Appending makes the single write land whole at the end even with other writers.
  File file = File::open(path, {.access = OpenFor::kWrite, .create = Create::kIfMissing, .append = true,
                                .permissions = 0644, .may_wait = true});
  if (file.is_open()) file.write(line);
}

void GatewayLog::PostWindowLine(const char* prefix, std::string_view text, Color color) {
  WindowSink* sink = window();
  if (sink == nullptr) return;

  std::string line = window_stamp(local_time(clock().now())) + " ";
  if (prefix != nullptr) line.append(one_line(prefix)).push_back(' ');
  line.append(one_line(text));
  if (line.size() > kWindowLineMax) line.resize(kWindowLineMax);

  {
    std::lock_guard lock(window_log_lock_);
    int slot = 0;
    while (slot < kPendingSlots && pending_lines_[slot].has_value()) ++slot;
    if (slot == kPendingSlots) return;
    pending_lines_[slot] = std::move(line);
    pending_colors_[slot] = color;
  }
  sink->notify(kNotifyLogLine);
}

void GatewayLog::Log(std::string_view text, Color color) {
  WriteDailyLog(text);
  PostWindowLine(nullptr, text, color);
}

void GatewayLog::TraceByte(unsigned char byte) {
  std::filesystem::path path = folder_ / "qzgsms.log";
  // Never created here: no file, no tracing.
  File file = File::open(path, {.access = OpenFor::kWrite, .append = true, .may_wait = true});
  if (file.is_open()) file.write(std::string_view(reinterpret_cast<const char*>(&byte), 1));
}

void GatewayLog::register_window(WindowSink* sink) {
  window_.store(sink, std::memory_order_release);
}

std::optional<GatewayLog::PendingLine> GatewayLog::take_pending_line() {
  std::lock_guard lock(window_log_lock_);
  for (int slot = 0; slot < kPendingSlots; ++slot) {
    if (pending_lines_[slot].has_value()) {
      PendingLine line{std::move(*pending_lines_[slot]), pending_colors_[slot]};
      pending_lines_[slot].reset();
      return line;
    }
  }
  return std::nullopt;
}

void GatewayLog::notify_window(int number) {
  if (WindowSink* sink = window()) sink->notify(number);
}

}  // namespace qz
