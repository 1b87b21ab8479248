#include "cli/terminal_output.h"

#include "cli/column_width.h"
#include "cli/buffered_output.h"

namespace vexaro::cli {

std::string ForTerminal(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  while (!utf8.empty()) {
    const std::size_t end = utf8.find('\n');
    if (end == std::string_view::npos) {
      out += ForDisplay(utf8);
      break;
    }
    const bool crlf = end > 0 && utf8[end - 1] == '\r';
    out += ForDisplay(utf8.substr(0, crlf ? end - 1 : end));
    out.append(crlf ? "\r\n" : "\n");
    utf8.remove_prefix(end + 1);
  }
  return out;
}

std::error_code TerminalSafeOutput::Write(std::string_view bytes) {
  held_.append(bytes);
  std::size_t whole = CompleteUtf8Length(held_);
  if (whole > 0 && held_[whole - 1] == '\r') --whole;  // its LF may come next
  const std::error_code error = target_.Write(ForTerminal(std::string_view(held_).substr(0, whole)));
  held_.erase(0, whole);
  return error;
}

std::error_code TerminalSafeOutput::Close() {
  if (!held_.empty()) {
    (void)target_.Write(ForTerminal(held_));
    held_.clear();
  }
  return target_.Close();
}

}  // namespace vexaro::cli
