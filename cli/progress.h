#pragma once
// The progress line on a terminal: the stage of the listing and the folder
// being worked on, redrawn in place.

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "cli/console.h"

namespace vexaro::cli {

// The progress text for a terminal `columns` wide: "stage: folder", the
// folder shortened in its middle. Stays clear of the last column, where a
// terminal would wrap the cursor to the next line.
std::string ProgressText(std::string_view stage, std::string_view folder, int columns, char separator);

class ProgressLine {
 public:
  using Now = std::function<std::chrono::steady_clock::time_point()>;
  static constexpr std::chrono::milliseconds kInterval{100};
  static constexpr int kDefaultColumns = 80;

  ProgressLine(Console& console, char separator, Now now);

  // Both draw at once when the last drawing is old enough.
  void SetStage(std::string_view stage);
  void SetFolder(std::string_view folder);
  // Redraws when something changed and the last drawing is at least
  // kInterval old; cheap otherwise, as it is called once per directory entry.
  void Tick();
  // Takes the line off the screen: before a message, and at the end.
  void Erase();

 private:
  void Draw();

  Console& console_;
  char separator_;
  Now now_;
  std::string stage_;
  std::string folder_;
  bool changed_ = false;
  bool shown_ = false;
  bool drawnOnce_ = false;
  std::chrono::steady_clock::time_point lastDrawn_{};
};

}  // namespace vexaro::cli
