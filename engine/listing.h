#pragma once
// The listing job: the text of one start folder, header block and one line
// per file, in CSV or TXT form.

#include <array>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/columns.h"
#include "engine/host.h"
#include "engine/walk.h"
#include "platform/system.h"

namespace vexaro::engine {

// The window's option controls, as the listing reads them.
struct ListingOptions {
  bool CheckVolume = true;
  bool CheckFree = true;
  bool CheckSize = true;
  bool CheckByte = true;
  bool CheckDate = true;
  bool CheckPath = true;
  bool OptionCSV = false;    // TXT otherwise
  std::string_view lineEnd;  // empty: the system's own; else a literal
};

// How the listing of one start folder ended.
struct FolderOutcome {
  enum class Ending { Completed, Stopped };
  Ending ending = Ending::Completed;
  // Problems met, by Problem::Kind; a folder both passes fail to read counts
  // twice.
  std::array<std::size_t, 4> problems{};

  bool stopped() const { return ending == Ending::Stopped; }
  std::size_t Count(Problem::Kind kind) const { return problems[static_cast<std::size_t>(kind)]; }
  // Whether the listing misses something it could not read (a folder met
  // again misses nothing: its files are listed where it was met first).
  bool Incomplete() const {
    return Count(Problem::Kind::UnreadableFolder) + Count(Problem::Kind::UnreadableFile) +
               Count(Problem::Kind::ChangedFolder) !=
           0;
  }
};

inline constexpr std::string_view kListingFolders = "Listing Folders";
inline constexpr std::string_view kListingFiles = "Listing Files";
// What a front end shows when a start folder was stopped.
inline constexpr std::string_view kInterrupted = "処理を中断しました。";

// Bytes of file records the walk may keep for the listing; beyond them the
// listing reads folders again.
inline constexpr std::size_t kDefaultCacheBudget = std::size_t{32} << 20;

class ListingJob {
 public:
  ListingJob(platform::System& system, ListingHost host, ListingSink& sink);

  // Appends the listing of the start folder `Path` to the sink. A stopped
  // listing ends after its last whole line, without the final line end.
  FolderOutcome DoWork(const std::string& Path, const ListingOptions& options);

  // Volume label of the drive that holds `StartPath`, or empty.
  std::string GetVName(std::string_view StartPath);
  // Sets strFreeSpace and strDiskSpace for the drive that holds `path`; both
  // stay empty when its figures cannot be had.
  void GetDiskSpace(std::string_view path);

  const std::string& strFreeSpace() const { return strFreeSpace_; }
  const std::string& strDiskSpace() const { return strDiskSpace_; }

  void setCacheBudget(std::size_t bytes) { cacheBudget_ = bytes; }
  // Threads that read folders ahead of the listing: 0 follows the cores, 1
  // means none.
  void setWorkers(unsigned workers) { workers_ = workers; }

 private:
  void AppendHeader(const std::string& Path, const std::string& volume, const ListingOptions& options);
  void ListFolder(const FolderWalk::Listed& folder);
  // The lines of a folder's files, by a reader thread (`worker`, as the
  // LineMaker's); returns the files without size or time.
  std::size_t MakeLines(std::string_view path, std::size_t relativeStart, const FileRecords& files, unsigned worker,
                        std::string& out);
  // The part of the folder's path a TXT line shows: below the start folder.
  static std::string RelativeText(std::string_view path, std::size_t relativeStart);
  void AppendFileLine(std::string& out, const FileRef& file, std::string_view folder, std::string_view relative,
                      LocalTimeConverter& converter) const;

  // The clock as the converters of several threads share it.
  class SharedClock final : public platform::Clock {
   public:
    explicit SharedClock(platform::Clock& clock) : clock_(clock) {}
    platform::UtcTime Now() override;
    std::int32_t UtcOffsetAt(std::int64_t utcSeconds) override;

   private:
    std::mutex mutex_;
    platform::Clock& clock_;
  };

  // Counts what is met for the outcome, and passes it on.
  class ProblemCount final : public ProblemReports {
   public:
    explicit ProblemCount(ProblemReports* next) : next_(next) {}
    void ReportProblem(const Problem& problem) override;
    FolderOutcome* outcome = nullptr;

   private:
    ProblemReports* next_;
  };

  platform::System& system_;
  ProblemCount problems_;
  ListingHost host_;
  ListingSink& sink_;
  platform::Conventions conventions_;
  // Of the start folder being listed, read by the reader threads as well.
  std::string_view lineEnd_;
  ListingOptions options_;
  std::string volume_;
  SharedClock sharedClock_;
  LocalTimeConverter converter_;  // the engine's thread's
  // One per worker (1 and up; 0 stays empty), the same one each time, so
  // that each keeps the days it has met.
  std::vector<std::unique_ptr<LocalTimeConverter>> converters_;
  std::string strFreeSpace_;
  std::string strDiskSpace_;
  std::string dateSeparator_;
  std::string timeSeparator_;
  std::size_t cacheBudget_ = kDefaultCacheBudget;
  unsigned workers_ = 1;
  std::string text_;  // lines of the folder being listed, appended in one go
};

}  // namespace vexaro::engine
