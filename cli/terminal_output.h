#pragma once
// The listing as a terminal may see it. A terminal acts on the control
// characters in a name (ESC or the C1 CSI starts a sequence that can move
// the cursor, recolour, retitle or worse), so before the listing reaches one
// each of them becomes '?', as do bytes that are no valid UTF-8 (a lone 0x9B
// is a CSI to a terminal in an 8-bit mode). Line ends stay. Files and pipes
// never pass through here: they keep the faithful bytes.

#include <string>
#include <string_view>
#include <system_error>

#include "cli/output.h"

namespace vexaro::cli {

// The text made safe for a terminal, line ends kept: LF, and CR where an LF
// follows it. Everything else as ForDisplay does.
std::string ForTerminal(std::string_view utf8);

// Passes the bytes written to `target` through ForTerminal. A character or a
// CR LF split between two writes is held until it is whole, so the result
// does not depend on where the writes cut the text; what is still held at
// Close is shown as broken.
class TerminalSafeOutput final : public OutputStream {
 public:
  explicit TerminalSafeOutput(OutputStream& target) : target_(target) {}

  std::error_code Write(std::string_view bytes) override;
  std::error_code Flush() override { return target_.Flush(); }
  std::error_code Close() override;
  bool IsTerminal() const override { return target_.IsTerminal(); }

 private:
  OutputStream& target_;
  std::string held_;
};

}  // namespace vexaro::cli
