#pragma once
// The command line of vexaro-list.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/listing_options.h"

namespace vexaro::cli {

inline constexpr std::string_view kProgramName = "vexaro-list";

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitTrouble = 1;  // something could not be read or written
inline constexpr int kExitUsage = 2;    // wrong command line
// Stopped by a signal: 128 + its number, as a shell reports a process that
// the signal ended (130 for Ctrl-C, 143 for SIGTERM).
inline constexpr int kExitSignalBase = 128;
inline constexpr int kExitInterrupted = kExitSignalBase + 2;  // Ctrl-C
// The reader of standard output went away (a closed pipe): SIGPIPE's status,
// on Windows too. On POSIX the program ends by that signal.
inline constexpr int kExitBrokenPipe = kExitSignalBase + 13;

struct Options {
  // The six boxes and the line form, as the window starts: all ticked, TXT.
  engine::ListingOptions listing;
  bool crlf = false;
  bool quiet = false;
  unsigned threads = 0;               // -j: folder-reading threads; 0 follows the cores, 1 none
  std::optional<std::string> output;  // standard output when empty
  std::vector<std::string> folders;   // as given, in order
};

// The help text.
std::string Usage();

// "vexaro-list 1.0.0", then the copyright and licence lines; ends with a
// line feed.
std::string VersionText();

// Where the parser's words go: help and version to standard output, errors
// to standard error.
struct ParseOutput {
  std::string out;
  std::string err;
};

// Reads the arguments (without the program name) into `options`. Returns
// nullopt when the program is to go on and list, or the exit status when it
// is done: after --help or --version (0), or after a usage error (2, with a
// message and a hint in `output.err`).
std::optional<int> ParseOptions(std::span<const std::string> args, Options& options, ParseOutput& output);

}  // namespace vexaro::cli
