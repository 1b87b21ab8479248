#pragma once
// What a front end (a window or the command-line tool) supplies to the
// listing engine: its status and progress display, the yield to its message
// loop, its message box and the run flag that STOP clears.

#include <string>
#include <string_view>
#include <system_error>

namespace vexaro::engine {

// Something the listing could not read. The listing goes on without it.
struct Problem {
  enum class Kind {
    UnreadableFolder,  // cannot be opened or read: contributes no entries
    FolderLoop,        // reached again through a bind mount: not walked twice
    UnreadableFile,    // vanished or no access: its line has blank columns
    ChangedFolder,     // replaced (by a link, say) since the walk met it: never followed
  };
  Kind kind;
  std::string_view path;
  std::error_code error;
};

class ListingHost {
 public:
  virtual ~ListingHost() = default;
  // The status line (`Label2`): shown, and painted, before this returns.
  virtual void SetStatus(std::string_view caption) = 0;
  // The progress line: the folder being worked on. Need not paint; the next
  // yield does.
  virtual void DispListFile(std::string_view strTempText) = 0;
  // Lets the front end handle pending input (STOP among it).
  virtual void Yield() = 0;
  // A modal message; returns when the user has closed it.
  virtual void MessageDisp(std::string_view Msg) = 0;
  // The run flag `blnContinue`: set by the listing job when it starts a
  // folder, cleared by STOP.
  virtual bool Continue() = 0;
  virtual void SetContinue(bool value) = 0;
  // Told about what could not be read; silent by default, as in the window.
  virtual void ReportProblem(const Problem& problem) { (void)problem; }
};

// Where the listing text goes.
class ListingSink {
 public:
  virtual ~ListingSink() = default;
  virtual void Append(std::string_view text) = 0;
};

// Appends to a string: the window's `strListText`.
class StringSink final : public ListingSink {
 public:
  explicit StringSink(std::string& text) : text_(text) {}
  void Append(std::string_view text) override { text_.append(text); }

 private:
  std::string& text_;
};

}  // namespace vexaro::engine
