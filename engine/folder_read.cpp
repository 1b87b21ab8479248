#include "engine/folder_read.h"

#include <cstring>
#include <utility>

#include "engine/sort.h"

namespace vexaro::engine {
namespace {

enum Flag : unsigned char {
  kStamped = 1,
  kSize = 2,
  kCreation = 4,
};

template <class T>
T GetRaw(const char* p) {
  T value;
  std::memcpy(&value, p, sizeof(T));
  return value;
}

// What the sort moves: small, with the name where the record keeps it.
struct SortItem {
  const char* name;
  std::uint32_t size;
  FileRecords::Ref ref;
};

std::string_view SortKey(const SortItem& item) noexcept { return {item.name, item.size}; }

constexpr unsigned kCheckEvery = 256;

}  // namespace

bool IsChange(std::error_code error) {
  return error == std::errc::too_many_symbolic_link_levels || error == std::errc::not_a_directory;
}

void FileRecords::Add(std::string_view name, const std::optional<platform::FileStamp>& stamp) {
  // The record: the name length (7-bit groups), the name, a byte of flags
  // telling which fields follow, then those fields.
  char head[16];
  std::size_t headSize = 0;
  for (std::size_t value = name.size();; value >>= 7) {
    if (value < 0x80) {
      head[headSize++] = static_cast<char>(value);
      break;
    }
    head[headSize++] = static_cast<char>((value & 0x7F) | 0x80);
  }
  char tail[1 + sizeof(std::uint64_t) + sizeof(std::int64_t) + sizeof(std::uint32_t)];
  std::size_t tailSize = 1;
  unsigned char flags = 0;
  if (stamp) flags = kStamped | (stamp->size ? kSize : 0) | (stamp->creation ? kCreation : 0);
  tail[0] = static_cast<char>(flags);
  auto put = [&](const auto& value) {
    std::memcpy(tail + tailSize, &value, sizeof value);
    tailSize += sizeof value;
  };
  if (flags & kSize) put(*stamp->size);
  if (flags & kCreation) {
    put(stamp->creation->seconds);
    put(stamp->creation->nanoseconds);
  }
  const std::size_t size = headSize + name.size() + tailSize;
  if (blocks_.empty() || blocks_.back().size - blocks_.back().used < size) {
    constexpr std::size_t kFirst = 256, kLargest = std::size_t{256} << 10;
    const std::size_t next = blocks_.empty() ? kFirst : std::min(blocks_.back().size * 2, kLargest);
    Block& block = blocks_.emplace_back();
    block.size = std::max(next, size);
    block.owned = std::make_unique_for_overwrite<char[]>(block.size);
    block.bytes = block.owned.get();
    stored_ += block.size;
  }
  Block& block = blocks_.back();
  order_.push_back({static_cast<std::uint32_t>(blocks_.size() - 1), static_cast<std::uint32_t>(block.used)});
  char* out = block.bytes + block.used;
  std::memcpy(out, head, headSize);
  std::memcpy(out + headSize, name.data(), name.size());
  std::memcpy(out + headSize + name.size(), tail, tailSize);
  block.used += size;
}

std::size_t FileRecords::recordBytes() const {
  std::size_t total = 0;
  for (const Block& block : blocks_) total += block.used;
  return total;
}

FileRecords FileRecords::Pack(char* out) const {
  FileRecords packed;
  std::vector<std::size_t> starts;
  std::size_t at = 0;
  for (const Block& block : blocks_) {
    starts.push_back(at);
    std::memcpy(out + at, block.bytes, block.used);
    at += block.used;
  }
  Block& whole = packed.blocks_.emplace_back();
  whole.bytes = out;
  whole.size = whole.used = at;
  packed.order_.reserve(order_.size());
  for (const Ref ref : order_) packed.order_.push_back({0, static_cast<std::uint32_t>(starts[ref.block] + ref.offset)});
  packed.stored_ = at;
  return packed;
}

void FileRecords::Sort() {
  std::vector<SortItem> items;
  items.reserve(order_.size());
  FileRef file;
  for (const Ref ref : order_) {
    Decode(ref, file);
    items.push_back({file.name.data(), static_cast<std::uint32_t>(file.name.size()), ref});
  }
  SortArray(items, [] {});
  for (std::size_t i = 0; i < items.size(); ++i) order_[i] = items[i].ref;
}

void FileRecords::Decode(Ref ref, FileRef& file) const {
  const char* p = blocks_[ref.block].bytes + ref.offset;
  std::size_t length = 0;
  for (int shift = 0;; shift += 7) {
    const auto byte = static_cast<unsigned char>(*p++);
    length |= static_cast<std::size_t>(byte & 0x7F) << shift;
    if (byte < 0x80) break;
  }
  file.name = std::string_view(p, length);
  p += length;
  const auto flags = static_cast<unsigned char>(*p++);
  file.stamped = flags & kStamped;
  file.size.reset();
  file.creation.reset();
  if (flags & kSize) {
    file.size = GetRaw<std::uint64_t>(p);
    p += sizeof(std::uint64_t);
  }
  if (flags & kCreation) {
    platform::UtcTime time;
    time.seconds = GetRaw<std::int64_t>(p);
    time.nanoseconds = GetRaw<std::uint32_t>(p + sizeof(std::int64_t));
    file.creation = time;
  }
}

std::size_t FolderRead::bytes() const {
  std::size_t total = sizeof(FolderRead) + files.bytes() + text.capacity();
  for (const std::string& name : folders) total += sizeof(std::string) + name.capacity();
  return total;
}

namespace {

void MakeLines(const ReadRequest& request, const FileRecords& files, unsigned worker, FolderRead& read) {
  if (request.lines == nullptr || files.empty() || files.recordBytes() > kLargestFormattedAhead) return;
  read.unstamped = (*request.lines)(request.path, request.relativeStart, files, worker, read.text);
  read.formatted = true;
}

}  // namespace

FolderRead ReadFolder(const ReadRequest& request, const std::function<bool()>& keepGoing, unsigned worker) {
  FolderRead read;
  if (request.kept != nullptr) {
    MakeLines(request, *request.kept, worker, read);
    return read;
  }
  read.handle = request.folder;
  if (!read.handle) {
    platform::OpenResult opened = request.parent->OpenChild(request.name);
    if (!opened.folder) {
      read.error = opened.error;
      read.outcome = IsChange(opened.error) ? FolderRead::Outcome::Changed : FolderRead::Outcome::Unreadable;
      return read;
    }
    read.handle = std::move(opened.folder);
  }
  read.id = read.handle->id();
  if (request.expected && read.id != request.expected) {
    read.outcome = FolderRead::Outcome::Changed;
    read.handle.reset();
    return read;
  }
  platform::Folder& folder = *read.handle;
  const bool wantStamps = request.wanted.size || request.wanted.times;
  read.collected = request.files;
  bool collect = request.files;
  platform::DirEntry entry;
  unsigned sinceCheck = 0;
  while (folder.Next(entry)) {
    if (++sinceCheck == kCheckEvery) {
      sinceCheck = 0;
      if (keepGoing && !keepGoing()) {
        read.outcome = FolderRead::Outcome::Stopped;
        return read;
      }
    }
    switch (entry.kind) {
      case platform::EntryKind::Folder:
        if (request.folders) read.folders.emplace_back(entry.name);
        break;
      case platform::EntryKind::File:
        ++read.filesSeen;
        if (!collect) break;
        if (read.files.bytes() > request.fileBudget) {
          collect = false;
          read.collected = false;
          read.files = FileRecords();
          break;
        }
        // Size and times the enumeration did not deliver are read now, with
        // the folder open, and only when a ticked column shows them. Names
        // only: an empty stamp still counts as read.
        if (!wantStamps) {
          read.files.Add(entry.name, platform::FileStamp{});
        } else if (entry.stamp) {
          read.files.Add(entry.name, entry.stamp);
        } else {
          read.files.Add(entry.name, folder.Stat(entry.name, request.wanted));
        }
        break;
      case platform::EntryKind::LinkedFolder:
        break;
    }
  }
  read.error = folder.error();
  read.files.Sort();
  read.files.Shrink();
  if (read.collected) MakeLines(request, read.files, worker, read);
  return read;
}

}  // namespace vexaro::engine
