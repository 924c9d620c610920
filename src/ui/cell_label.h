// A job cell's label: its text in at most two lines of the label's width, so that a
// sending line's alarm and subscriber both show and neighbouring labels never touch.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace qz::ui {

// Width in pixels of a UTF-8 text in the label's font.
using MeasureText = std::function<int(std::string_view)>;

// `text` when it fits in `width`; otherwise broken after the last word that fits on the
// first line (or within a word when none does), and the rest on a second line that ends
// in "…" when it does not fit either. Never cuts inside a UTF-8 character.
std::string TwoLineText(std::string_view text, int width, const MeasureText& measure);

// Some neighbouring label columns overlap by a unit. A text kept this many pixels inside
// its label (half the widest overlap, and one more) never touches its neighbour's.
// `to_pixels` turns horizontal dialog units into pixels.
int LabelMargin(const std::function<int(int)>& to_pixels);

}  // namespace qz::ui
