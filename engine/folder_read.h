#pragma once
// Reading one open folder: its files, sorted, with size and creation time,
// and its subfolders. Runs on a worker thread or on the engine's own.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/file_system.h"

namespace vexaro::engine {

// One file as the listing needs it.
struct FileRef {
  std::string_view name;
  std::optional<std::uint64_t> size;
  std::optional<platform::UtcTime> creation;
  bool stamped = false;  // false: size and times could not be read
};

// The files of one folder, packed in the order met, with an index in name
// order: a folder may hold hundreds of thousands of files, and the walk keeps
// many folders' worth for the listing, so a record is kept small: the name,
// then the size and the creation time as variable-length numbers, the time
// counted from the folder's first one (a folder's files tend to be made
// about the same time).
class FileRecords {
 public:
  // Where a record starts, counted over the blocks' used bytes in order.
  using Ref = std::uint32_t;
  // What one folder's records may take: beyond it Add refuses (a folder of
  // well over a hundred million files).
  static constexpr std::size_t kMaxBytes = UINT32_MAX;

  // False when the records would pass kMaxBytes: the file is not added.
  bool Add(std::string_view name, const std::optional<platform::FileStamp>& stamp);
  // Puts the index in name order (CompareNames).
  void Sort();
  // Bytes the records take, without what their blocks leave unused.
  std::size_t recordBytes() const { return used_; }
  // The same records in `out` (recordBytes() long, lent by the caller, who
  // keeps it alive), with the same order: a copy without waste. Takes this
  // one's index and block list along, which leaves it empty.
  FileRecords Pack(char* out) &&;
  std::uint32_t count() const { return static_cast<std::uint32_t>(order_.size()); }
  std::size_t bytes() const { return stored_ + order_.capacity() * sizeof(Ref); }
  bool empty() const { return order_.empty(); }
  void Shrink() { order_.shrink_to_fit(); }

  // Calls `visit(const FileRef&)` for every file, in name order once sorted.
  template <class Visit>
  void ForEach(Visit&& visit) const {
    FileRef file;
    for (const Ref ref : order_) {
      Decode(ref, file);
      visit(file);
    }
  }

 private:
  struct Block {
    std::unique_ptr<char[]> owned;  // empty when `bytes` lies in memory lent by Pack's caller
    char* bytes = nullptr;
    std::size_t size = 0;
    std::size_t used = 0;
    std::size_t start = 0;  // the Ref of its first byte
  };
  void Decode(Ref ref, FileRef& file) const;

  std::vector<Block> blocks_;
  std::vector<Ref> order_;
  std::size_t stored_ = 0;  // bytes of the blocks
  std::size_t used_ = 0;    // bytes of the records
  std::int64_t baseSeconds_ = 0;
  bool hasBase_ = false;
};

// Makes the listing lines of a folder's files (`path` ends with its
// separator; the part below the start folder begins at `relativeStart`) and
// returns how many of the files had no size or time to show. Reader threads
// call it, several at once: `worker` (0 for the engine's own thread, 1 and
// up for the workers) lets it keep state per thread.
using LineMaker = std::function<std::size_t(std::string_view path, std::size_t relativeStart, const FileRecords& files,
                                            unsigned worker, std::string& out)>;

struct FolderRead {
  enum class Outcome : std::uint8_t {
    Read,        // entries below; `error` set when the read broke off part-way
    Unreadable,  // could not be opened
    Changed,     // no longer the folder the walk saw: a link or another folder now
    Stopped,     // abandoned: STOP
  };
  Outcome outcome = Outcome::Read;
  std::error_code error;
  std::shared_ptr<platform::Folder> handle;  // the folder read, kept to open its subfolders
  std::optional<platform::FolderId> id;      // its identity
  FileRecords files;
  bool collected = false;            // `files` holds every file, with what was asked for
  std::uint32_t filesSeen = 0;       // files met, also when they were not collected
  std::vector<std::string> folders;  // subfolder names, in the order met
  bool formatted = false;            // `text` holds the lines of `files`
  std::string text;
  std::size_t unstamped = 0;  // files in `text` without size or time

  std::size_t bytes() const;
};

struct ReadRequest {
  // The folder itself, or the folder that holds it and its name there: then
  // the reader opens it, without following links, and checks its identity.
  std::shared_ptr<platform::Folder> folder;
  std::shared_ptr<platform::Folder> parent;
  std::string name;
  std::optional<platform::FolderId> expected;  // what the walk recorded
  platform::StampFields wanted;                // nothing wanted: names only
  bool files = true;                           // collect files (the walk skips them once it keeps no more)
  // Past this many bytes of files the read stops collecting them (a folder
  // the walk could not keep anyway); it still counts them.
  std::size_t fileBudget = SIZE_MAX;
  bool folders = true;  // collect subfolders
  // Lines to make once the files are read: by `lines`, for the folder at
  // `path`, unless the folder is too large to hold as text at once.
  const LineMaker* lines = nullptr;
  std::string path;
  std::size_t relativeStart = 0;
  // Files the walk kept: the lines are made of these, and nothing is read.
  const FileRecords* kept = nullptr;
};

// Folders whose records are larger than this get their lines made as the
// listing writes them, in pieces, rather than held whole as text.
inline constexpr std::size_t kLargestFormattedAhead = std::size_t{256} << 10;

// Whether an open failed because something other than a folder (a link, a
// file) has the folder's name now.
bool IsChange(std::error_code error);

// Opens the folder if asked to, reads it to its end, and makes its lines
// when asked to. `keepGoing` is asked now and then; once it returns false the
// read ends with Outcome::Stopped. `worker` is passed on to the LineMaker.
FolderRead ReadFolder(const ReadRequest& request, const std::function<bool()>& keepGoing, unsigned worker = 0);

}  // namespace vexaro::engine
