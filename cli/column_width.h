#pragma once
// Text as a terminal shows it: how many columns it takes, and what may be
// shown at all.

#include <string>
#include <string_view>

#include "platform/text_fit.h"

namespace vexaro::cli {

// Columns one code point takes: 0 for combining marks and format characters,
// 2 for East Asian wide and fullwidth characters, 1 for everything else,
// control characters included.
int CodePointColumns(char32_t c);

// Columns a UTF-8 text takes. A byte that starts no valid sequence counts as
// one column, as terminals show it as one replacement character.
int TextColumns(std::string_view utf8);

// The text made safe for a terminal: control characters (C0, DEL, C1) and
// bytes that are no valid UTF-8 become '?', so that a file name cannot move
// the cursor or send commands to the terminal.
std::string ForDisplay(std::string_view utf8);

// The longest beginning of `utf8` that takes at most `columns` columns; a
// character is never split, and marks that combine with the last character
// kept stay with it.
std::string_view FitColumns(std::string_view utf8, int columns);

class TerminalMeasure final : public platform::TextMeasure {
 public:
  int Width(std::string_view utf8) const override { return TextColumns(utf8); }
};

}  // namespace vexaro::cli
