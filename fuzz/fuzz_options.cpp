// The command-line parser on arguments split from the fuzzer's bytes at NUL.
// Whatever it is given, it ends in exactly one of three ways, each with the
// right words; and what it accepts, written out again in its plainest
// spelling, parses to the same options.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/options.h"

namespace {

using vexaro::cli::Options;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
  }
}

bool SameListing(const vexaro::engine::ListingOptions& a, const vexaro::engine::ListingOptions& b) {
  return a.CheckVolume == b.CheckVolume && a.CheckFree == b.CheckFree && a.CheckSize == b.CheckSize &&
         a.CheckByte == b.CheckByte && a.CheckDate == b.CheckDate && a.CheckPath == b.CheckPath &&
         a.OptionCSV == b.OptionCSV;
}

std::vector<std::string> Spelled(const Options& o) {
  std::vector<std::string> args;
  if (!o.listing.CheckVolume) args.push_back("--no-volume");
  if (!o.listing.CheckFree) args.push_back("--no-free");
  if (!o.listing.CheckSize) args.push_back("--no-size");
  if (!o.listing.CheckByte) args.push_back("--no-byte");
  if (!o.listing.CheckDate) args.push_back("--no-date");
  if (!o.listing.CheckPath) args.push_back("--no-path");
  args.push_back(o.listing.OptionCSV ? "--csv" : "--txt");
  if (o.crlf) args.push_back("--crlf");
  if (o.quiet) args.push_back("-q");
  if (o.threads != 0) args.push_back("--jobs=" + std::to_string(o.threads));
  if (o.output) {
    args.push_back("-o");
    args.push_back(*o.output);
  }
  args.push_back("--");
  args.insert(args.end(), o.folders.begin(), o.folders.end());
  return args;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  for (std::size_t at = 0; at <= input.size();) {
    const std::size_t end = std::min(input.find('\0', at), input.size());
    args.emplace_back(input.substr(at, end - at));
    at = end + 1;
  }
  if (size == 0) args.clear();

  Options options;
  vexaro::cli::ParseOutput output;
  const auto status = vexaro::cli::ParseOptions(args, options, output);
  if (!status) {
    Check(output.out.empty() && output.err.empty(), "a command line to list with says nothing");
    Check(!options.folders.empty(), "listing needs a folder");
    for (const auto& f : options.folders) Check(!f.empty(), "no folder name is empty");
    Check(options.threads <= 64, "threads from 1 to 64");
    Check(!options.output || !options.output->empty(), "no empty output file name");
    Options again;
    vexaro::cli::ParseOutput output2;
    const auto spelled = Spelled(options);
    Check(!vexaro::cli::ParseOptions(spelled, again, output2), "the plain spelling is accepted");
    Check(SameListing(again.listing, options.listing) && again.crlf == options.crlf && again.quiet == options.quiet &&
              again.threads == options.threads && again.output == options.output && again.folders == options.folders,
          "the plain spelling gives the same options");
  } else if (*status == vexaro::cli::kExitOk) {
    Check(output.err.empty() && !output.out.empty() && output.out.back() == '\n', "help or version, one text");
  } else {
    Check(*status == vexaro::cli::kExitUsage, "a wrong command line ends with 2");
    Check(output.out.empty(), "nothing on standard output after a usage error");
    Check(output.err.starts_with("vexaro-list: ") && output.err.ends_with("for more information.\n"),
          "one message and the hint");
  }
  return 0;
}
