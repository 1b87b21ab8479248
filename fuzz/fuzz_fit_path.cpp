// The path-ellipsis fitter (by terminal columns and by characters) and the progress line: what fits
// is kept, the rest fits and keeps a beginning and a later piece cut between characters, no controls.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "cli/column_width.h"
#include "cli/progress.h"
#include "platform/text_fit.h"
#include "platform/utf8.h"
#include "tests/support/fake_facilities.h"

namespace {

namespace utf8 = vexaro::platform::utf8;

void Check(bool ok, const char* what, std::string_view text) {
  if (ok) return;
  std::fprintf(stderr, "property broken: %s (%zu bytes)\n", what, text.size());
  std::abort();
}

bool StartsCharacter(std::string_view text, std::size_t at) {
  return at == 0 || at >= text.size() || !utf8::IsContinuation(text[at]);
}

// `fitted` is a beginning of the text, "...", and a later piece of it, both cut between characters.
bool KeepsEnds(std::string_view text, std::string_view fitted) {
  for (std::size_t dots = fitted.find("..."); dots != std::string_view::npos; dots = fitted.find("...", dots + 1)) {
    const std::string_view head = fitted.substr(0, dots), tail = fitted.substr(dots + 3);
    if (!text.starts_with(head) || !StartsCharacter(text, head.size())) continue;
    for (std::size_t at = text.find(tail, head.size()); at != std::string_view::npos; at = text.find(tail, at + 1)) {
      if (StartsCharacter(text, at) && StartsCharacter(text, at + tail.size())) return true;
    }
  }
  return false;
}

// Whole valid characters only, none of them a C0 or C1 control.
bool IsCleanUtf8(std::string_view s) {
  for (std::size_t at = 0; at < s.size();) {
    const utf8::Scalar c = utf8::Decode(s, at);
    if (!c.valid || c.value < 0x20 || (c.value >= 0x7F && c.value <= 0x9F)) return false;
    at += c.length;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int maxWidth = static_cast<int>(data[0]) - 8;  // -8..247, below the ellipsis too
  const char separator = (data[1] & 1) ? '/' : '\\';
  const std::string_view text(reinterpret_cast<const char*>(data + 2), size - 2);
  const vexaro::testing::CharacterFitter characters;
  const vexaro::cli::TerminalMeasure columns;
  const vexaro::platform::TextMeasure& measure = (data[1] & 2) ? static_cast<decltype(measure)>(columns) : characters;
  const std::string fitted = vexaro::platform::FitPathEllipsis(text, maxWidth, measure, separator);
  if (measure.Width(text) <= maxWidth) {
    Check(fitted == text, "a text that fits is left alone", text);
  } else {
    Check(maxWidth < 3 || measure.Width(fitted) <= maxWidth, "the result fits", text);
    Check(KeepsEnds(text, fitted), "a beginning, \"...\" and a later piece, cut between characters", text);
  }
  // vexaro-list's progress line: within the terminal's width, nothing a terminal would act on.
  const int terminalColumns = static_cast<int>(data[0]);
  const std::string line = vexaro::cli::ProgressText("Listing Files", text, terminalColumns, separator);
  Check(vexaro::cli::TextColumns(line) <= std::max(terminalColumns - 1, 0), "the progress line fits", text);
  Check(IsCleanUtf8(line), "the progress line holds no control character and no stray byte", text);
  return 0;
}
