#include "ui/cell_label.h"

#include <algorithm>

#include "core/utf8.h"
#include "ui/main_window_layout.h"

namespace qz::ui {
namespace {

constexpr std::string_view kEllipsis = "\xE2\x80\xA6";

// The byte offset of the character before `end`.
std::size_t PreviousCharacter(std::string_view text, std::size_t end) {
  std::size_t at = end - 1;
  while (at > 0 && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
  return at;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// The longest start of `text` that fits, whole characters only.
std::size_t FittingPrefix(std::string_view text, int width, const MeasureText& measure) {
  std::size_t cut = text.size();
  while (cut > 0 && measure(text.substr(0, cut)) > width) cut = PreviousCharacter(text, cut);
  return cut;
}

}  // namespace

std::string TwoLineText(std::string_view text, int width, const MeasureText& measure) {
  if (measure(text) <= width) return std::string(text);
  std::size_t cut = FittingPrefix(text, width, measure);
  const std::size_t space = text.rfind(' ', cut);  // a blank right after the fitting part counts
  if (space != std::string_view::npos && space > 0) cut = space;
  const std::string_view rest = TrimBlanks(text.substr(cut));
  std::string second(rest);
  if (measure(rest) > width) {
    const int room = width - measure(kEllipsis);
    second = std::string(rest.substr(0, FittingPrefix(rest, room, measure))) + std::string(kEllipsis);
  }
  return std::string(text.substr(0, cut)) + '\n' + second;
}

int LabelMargin(const std::function<int(int)>& to_pixels) {
  int overlap = 0;
  for (int column = 0; column + 1 < kCellColumns; ++column) {
    const int end = to_pixels(kLabelColumns[column]) + to_pixels(kLabelWidth);
    overlap = std::max(overlap, end - to_pixels(kLabelColumns[column + 1]));
  }
  return overlap / 2 + 1;
}

}  // namespace qz::ui
