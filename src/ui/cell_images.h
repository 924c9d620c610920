// The job-cell telephones, by the image index the job table posts: 0 grey and white (free
// slot), 1 green, 2 blue (sending), 3 yellow, 4 red, 5 orange, 6 magenta. Each front end
// keeps them as its toolkit wants (images/phone-NAME.png, .bmp).
#pragma once

namespace qz::ui {

inline constexpr int kPhoneImageCount = 7;
inline constexpr const char* kPhoneImageNames[kPhoneImageCount] = {"grey", "green",  "blue",   "yellow",
                                                                    "red",  "orange", "magenta"};

}  // namespace qz::ui
