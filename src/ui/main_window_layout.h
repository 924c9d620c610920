// Where the main window's controls sit, in dialog units (a quarter of the font's average
// character width across, an eighth of its height down), and what its notifications mean.
// Both front ends place their controls from these.
#pragma once

namespace qz::ui {

struct DialogRect {
  int x;
  int y;
  int width;
  int height;
};

inline constexpr int kJobCells = 30;
inline constexpr int kCellColumns = 6;
// The list keeps this many lines before an append.
inline constexpr int kMaxLogLines = 1000;

inline constexpr int kWindowWidth = 436;
inline constexpr int kWindowHeight = 372;
inline constexpr int kImageColumns[kCellColumns] = {37, 103, 169, 235, 303, 367};
inline constexpr int kImageRows[5] = {7, 48, 95, 138, 183};
inline constexpr int kLabelColumns[kCellColumns] = {17, 81, 147, 211, 277, 341};
inline constexpr int kLabelRows[5] = {31, 74, 119, 162, 210};
inline constexpr int kImageWidth = 21;
inline constexpr int kImageHeight = 20;
// Two lines: a sending line's alarm and subscriber both show. The second line still ends
// above the next row's images.
inline constexpr int kLabelWidth = 65;
inline constexpr int kLabelHeight = 16;
inline constexpr DialogRect kLogList{7, 228, 382, 86};
inline constexpr int kGaugeX = 405;
inline constexpr int kGaugeY = 228;
inline constexpr DialogRect kStatusLine{7, 316, 422, 8};
inline constexpr int kButtonColumns[6] = {7, 78, 148, 218, 289, 359};
inline constexpr int kButtonRow = 351;
inline constexpr int kButtonWidth = 65;
inline constexpr int kButtonHeight = 14;

// The signal gauge: levels 0 to 31, 29 until the first reading; below 12 SMS submissions
// become unreliable and the status line warns.
inline constexpr int kSignalMaximum = 31;
inline constexpr int kSignalAtStart = 29;
inline constexpr int kLowSignal = 12;

inline constexpr int kStartupTickMs = 500;
// The system-menu command of the About item.
inline constexpr int kAboutCommand = 16;

inline constexpr DialogRect ImageRect(int cell) {
  return {kImageColumns[cell % kCellColumns], kImageRows[cell / kCellColumns], kImageWidth, kImageHeight};
}
inline constexpr DialogRect LabelRect(int cell) {
  return {kLabelColumns[cell % kCellColumns], kLabelRows[cell / kCellColumns], kLabelWidth, kLabelHeight};
}

}  // namespace qz::ui
