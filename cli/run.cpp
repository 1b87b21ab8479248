#include "cli/run.h"

#include <optional>

#include "cli/column_width.h"
#include "cli/terminal_output.h"
#include "engine/listing.h"

namespace vexaro::cli {
namespace {

std::string Quoted(std::string_view path) {
  std::string quoted(1, '\'');
  quoted.append(ForDisplay(path)).push_back('\'');
  return quoted;
}

std::string WithReason(std::string text, std::error_code error) {
  if (error) text.append(": ").append(error.message());
  return text;
}

}  // namespace

void ConsoleHost::SetStatus(std::string_view caption) {
  if (progress_) progress_->SetStage(caption);
}

void ConsoleHost::DispListFile(std::string_view strTempText) {
  if (progress_) progress_->SetFolder(strTempText);
}

void ConsoleHost::Yield() {
  if (progress_) progress_->Tick();
}

bool ConsoleHost::Requested() const { return console_.Interrupted() || sink_.error(); }

void ConsoleHost::ReportProblem(const engine::Problem& problem) {
  // The walk and the listing may both meet the same unreadable folder.
  std::string key = std::to_string(static_cast<int>(problem.kind));
  key.append(":").append(problem.path);
  if (!reported_.insert(std::move(key)).second) return;

  switch (problem.kind) {
    case engine::Problem::Kind::UnreadableFolder:
      // Only a start folder fails so: any other is a change of the tree.
      if (problem.error == std::errc::not_a_directory) {
        Say(Quoted(problem.path) + " is not a folder");
      } else {
        Say(WithReason("cannot read folder " + Quoted(problem.path), problem.error));
      }
      break;
    case engine::Problem::Kind::UnreadableFile:
      Say(WithReason("cannot read the size and date of " + Quoted(problem.path), problem.error) +
          " (vanished or no access); its line shows them blank");
      break;
    case engine::Problem::Kind::ChangedFolder:
      Say("skipped " + Quoted(problem.path) +
          ": it is no longer the folder the walk found (replaced by a link or another folder)");
      break;
    case engine::Problem::Kind::FolderLoop:
      // Nothing is missing from the listing: the folder's files are listed
      // under the path where it was met first.
      Say("skipped " + Quoted(problem.path) + ": the same folder was met before under another path");
      break;
  }
}

void ConsoleHost::Say(std::string_view message) {
  if (progress_) progress_->Erase();
  std::string line(kProgramName);
  line.append(": ").append(message).append("\n");
  console_.Write(line);
}

int Run(const Options& options, platform::System& system, OutputStream& output, Console& console,
        ProgressLine::Now now) {
  engine::ListingOptions listing = options.listing;
  if (options.crlf) listing.lineEnd = "\r\n";

  // No progress when the listing itself goes to the terminal: the two would
  // be drawn over one another.
  std::optional<ProgressLine> progress;
  if (!options.quiet && console.IsTerminal() && !output.IsTerminal()) {
    progress.emplace(console, system.conventions().separator, std::move(now));
  }

  // A terminal is shown the listing with its control characters made
  // harmless; a file or pipe gets the faithful bytes.
  TerminalSafeOutput safeOutput(output);
  OutputStream& target = output.IsTerminal() ? safeOutput : output;

  StreamSink sink(target);
  ConsoleHost host(console, progress ? &*progress : nullptr, sink);
  engine::ListingJob job(system, host.Host(), sink);
  job.setThreads(options.threads);
  // Unlike STOP in the window, which ends one start folder, Ctrl-C ends the
  // whole run: a command line has no other way to stop it.
  bool toldInterrupted = false;
  bool troubled = false;
  for (const std::string& folder : options.folders) {
    if (host.Requested()) break;
    // A listing stopped by a failed write is reported as that failure.
    const engine::FolderOutcome outcome = job.DoWork(folder, listing);
    troubled = troubled || outcome.Incomplete();
    if (outcome.stopped() && console.Interrupted()) {
      host.Say(engine::kInterrupted);
      toldInterrupted = true;
    }
  }
  if (progress) progress->Erase();

  // What is complete is kept: a stopped listing ends after its last whole line.
  std::error_code error = sink.error();
  const std::error_code closeError = target.Close();
  if (!error) error = closeError;
  // A reader of standard output that has gone away (head, a pager that was
  // quit) wants no more: that is no failure to report. A file named with -o
  // keeps its message, a pipe among them.
  const bool readerGone = !options.output && error == std::errc::broken_pipe;
  if (error && !readerGone) {
    const std::string where = options.output ? Quoted(*options.output) : "standard output";
    host.Say(WithReason("cannot write the listing to " + where, error));
  }
  if (console.Interrupted()) {
    if (!toldInterrupted) host.Say(engine::kInterrupted);
    return kExitSignalBase + console.StopSignal();
  }
  if (readerGone) return kExitBrokenPipe;
  return error || troubled ? kExitTrouble : kExitOk;
}

}  // namespace vexaro::cli
