#include "cli/options.h"

#include <array>

#include "generated/about.h"

namespace vexaro::cli {
namespace {

// A switch that unticks one box.
struct BoxOption {
  std::string_view name;
  bool engine::ListingOptions::*box;
};

constexpr std::array<BoxOption, 6> kBoxOptions{{
    {"--no-volume", &engine::ListingOptions::CheckVolume},
    {"--no-free", &engine::ListingOptions::CheckFree},
    {"--no-size", &engine::ListingOptions::CheckSize},
    {"--no-byte", &engine::ListingOptions::CheckByte},
    {"--no-date", &engine::ListingOptions::CheckDate},
    {"--no-path", &engine::ListingOptions::CheckPath},
}};

int UsageError(ParseOutput& output, std::string_view message) {
  output.err.append(kProgramName).append(": ").append(message).append("\n");
  output.err.append("Try '").append(kProgramName).append(" --help' for more information.\n");
  return kExitUsage;
}

}  // namespace

std::string Usage() {
  return R"(Usage: vexaro-list [options] FOLDER...
Lists every file below each FOLDER, in the order given: a header block per
folder, then one line per file, sorted.

Options:
  --csv, --txt       line form: comma-separated or plain (default --txt;
                     the last one given counts)
  --no-volume        no volume label column in CSV lines
  --no-free          no free and total disk space lines in the header
  --no-size          no size column
  --no-byte          size with a unit (KB, MB, GB) instead of the byte count
  --no-date          no creation date column
  --no-path          no starting path line in the header
  --crlf             end lines with CR LF (always so on Windows)
  -o, --output FILE  write the listing to FILE instead of standard output
  -j, --jobs N       read folders with N threads (1: no extra threads; default:
                     one per core, at least 2, and up to 8 while the disk keeps
                     them waiting); the output is the same
  -q, --quiet        show no progress
  -h, --help         show this help and exit
      --version      show the version and exit

Exit status: 0 when everything was listed, 1 when a folder or file could not
be read or the listing could not be written, 2 for a wrong command line,
130 when interrupted by Ctrl-C, 143 when ended by SIGTERM, 141 when the
program reading standard output went away (SIGPIPE; no message).
)";
}

std::string VersionText() {
  return std::string(kProgramName).append(" ").append(kVersion).append("\n").append(kCopyrightAndLicence);
}

std::optional<int> ParseOptions(std::span<const std::string> args, Options& options, ParseOutput& output) {
  bool onlyFolders = false;  // after "--"
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string_view arg = args[i];
    if (onlyFolders || arg.size() < 2 || arg[0] != '-') {
      if (arg.empty()) return UsageError(output, "a folder name is empty");
      options.folders.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      onlyFolders = true;
      continue;
    }

    // The value of -o/--output: glued on (-oFILE, --output=FILE) or the next
    // argument.
    auto takeOutput = [&](std::string_view glued, bool hasGlued, std::string_view spelled) -> std::optional<int> {
      std::string_view value = glued;
      if (!hasGlued) {
        if (i + 1 >= args.size()) {
          return UsageError(output, "option '" + std::string(spelled) + "' needs a file name");
        }
        value = args[++i];
      }
      if (value.empty()) return UsageError(output, "option '" + std::string(spelled) + "' needs a file name");
      options.output = std::string(value);
      return std::nullopt;
    };

    // The value of -j/--jobs: a count from 1 to 64.
    auto takeJobs = [&](std::string_view glued, bool hasGlued, std::string_view spelled) -> std::optional<int> {
      std::string_view value = glued;
      if (!hasGlued) {
        if (i + 1 >= args.size()) return UsageError(output, "option '" + std::string(spelled) + "' needs a number");
        value = args[++i];
      }
      unsigned count = 0;
      const bool digits =
          !value.empty() && value.size() <= 2 && value.find_first_not_of("0123456789") == std::string_view::npos;
      if (digits) {
        for (char c : value) count = count * 10 + static_cast<unsigned>(c - '0');
      }
      if (!digits || count < 1 || count > 64) {
        return UsageError(output, "option '" + std::string(spelled) + "' needs a number from 1 to 64");
      }
      options.threads = count;
      return std::nullopt;
    };

    if (arg.starts_with("--")) {
      const std::size_t equals = arg.find('=');
      const std::string_view name = arg.substr(0, equals);
      const bool hasValue = equals != std::string_view::npos;
      if (name == "--output") {
        if (auto done = takeOutput(hasValue ? arg.substr(equals + 1) : std::string_view{}, hasValue, name)) {
          return done;
        }
        continue;
      }
      if (name == "--jobs") {
        if (auto done = takeJobs(hasValue ? arg.substr(equals + 1) : std::string_view{}, hasValue, name)) {
          return done;
        }
        continue;
      }
      if (hasValue) return UsageError(output, "option '" + std::string(name) + "' takes no value");
      if (name == "--help") {
        output.out = Usage();
        return kExitOk;
      }
      if (name == "--version") {
        output.out = VersionText();
        return kExitOk;
      }
      if (name == "--csv" || name == "--txt") {
        options.listing.OptionCSV = name == "--csv";
      } else if (name == "--crlf") {
        options.crlf = true;
      } else if (name == "--quiet") {
        options.quiet = true;
      } else {
        bool known = false;
        for (const BoxOption& box : kBoxOptions) {
          if (name == box.name) {
            options.listing.*box.box = false;
            known = true;
          }
        }
        if (!known) return UsageError(output, "unknown option '" + std::string(name) + "'");
      }
      continue;
    }

    // Short options, which may be bundled: -qo FILE.
    for (std::size_t k = 1; k < arg.size(); ++k) {
      const char flag = arg[k];
      if (flag == 'h') {
        output.out = Usage();
        return kExitOk;
      }
      if (flag == 'q') {
        options.quiet = true;
      } else if (flag == 'o') {
        if (auto done = takeOutput(arg.substr(k + 1), k + 1 < arg.size(), "-o")) return done;
        break;
      } else if (flag == 'j') {
        if (auto done = takeJobs(arg.substr(k + 1), k + 1 < arg.size(), "-j")) return done;
        break;
      } else {
        return UsageError(output, "unknown option '-" + std::string(1, flag) + "'");
      }
    }
  }
  if (options.folders.empty()) return UsageError(output, "no folder given");
  return std::nullopt;
}

}  // namespace vexaro::cli
