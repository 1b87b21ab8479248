#include "cli/progress.h"

#include "cli/column_width.h"
#include "platform/text_fit.h"

namespace vexaro::cli {
namespace {

constexpr std::string_view kEraseToEnd = "\x1b[K";
// Below this many columns for the folder, the stage alone is shown.
constexpr int kMinimumFolderColumns = 8;

}  // namespace

std::string ProgressText(std::string_view stage, std::string_view folder, int columns, char separator) {
  const int room = columns - 1;
  if (room <= 0) return {};
  const std::string shownStage = ForDisplay(stage);
  std::string text = shownStage;
  if (!folder.empty()) {
    text += ": ";
    const int folderRoom = room - TextColumns(text);
    if (folderRoom < kMinimumFolderColumns) {
      text = shownStage;
    } else {
      text += platform::FitPathEllipsis(ForDisplay(folder), folderRoom, TerminalMeasure{}, separator);
    }
  }
  // The fitting may overshoot when not even the ellipsis fits.
  return std::string(FitColumns(text, room));
}

ProgressLine::ProgressLine(Console& console, char separator, Now now)
    : console_(console), separator_(separator), now_(std::move(now)) {}

void ProgressLine::SetStage(std::string_view stage) {
  if (stage == stage_) return;
  stage_.assign(stage);
  folder_.clear();  // the folder shown belonged to the previous stage
  changed_ = true;
  Tick();
}

void ProgressLine::SetFolder(std::string_view folder) {
  if (folder == folder_) return;
  folder_.assign(folder);
  changed_ = true;
  // Drawn now when due: no yield may come while a large folder is listed.
  Tick();
}

void ProgressLine::Tick() {
  if (!changed_) return;
  const auto now = now_();
  if (drawnOnce_ && now - lastDrawn_ < kInterval) return;
  lastDrawn_ = now;
  drawnOnce_ = true;
  Draw();
}

void ProgressLine::Erase() {
  if (!shown_) return;
  console_.Write(std::string("\r").append(kEraseToEnd));
  shown_ = false;
  changed_ = true;  // to be drawn again at the next tick
}

void ProgressLine::Draw() {
  changed_ = false;
  const int columns = console_.Columns().value_or(kDefaultColumns);
  std::string line = "\r";
  line += ProgressText(stage_, folder_, columns, separator_);
  line += kEraseToEnd;
  console_.Write(line);
  shown_ = true;
}

}  // namespace vexaro::cli
