#include "support/line_reader.h"

#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>

namespace qz::test {

using Steady = std::chrono::steady_clock;

std::string LineReader::read_until(std::string_view end, std::chrono::milliseconds timeout) {
  auto deadline = Steady::now() + timeout;
  std::size_t searched = 0;
  for (;;) {
    std::size_t at = buffer_.find(end, searched);
    if (at != std::string::npos) return take(at + end.size());
    searched = buffer_.size() < end.size() ? 0 : buffer_.size() - end.size() + 1;
    if (!fill(deadline)) {
      ADD_FAILURE() << "waited " << timeout.count() << " ms for \"" << end << "\" in vain";
      return take(buffer_.size());
    }
  }
}

std::string LineReader::read_lines_for(std::chrono::milliseconds quiet) {
  auto until = Steady::now() + quiet;
  while (fill(until)) {
  }
  if (buffer_.empty() || buffer_.back() == '\n') return take(buffer_.size());
  // A line is on its way: take it whole, never a piece of it.
  std::size_t last_end = buffer_.rfind('\n');
  std::size_t whole = last_end == std::string::npos ? 0 : last_end + 1;
  std::string lines = take(whole);
  return lines + read_until("\n");
}

bool LineReader::fill(Steady::time_point deadline) {
  for (;;) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Steady::now()).count();
    if (left <= 0) return false;
    pollfd pfd{fd_, POLLIN, 0};
    int ready = ::poll(&pfd, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    char chunk[1024];
    ssize_t n = ::read(fd_, chunk, sizeof chunk);
    if (n > 0) {
      buffer_.append(chunk, static_cast<std::size_t>(n));
      return true;
    }
    // Nothing after all (a non-blocking descriptor) or an interruption: wait again.
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    // End of file, or a pty whose other side is closed for now (EIO): wait out the
    // deadline without spinning.
    ::usleep(10000);
  }
}

std::string LineReader::take(std::size_t size) {
  std::string out = buffer_.substr(0, size);
  buffer_.erase(0, size);
  return out;
}

}  // namespace qz::test
