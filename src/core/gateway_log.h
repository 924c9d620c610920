// How every part of the gateway reports what it does: the daily log file, dated
// colored lines for the operator window, and the optional byte trace of the modem.
// Files are opened, appended and closed per line (or byte), so they can be read,
// moved or deleted while the gateway runs.
#pragma once

#include <array>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "core/colors.h"
#include "core/window_sink.h"

namespace qz {

// `text` with every control character (C0 codes and DEL) written out: CR, LF and TAB as
// \r, \n and \t, the others as \xNN. Log texts carry what senders, job files and the
// modem wrote; escaped, one event stays one line in the daily log, the window and
// standard output, and no text can start a line of its own (a forged entry, or a
// priority prefix "<N>" the journal would obey).
std::string one_line(std::string_view text);

class GatewayLog {
 public:
  static constexpr int kPendingSlots = 32;
  // A window line holds at most this many characters; longer ones are cut.
  static constexpr std::size_t kWindowLineMax = 255;

  // `instance_folder` holds the log/ folder and the trace file qzgsms.log.
  explicit GatewayLog(std::filesystem::path instance_folder);

  // Appends "hh:mm:ss text" to log/gsms_YYYYMMDD.log with a single write, so lines of
  // different threads never mix inside a line. Lost silently when log/ is missing.
  // Control characters in `text` are written escaped (see one_line).
  void WriteDailyLog(std::string_view text);

  // Queues "dd.mm.yyyy hh:mm:ss [prefix ]text" for the window and notifies it with 0.
  // Dropped when no window is registered or all 32 slots are waiting. Prefix and text
  // are escaped as in the daily log.
  void PostWindowLine(const char* prefix, std::string_view text, Color color);

  // The common pair: the same text to the daily log and to the window.
  void Log(std::string_view text, Color color);

  // Appends one byte to qzgsms.log when that file exists (tracing is on while it does).
  void TraceByte(unsigned char byte);

  // The front end registers itself here; until then window lines are discarded.
  void register_window(WindowSink* sink);
  WindowSink* window() const { return window_.load(std::memory_order_acquire); }

  // Window side: takes the lowest occupied slot, as the window does once per notification.
  struct PendingLine {
    std::string text;
    Color color;
  };
  std::optional<PendingLine> take_pending_line();

  // Tells a window sink that something changed (job cell, signal); nothing without one.
  void notify_window(int number);

  const std::filesystem::path& instance_folder() const { return folder_; }

 private:
  std::filesystem::path folder_;
  std::atomic<WindowSink*> window_{nullptr};
  std::mutex window_log_lock_;  // guards the pending-line table
  std::array<std::optional<std::string>, kPendingSlots> pending_lines_;
  std::array<Color, kPendingSlots> pending_colors_{};
};

}  // namespace qz
