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
// them, its size and times.
struct FileEntry {
  std::string name;
  std::optional<platform::FileStamp> stamp;
};

inline std::string_view SortKey(const FileEntry& entry) noexcept { return entry.name; }

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
  void Load(Id id, std::vector<FileEntry>& files) const;
  // Frees the record once it has been listed.
  void Release(Id id);

  std::size_t bytesUsed() const { return used_; }

 private:
  std::size_t budget_;
  std::size_t used_ = 0;
  bool full_ = false;
  std::vector<std::string> records_;
};

}  // namespace vexaro::engine
