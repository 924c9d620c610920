// Checks of what the operator typed, shared by the dialogs of both front ends: whole
// numbers, lengths, and the prompts that keep a dialog open on the field to correct.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qz::ui {

enum class NumberKind { kInteger, kUnsigned };

// A whole number as a number field holds it: blanks around it, an optional sign (only for
// kInteger), then decimal digits and nothing else. Holds the value when it is such a number
// within [min, max]; otherwise holds nothing and `prompt` says why.
std::optional<int64_t> ReadNumberField(std::string_view text, NumberKind kind, int64_t min,
                                       int64_t max, std::string* prompt);

// The prompt for a text longer than `max_characters`.
std::string TooLongPrompt(int max_characters);

// The value of a text that starts with a number, read as the settings file reads one:
// blanks, an optional sign, the leading digits (wrapping to 32 bits); no digits give 0.
int32_t LeadingInteger(std::string_view text);

// Characters of a UTF-8 text as the gateway counts them: one per character, a byte that
// starts no character counting as one.
std::size_t CharacterCount(std::string_view utf8);

}  // namespace qz::ui
