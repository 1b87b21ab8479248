#pragma once
// The system clipboard, plain text only.

#include <string_view>
#include <system_error>

namespace vexaro::platform {

class Clipboard {
 public:
  virtual ~Clipboard() = default;
  // Empties the clipboard of all formats.
  virtual std::error_code Clear() = 0;
  // Replaces the clipboard's content with `text` (UTF-8, the platform's line
  // ends already in it) as plain text. Fails when the clipboard cannot be
  // had, for example while another program holds it.
  virtual std::error_code SetText(std::string_view text) = 0;
};

}  // namespace vexaro::platform
