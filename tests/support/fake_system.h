#pragma once
// An in-memory platform with Windows conventions (drive letters, '\', CR LF),
// a fixed clock and time zone, and labels and disk figures set by the test.
// It counts open searches so that tests can see none is left open.

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/system.h"

namespace vexaro::testing {

using platform::UtcTime;

// UTC seconds of a calendar moment, for readable test data.
std::int64_t UtcSeconds(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

class FakeSystem final : public platform::System,
                         public platform::DirectorySearch,
                         public platform::VolumeInfo,
                         public platform::DiskSpaceInfo,
                         public platform::Clock,
                         public platform::Regional {
 public:
  FakeSystem();

  // The tree. Paths are full, with '\' and without a trailing separator;
  // parents are made as needed. A folder's search returns its entries in the
  // order they were added.
  void AddFolder(std::string_view path);
  void AddFile(std::string_view path, std::uint64_t size, UtcTime creation = {});
  void AddLinkedFolder(std::string_view path);  // a symbolic link or junction to a folder
  // What a folder turns into while a listing runs: a link to a folder
  // elsewhere, or another folder under the same name (a new identity).
  void ReplaceWithLink(std::string_view path);
  void ReplaceWithOtherFolder(std::string_view path);
  // A folder that shows `target` again, as a bind mount does: same identity.
  void AddMountOf(std::string_view path, std::string_view target);
  // A folder that shows `target` again on the same mount: what a folder
  // moved during the walk looks like once the walk has met it already.
  void AddSecondNameOf(std::string_view path, std::string_view target);
  void SetUnreadable(std::string_view folderPath);
  // The file stays in its folder's search, but its size and times cannot be
  // read any more (it vanished after the enumeration).
  void SetVanished(std::string_view filePath);
  // Whether search records carry size and times (Windows) or the engine has
  // to ask for them (Linux).
  void setRecordsCarryStamps(bool value) { recordsCarryStamps_ = value; }

  void SetLabel(std::string_view root, std::string label) { labels_[std::string(root)] = std::move(label); }
  // `drive` as "C:" or "\\srv\share".
  void SetSpace(std::string_view drive, std::uint64_t available, std::uint64_t total) {
    spaces_[std::string(drive)] = {available, total};
  }
  // The offset in force from `fromUtc` on; the earliest also holds before it.
  void SetOffset(std::int64_t fromUtc, std::int32_t offsetSeconds);
  void SetLineEnd(std::string_view lineEnd) { lineEnd_ = lineEnd; }  // a literal

  int openFolders() const { return openFolders_; }
  int opens() const { return opens_; }
  int stats() const { return stats_; }
  int offsetQueries() const { return offsetQueries_; }
  // Called with the folder path on every open, before it happens, on the
  // thread that opens: the listing's own, or a reader thread when the job
  // has any (ListingJob::setThreads).
  void onOpen(std::function<void(std::string_view)> hook) { onOpen_ = std::move(hook); }

  // platform::System
  platform::DirectorySearch& directories() override { return *this; }
  platform::VolumeInfo& volumes() override { return *this; }
  platform::DiskSpaceInfo& disks() override { return *this; }
  platform::Clock& clock() override { return *this; }
  platform::Regional& regional() override { return *this; }
  platform::Conventions conventions() const override { return {'\\', lineEnd_}; }

  platform::OpenResult OpenFolder(std::string_view path) override;
  // The root is the first two characters and a backslash, as Windows takes it.
  std::string Label(std::string_view path) override;
  std::optional<platform::DiskSpace> Space(std::string_view path) override;
  UtcTime Now() override { return now_; }
  std::int32_t UtcOffsetAt(std::int64_t utcSeconds) override;
  // Japanese settings: short date yyyy/MM/dd, time H:mm:ss.
  std::string DateTimeText(const platform::LocalDateTime& when) override;
  std::string DateSeparator() override { return "/"; }
  std::string TimeSeparator() override { return ":"; }
  std::string DecimalSeparator() override { return "."; }

 private:
  struct Node {
    enum class Kind { Folder, File, LinkedFolder } kind = Kind::Folder;
    std::vector<std::string> children;  // names, in search order
    platform::FileStamp stamp;
    bool unreadable = false;
    bool vanished = false;
    std::string mountOf;      // the folder this one shows again
    std::uint64_t mount = 0;  // the mount's own number; 0 for a second name
    std::uint64_t inode = 0;
  };
  class OpenFolderImpl;

  Node& Ensure(std::string_view path, Node::Kind kind);
  const Node* Find(std::string_view path) const;
  // Opens `key` (trimmed) reached as `where`: the checks every open makes.
  platform::OpenResult Open(std::string where, bool followLinks);

  std::map<std::string, Node, std::less<>> nodes_;
  std::map<std::string, std::string, std::less<>> labels_;
  std::map<std::string, platform::DiskSpace, std::less<>> spaces_;
  std::vector<std::pair<std::int64_t, std::int32_t>> offsets_{{INT64_MIN, 9 * 3600}};
  UtcTime now_;
  std::string_view lineEnd_ = "\r\n";
  bool recordsCarryStamps_ = true;
  // Worker threads read folders and close them.
  std::atomic<int> openFolders_ = 0;
  std::atomic<int> opens_ = 0;
  std::atomic<int> stats_ = 0;
  int offsetQueries_ = 0;
  std::uint64_t nextInode_ = 1;
  std::function<void(std::string_view)> onOpen_;
};

}  // namespace vexaro::testing
