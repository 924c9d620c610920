// Reads what another process or thread writes into a pty or a pipe. The bytes of one reply
// come in pieces of any size (under load a pty hands over a lone "\r" and the rest a moment
// later), so a test only ever takes whole pieces: everything up to an expected end, or whole
// lines. Nothing is cut off at an arbitrary moment, so what one read leaves behind cannot
// shift what the next one sees.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace qz::test {

class LineReader {
 public:
  // Long enough for a loaded machine; a reader that gets what it waits for returns at once.
  static constexpr std::chrono::milliseconds kPatience = std::chrono::seconds(20);

  explicit LineReader(int fd) : fd_(fd) {}

  // Everything up to and including the first `end` (a line end, or a prompt such as "> ").
  // Should it not come within `timeout`, a test failure says so and everything that came
  // is returned, for the test's own comparison to show.
  std::string read_until(std::string_view end, std::chrono::milliseconds timeout = kPatience);

  // The whole lines (each ending in "\n") that come within `quiet`, for tests that expect
  // silence or only what a moment brings. A line begun within it is waited for to its end.
  std::string read_lines_for(std::chrono::milliseconds quiet);

 private:
  // Appends what the descriptor has, waiting until `deadline`; false when nothing came.
  bool fill(std::chrono::steady_clock::time_point deadline);
  std::string take(std::size_t size);

  int fd_;
  std::string buffer_;
};

}  // namespace qz::test
