#pragma once
// The buffering and error keeping that every OutputStream shares; an
// implementation supplies only the raw write and the release of its handle.

#include <cstddef>
#include <string>
#include <string_view>
#include <system_error>

#include "cli/output.h"

namespace vexaro::cli {

class BufferedOutput : public OutputStream {
 public:
  std::error_code Write(std::string_view bytes) final;
  std::error_code Flush() final;
  std::error_code Close() final;
  bool IsTerminal() const final { return terminal_; }

 protected:
  // A terminal is passed every whole character at once; anything else is
  // written a large buffer at a time.
  explicit BufferedOutput(bool terminal);

  // Writes all of `bytes` or returns why it could not.
  virtual std::error_code WriteThrough(std::string_view bytes) = 0;
  // Closes the handle if the stream owns it.
  virtual std::error_code ReleaseHandle() = 0;

 private:
  std::error_code Send(std::string_view bytes);

  bool terminal_;
  bool closed_ = false;
  std::error_code closeResult_;
  std::error_code error_;  // the first failure; every later call returns it
  std::string buffer_;
};

// Length of the longest beginning of `bytes` that does not end inside a UTF-8
// sequence, so that a character split between two writes reaches a terminal
// whole.
std::size_t CompleteUtf8Length(std::string_view bytes);

}  // namespace vexaro::cli
