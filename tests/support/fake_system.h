#pragma once
// An in-memory platform with Windows conventions (drive letters, '\', CR LF),
// a fixed clock and time zone, and labels and disk figures set by the test.
// It counts open searches so that tests can see none is left open.

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/system.h"

namespace vexaro::testing {

using platform::UtcTime;

// UTC seconds of a calendar moment, for readable test data.
std::int64_t UtcSeconds(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

class FakeSystem final : public platform::System {
 public:
  FakeSystem();
  ~FakeSystem() override;

  // The tree. Paths are full, with '\' and without a trailing separator;
  // parents are created as needed. Entries come out of a folder's search in
  // the order they were added.
  void AddFolder(std::string_view path);
  void AddFile(std::string_view path, std::uint64_t size, UtcTime creation = {},
               UtcTime lastWrite = {}, UtcTime lastAccess = {});
  // A symbolic link or junction to a folder.
  void AddLinkedFolder(std::string_view path);
  // A folder that is another folder met again, as a bind mount makes it:
  // same identity, same content.
  void AddMountOf(std::string_view path, std::string_view target);
  void SetUnreadable(std::string_view folderPath);
  // The file stays in its folder's search, but its size and times cannot be
  // read any more (it vanished after the enumeration).
  void SetVanished(std::string_view filePath);

  // Whether search records carry size and times (Windows) or the engine has
  // to ask for them (Linux).
  void setRecordsCarryStamps(bool value) { recordsCarryStamps_ = value; }

  void SetLabel(std::string_view root, std::string label);  // root such as "C:\"
  void SetSpace(std::string_view drive, std::uint64_t available, std::uint64_t total);  // "C:", "\\srv\share"
  void SetNow(UtcTime now) { now_ = now; }
  // Offset from UTC in force from `fromUtc` on (the earliest applies before).
  void SetOffset(std::int64_t fromUtc, std::int32_t offsetSeconds);
  void SetDecimalSeparator(std::string separator) { decimal_ = std::move(separator); }
  void SetDateTimeSeparators(std::string date, std::string time) {
    dateSeparator_ = std::move(date);
    timeSeparator_ = std::move(time);
  }

  int openFolders() const { return openFolders_; }
  int opens() const { return opens_; }
  int stats() const { return stats_; }
  int offsetQueries() const { return offsetQueries_; }
  // Called with the folder path on every open, before it happens.
  void onOpen(std::function<void(std::string_view)> hook) { onOpen_ = std::move(hook); }

  platform::DirectorySearch& directories() override;
  platform::VolumeInfo& volumes() override;
  platform::DiskSpaceInfo& disks() override;
  platform::Clock& clock() override;
  platform::Regional& regional() override;
  platform::Conventions conventions() const override { return {'\\', "\r\n"}; }

  struct Node {
    enum class Kind { Folder, File, LinkedFolder } kind = Kind::Folder;
    std::vector<std::string> children;  // names, in search order
    platform::FileStamp stamp;
    bool unreadable = false;
    bool vanished = false;
    std::string mountOf;  // path of the folder this one shows again
    std::uint64_t inode = 0;
  };

 private:
  class Search;
  class Volumes;
  class FakeClock;
  class FakeRegional;
  class OpenFolderImpl;

  Node& Ensure(std::string_view path, Node::Kind kind);
  const Node* Find(std::string_view path) const;

  std::map<std::string, Node, std::less<>> nodes_;
  std::map<std::string, std::string, std::less<>> labels_;
  std::map<std::string, platform::DiskSpace, std::less<>> spaces_;
  std::vector<std::pair<std::int64_t, std::int32_t>> offsets_;
  UtcTime now_;
  std::string decimal_ = ".";
  std::string dateSeparator_ = "/";
  std::string timeSeparator_ = ":";
  bool recordsCarryStamps_ = true;
  int openFolders_ = 0;
  int opens_ = 0;
  int stats_ = 0;
  int offsetQueries_ = 0;
  std::uint64_t nextInode_ = 1;
  std::function<void(std::string_view)> onOpen_;

  std::unique_ptr<Search> search_;
  std::unique_ptr<Volumes> volumes_;
  std::unique_ptr<FakeClock> clock_;
  std::unique_ptr<FakeRegional> regional_;
};

}  // namespace vexaro::testing
