#pragma once
// The console the tool runs in: standard error for messages and progress,
// and the user's request to stop (Ctrl-C, or a termination request).

#include <memory>
#include <optional>
#include <string_view>

namespace vexaro::cli {

class Console {
 public:
  virtual ~Console() = default;

  // Whether standard error is an interactive terminal (a console window).
  virtual bool IsTerminal() const = 0;

  // Width of that terminal in character columns, asked afresh on every call
  // so that a resized window is followed; nullopt when it is no terminal or
  // its width cannot be had.
  virtual std::optional<int> Columns() const = 0;

  // Writes UTF-8 text to standard error, unbuffered. The text may carry "\r"
  // and the erase-to-end-of-line sequence "\x1b[K" (terminals only). Failures
  // are dropped: there is nowhere left to report them.
  virtual void Write(std::string_view utf8) = 0;

  // The signal by which the program was first asked to stop (SIGINT for
  // Ctrl-C, SIGTERM for a termination request; Windows reports its close,
  // log-off and shut-down events as SIGTERM), or 0 while none was. Once set
  // it stays.
  virtual int StopSignal() const = 0;

  bool Interrupted() const { return StopSignal() != 0; }
};

// Opens the null device onto standard input, output or error where one is
// closed, so that the next file the program opens cannot take its number
// and receive messages meant for the console. Call it first. On Windows the
// same for a standard handle whose value names no open handle; one that is
// simply absent is left so. Returns whether standard output was one of
// them: a listing for it would go nowhere.
bool OpenMissingStandardStreams();

// The console of this process. While the object lives, a stop request sets
// the interrupt flag instead of ending the process at once; a second request
// ends it as usual. A write to a closed pipe gives an error instead of ending
// the process. Only one may exist at a time.
std::unique_ptr<Console> OpenConsole();

}  // namespace vexaro::cli
