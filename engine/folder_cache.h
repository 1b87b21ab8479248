#pragma once
// What the folder walk read of each folder's files, kept so that the listing
// does not read every folder a second time. Bounded: once the budget is used
// up, further folders are not kept and the listing reads them again.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace vexaro::engine {

// One file of a folder: its name and, where the enumeration record carried
// them, where its size and times are kept. Small, since a folder may hold
// hundreds of thousands of files and the sort moves them.
struct FileEntry {
  static constexpr std::uint32_t kNoStamp = UINT32_MAX;
  std::string name;
  std::uint32_t stamp = kNoStamp;  // index into FolderFiles::stamps
};

inline std::string_view SortKey(const FileEntry& entry) noexcept { return entry.name; }

// The file array of one folder: element 0 is reserved (empty), elements 1 to
// n the files; and the stamps that the enumeration records carried.
struct FolderFiles {
  std::vector<FileEntry> entries;
  std::vector<platform::FileStamp> stamps;

  void Reset() {
    entries.clear();
    entries.emplace_back();
    stamps.clear();
  }
  void Add(std::string_view name, const std::optional<platform::FileStamp>& stamp) {
    FileEntry& entry = entries.emplace_back();
    entry.name = name;
    if (stamp) {
      entry.stamp = static_cast<std::uint32_t>(stamps.size());
      stamps.push_back(*stamp);
    }
  }
  std::optional<platform::FileStamp> StampOf(const FileEntry& entry) const {
    if (entry.stamp == FileEntry::kNoStamp) return std::nullopt;
    return stamps[entry.stamp];
  }
};

class FolderCache {
 public:
  using Id = std::uint32_t;
  static constexpr Id kNotKept = UINT32_MAX;  // read the folder again
  static constexpr Id kNoFiles = UINT32_MAX - 1;  // nothing to list (unreadable, loop)

  explicit FolderCache(std::size_t budgetBytes) : budget_(budgetBytes) {}

  // Starts the record of one folder; returns kNotKept once the budget is used.
  Id Begin();
  void Add(Id id, const platform::DirEntry& entry);
  // Seals a record. A record that outgrew the budget is dropped: kNotKept.
  Id End(Id id);
  // Appends the files of record `id` to `files`.
  void Load(Id id, FolderFiles& files) const;
  // Frees the record once it has been listed.
  void Release(Id id);

  std::size_t bytesUsed() const { return used_; }

 private:
  std::size_t budget_;
  std::size_t used_ = 0;
  bool full_ = false;
  std::vector<std::string> records_;
  std::vector<std::uint32_t> counts_;  // files per record
};

}  // namespace vexaro::engine
