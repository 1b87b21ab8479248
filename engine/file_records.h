#pragma once
// The files of one folder as the listing needs them, packed small: a folder
// may hold hundreds of thousands of files, and the walk keeps many folders'
// worth for the listing.

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
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
// order. A record is the name, then the size and the creation time as
// variable-length numbers, the time counted from the folder's first one (a
// folder's files tend to be made about the same time).
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

}  // namespace vexaro::engine
