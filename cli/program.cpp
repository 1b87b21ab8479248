#include <optional>
#include <system_error>

#include "cli/column_width.h"
#include "cli/run.h"
#include "platform/absolute_path.h"

namespace vexaro::cli {
namespace {

std::error_code ClosedError() { return std::make_error_code(std::errc::bad_file_descriptor); }

}  // namespace

int Main(std::span<const std::string> args) {
  const bool outputClosed = OpenMissingStandardStreams();
  // First, so that Ctrl-C and closed pipes are handled from here on.
  const std::unique_ptr<Console> console = OpenConsole();
  auto say = [&](std::string_view message) {
    console->Write(std::string(kProgramName).append(": ").append(message).append("\n"));
  };

  Options options;
  ParseOutput words;
  if (const std::optional<int> done = ParseOptions(args, options, words)) {
    console->Write(words.err);
    if (words.out.empty()) return *done;
    if (outputClosed) {
      say("cannot write to standard output: " + ClosedError().message());
      return kExitTrouble;
    }
    const auto out = OpenStandardOutput();
    out->Write(words.out);
    if (const std::error_code error = out->Close()) {
      if (error == std::errc::broken_pipe) return kExitBrokenPipe;  // --help | head -3
      say("cannot write to standard output: " + error.message());
      return kExitTrouble;
    }
    return *done;
  }

  const std::unique_ptr<platform::System> system = platform::MakeHostSystem();
  const char separator = system->conventions().separator;
  std::optional<std::string> current;
  for (std::string& folder : options.folders) {
    if (!current && !platform::IsAbsolutePath(folder, separator)) {
      platform::CurrentFolderResult result = platform::CurrentFolder();
      if (result.error) {
        say("cannot find the current folder for '" + ForDisplay(folder) + "': " + result.error.message());
        return kExitTrouble;
      }
      current = std::move(result.path);
    }
    folder = platform::MakeAbsolute(folder, current.value_or(std::string()), separator, platform::IsPlainFolderOnDisk);
  }

  std::unique_ptr<OutputStream> output;
  if (options.output) {
    OutputResult created = CreateOutputFile(*options.output);
    if (!created.stream) {
      say("cannot create '" + ForDisplay(*options.output) + "': " + created.error.message());
      return kExitTrouble;
    }
    output = std::move(created.stream);
  } else if (outputClosed) {
    // What the null device took would be lost without a word.
    say("cannot write the listing to standard output: " + ClosedError().message());
    return kExitTrouble;
  } else {
    output = OpenStandardOutput();
  }
  return Run(options, *system, *output, *console);
}

}  // namespace vexaro::cli
