#pragma once
// The listing job: the text of one start folder, header block and one line
// per file, in CSV or TXT form.
//
// Threads: a job belongs to the thread that runs DoWork, which is also the
// one that calls the host. The walk's worker threads make lines of their
// own with the job's settings, which stay fixed while a listing runs.

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "engine/host.h"
#include "engine/listing_options.h"
#include "platform/system.h"

namespace vexaro::engine {

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
  ~ListingJob();
  ListingJob(const ListingJob&) = delete;
  ListingJob& operator=(const ListingJob&) = delete;

  // Appends the listing of the start folder `Path` to the sink. A stopped
  // listing ends after its last whole line, without the final line end.
  FolderOutcome DoWork(const std::string& Path, const ListingOptions& options);

  // Volume label of the drive that holds `StartPath`, or empty.
  std::string GetVName(std::string_view StartPath);
  // Sets strFreeSpace and strDiskSpace for the drive that holds `path`; both
  // stay empty when its figures cannot be had.
  void GetDiskSpace(std::string_view path);

  const std::string& strFreeSpace() const;
  const std::string& strDiskSpace() const;

  void setCacheBudget(std::size_t bytes);
  // Threads that read folders ahead of the listing: 0 follows the cores, 1
  // means none.
  void setThreads(unsigned threads);

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vexaro::engine
