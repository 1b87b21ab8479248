#pragma once
// What the window logic needs from a window toolkit: the two pages, the two
// status labels, the folder list, the option controls, the message loop and
// the end of the program. A view holds no listing logic of its own.

#include <string>
#include <string_view>

#include "engine/listing_options.h"

namespace vexaro::ui {

// The two pages share one place in the window; exactly one shows.
enum class Page {
  Setup,     // `Frame3`: folder list, options, Start, Quit, Add Folder, Delete Selected
  Progress,  // `Frame2`: STOP, `Label1`, `Label2`
};

class MainWindowView {
 public:
  virtual ~MainWindowView() = default;

  // Shows `page` and hides the other one, with everything in it.
  virtual void ShowPage(Page page) = 0;

  // `Label2`, the status line: set and painted before this returns, since no
  // turn of the message loop may follow before the next long step.
  virtual void SetStatusCaption(std::string_view caption) = 0;

  // `Label1`, the progress line, painted at the next turn of the message loop.
  virtual void SetPathCaption(std::string_view caption) = 0;
  // `Label1`'s width in pixels, the unit the path fitter measures in.
  virtual int PathCaptionWidth() const = 0;

  // `List1`. Rows are numbered from 0. AddRow puts the text at its place in
  // ascending order without regard to case, after rows that compare equal.
  virtual int RowCount() const = 0;
  virtual std::string RowText(int row) const = 0;
  virtual bool IsRowMarked(int row) const = 0;
  virtual void RemoveRow(int row) = 0;
  virtual void AddRow(std::string_view text) = 0;

  // The six check boxes and `OptionCSV`, as they stand.
  virtual engine::ListingOptions Options() const = 0;

  // Handles the input and painting that are pending, then returns. Click
  // handlers (STOP among them) may run inside.
  virtual void ProcessEvents() = 0;

  // Ends the program once control is back in the toolkit's main loop; the
  // caller returns to it straight away.
  virtual void EndProgram() = 0;
};

}  // namespace vexaro::ui
