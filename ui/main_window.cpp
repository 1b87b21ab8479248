#include "ui/main_window.h"

#include <utility>

#include "engine/listing.h"
#include "ui/fit_path.h"

namespace vexaro::ui {

MainWindowLogic::MainWindowLogic(MainWindowView& view, Facilities facilities, MonotonicClock clock)
    : view_(view), facilities_(facilities), clock_(std::move(clock)) {}

void MainWindowLogic::Form_Load() { view_.ShowPage(Page::Setup); }

void MainWindowLogic::Command1_Click() {
  // The Start button is hidden during a run; this also keeps a second run
  // from starting inside a yield of the first, should a view let it through.
  if (running_) return;
  running_ = true;
  view_.ShowPage(Page::Progress);
  // A clipboard that cannot be cleared now is no reason not to list: the
  // text replaces its content at the end, and a failure then is reported.
  (void)facilities_.clipboard.Clear();
  SetStatus(kClipboardCleared);
  strListText_.clear();

  lastTurn_ = lastPath_ = clock_();
  {
    // The job and what it keeps between folders are gone before the text is
    // copied to the clipboard.
    engine::StringSink sink(strListText_);
    engine::ListingJob job(facilities_.system, {*this, *this}, sink);
    job.setThreads(facilities_.threads);  // read-ahead only; the window's thread still runs the listing
    // The row count is read afresh on every pass. STOP ends one start
    // folder; closing the window ends them all.
    for (int row = 0; row < view_.RowCount() && !closing_; ++row) {
      blnContinue_ = true;
      if (job.DoWork(view_.RowText(row), view_.Options()).stopped()) MessageDisp(engine::kInterrupted);
    }
  }
  ShowPendingPath();

  if (!closing_) {
    SetStatus(kSendData);
    if (facilities_.clipboard.SetText(strListText_)) {
      MessageDisp(kNotSent);
    } else {
      std::string sent(kSentLine1);
      sent.append(facilities_.system.conventions().lineEnd).append(kSentLine2);
      MessageDisp(sent);
    }
    view_.ShowPage(Page::Setup);
  }
  running_ = false;
  // The window was closed during the run: what was listed is dropped, the
  // user having walked away from it, and the program ends now that nothing
  // of the run is left on the stack.
  if (closing_) view_.EndProgram();
}

void MainWindowLogic::Command2_Click() { blnContinue_ = false; }

void MainWindowLogic::Command3_Click() { view_.EndProgram(); }

void MainWindowLogic::Command4_Click() { GetPathName(); }

void MainWindowLogic::Command5_Click() {
  // A removed row's successor moves up into its place and is examined next.
  int row = 0;
  while (row < view_.RowCount()) {
    if (view_.IsRowMarked(row)) {
      view_.RemoveRow(row);
    } else {
      ++row;
    }
  }
}

void MainWindowLogic::GetPathName() {
  std::optional<std::string> path = facilities_.picker.PickFolder(kFolderPrompt);
  // Cancelling the picker adds nothing; an empty row could not be listed.
  if (!path || path->empty()) return;
  const char separator = facilities_.system.conventions().separator;
  // A root such as C:\ or / already ends with its separator and keeps it.
  if (path->back() != separator) path->push_back(separator);
  view_.AddRow(*path);
}

void MainWindowLogic::AddFolders(std::span<const std::string> paths, std::string_view current) {
  if (running_) return;
  const char separator = facilities_.system.conventions().separator;
  for (const std::string& path : paths) {
    if (path.empty() || (current.empty() && !platform::IsAbsolutePath(path, separator))) continue;
    std::string folder = platform::MakeAbsolute(path, current, separator, facilities_.isPlainFolder);
    // A folder that may not be read is still a folder: the listing reports it.
    const std::error_code error = facilities_.system.directories().OpenFolder(folder).error;
    if (!error || error == std::errc::permission_denied) view_.AddRow(folder);
  }
}

void MainWindowLogic::WindowClosing() {
  if (!running_) {
    view_.EndProgram();
    return;
  }
  closing_ = true;
  blnContinue_ = false;
}

void MainWindowLogic::SetStatus(std::string_view caption) {
  ShowPendingPath();
  view_.SetStatusCaption(caption);
}

void MainWindowLogic::DispListFile(std::string_view strTempText) {
  pendingPath_.assign(strTempText);
  pathPending_ = true;
}

void MainWindowLogic::Yield() {
  const auto now = clock_();
  if (now - lastTurn_ < kYieldInterval) return;
  if (pathPending_ && now - lastPath_ >= kPathInterval) {
    ShowPendingPath();
    lastPath_ = now;
  }
  view_.ProcessEvents();
  lastTurn_ = clock_();
}

void MainWindowLogic::MessageDisp(std::string_view Msg) {
  // Once the window is closed, no box may appear without it.
  if (closing_) return;
  ShowPendingPath();
  facilities_.messages.ShowInformation(Msg, kTitle);
}

void MainWindowLogic::ShowPendingPath() {
  if (!pathPending_) return;
  pathPending_ = false;
  view_.SetPathCaption(GetFitPath(pendingPath_, WidthLimit(view_.PathCaptionWidth()), facilities_.fitter));
}

}  // namespace vexaro::ui
