// The command-line parser on arguments split at NUL: one of three endings, each with the right
// words; what it accepts, spelled out again plainly, parses to the same options.

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "cli/options.h"

namespace {

using vexaro::cli::Options;
using vexaro::engine::ListingOptions;

void Check(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "property broken: %s\n", what);
  std::abort();
}

constexpr std::pair<bool ListingOptions::*, const char*> kBoxes[] = {
    {&ListingOptions::CheckVolume, "--no-volume"}, {&ListingOptions::CheckFree, "--no-free"},
    {&ListingOptions::CheckSize, "--no-size"},     {&ListingOptions::CheckByte, "--no-byte"},
    {&ListingOptions::CheckDate, "--no-date"},     {&ListingOptions::CheckPath, "--no-path"}};

// One spelling per set of options, so that equal spellings mean equal options.
std::vector<std::string> Spelled(const Options& o) {
  std::vector<std::string> args;
  for (const auto& [box, flag] : kBoxes) {
    if (!(o.listing.*box)) args.push_back(flag);
  }
  args.push_back(o.listing.OptionCSV ? "--csv" : "--txt");
  if (o.crlf) args.push_back("--crlf");
  if (o.quiet) args.push_back("-q");
  if (o.threads != 0) args.push_back("--jobs=" + std::to_string(o.threads));
  if (o.output) args.insert(args.end(), {"-o", *o.output});
  args.push_back("--");
  args.insert(args.end(), o.folders.begin(), o.folders.end());
  return args;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> args;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  for (std::size_t at = 0; size != 0 && at <= input.size();) {
    const std::size_t end = std::min(input.find('\0', at), input.size());
    args.emplace_back(input.substr(at, end - at));
    at = end + 1;
  }
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
    const auto spelled = Spelled(options);
    Check(!vexaro::cli::ParseOptions(spelled, again, output), "the plain spelling is accepted");
    Check(Spelled(again) == spelled, "the plain spelling gives the same options");
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
