#pragma once
// The listing run of vexaro-list: every start folder through the listing
// job, the text streamed to the output, progress and problems on the
// console.

#include <chrono>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <system_error>

#include "cli/options.h"
#include "cli/progress.h"
#include "engine/host.h"
#include "cli/console.h"
#include "cli/output.h"
#include "platform/system.h"

namespace vexaro::cli {

// The listing text written straight to the output, so that no listing is
// ever held whole in memory. Keeps the first write error; after it, the
// rest is dropped.
class StreamSink final : public engine::ListingSink {
 public:
  explicit StreamSink(OutputStream& stream) : stream_(stream) {}
  void Append(std::string_view text) override {
    if (!error_) error_ = stream_.Write(text);
  }
  std::error_code error() const { return error_; }

 private:
  OutputStream& stream_;
  std::error_code error_;
};

// What the listing job sees of the console: progress, problems, and a stop
// request that Ctrl-C and a failed write set for good.
class ConsoleHost final : public engine::ProgressDisplay, public engine::StopRequest, public engine::ProblemReports {
 public:
  // `progress` may be null: no progress is shown.
  ConsoleHost(Console& console, ProgressLine* progress, const StreamSink& sink)
      : console_(console), progress_(progress), sink_(sink) {}

  void SetStatus(std::string_view caption) override;
  void DispListFile(std::string_view strTempText) override;
  void Yield() override;
  bool Requested() const override;
  void ReportProblem(const engine::Problem& problem) override;

  engine::ListingHost Host() { return {*this, *this, this}; }

  // "vexaro-list: <message>" on its own line of standard error.
  void Say(std::string_view message);

 private:
  Console& console_;
  ProgressLine* progress_;
  const StreamSink& sink_;
  std::set<std::string, std::less<>> reported_;  // each problem once
};

// Lists `options.folders` (absolute, with a trailing separator) into
// `output`, then closes it. Returns the exit status.
int Run(const Options& options, platform::System& system, OutputStream& output, Console& console,
        ProgressLine::Now now = std::chrono::steady_clock::now);

// The whole program, from its arguments (without the program name) to its
// exit status.
int Main(std::span<const std::string> args);

}  // namespace vexaro::cli
