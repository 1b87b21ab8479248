#pragma once
// A buffered byte stream for the listing: standard output or a created file.

#include <memory>
#include <string_view>
#include <system_error>

namespace vexaro::cli {

class OutputStream {
 public:
  virtual ~OutputStream() = default;

  // Appends bytes. They are kept in a large buffer and passed on when it is
  // full (at once when the stream is a terminal). Returns the error of the
  // first write that failed (disk full, pipe closed by its reader, ...);
  // once one has failed, every later call returns that error and writes
  // nothing more.
  virtual std::error_code Write(std::string_view bytes) = 0;

  // Passes on what is buffered; the error as for Write.
  virtual std::error_code Flush() = 0;

  // Flushes and releases the stream (closes a file, which can report a
  // delayed write error). Writes after Close fail.
  virtual std::error_code Close() = 0;

  // Whether the bytes go to an interactive terminal.
  virtual bool IsTerminal() const = 0;
};

struct OutputResult {
  std::unique_ptr<OutputStream> stream;  // null on failure
  std::error_code error;
};

// Standard output of this process. Close does not close the descriptor.
std::unique_ptr<OutputStream> OpenStandardOutput();

// Creates the file `path` (UTF-8), or empties it when it exists. Fails when
// it cannot be created or opened for writing (no folder, no access, a folder
// of that name).
OutputResult CreateOutputFile(std::string_view path);

}  // namespace vexaro::cli
