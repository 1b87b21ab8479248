#pragma once
// What a front end (a window or the command-line tool) supplies to the
// listing engine: its progress display with the yield to its message loop,
// its stop request, and where problems are reported. The engine only calls
// into these and reads the stop request; it never sets anything of the
// front end's.

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

// What the user sees while a listing runs.
class ProgressDisplay {
 public:
  virtual ~ProgressDisplay() = default;
  // The status line (`Label2`): shown, and painted, before this returns.
  virtual void SetStatus(std::string_view caption) = 0;
  // The progress line: the folder being worked on. Need not paint; the next
  // yield does.
  virtual void DispListFile(std::string_view strTempText) = 0;
  // Lets the front end handle pending input (STOP among it).
  virtual void Yield() = 0;
};

// The front end's stop request (in the window, `blnContinue` cleared). The
// front end sets it; the engine reads it after every yield and stops the
// start folder it is listing.
class StopRequest {
 public:
  virtual ~StopRequest() = default;
  virtual bool Requested() const = 0;
};

// Told about what could not be read, as it is met.
class ProblemReports {
 public:
  virtual ~ProblemReports() = default;
  virtual void ReportProblem(const Problem& problem) = 0;
};

struct ListingHost {
  ProgressDisplay& progress;
  const StopRequest& stop;
  ProblemReports* problems = nullptr;  // null: not told, as in the window
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
