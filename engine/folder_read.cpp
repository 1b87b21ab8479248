#include "engine/folder_read.h"

#include <cstring>
#include <utility>

#include "engine/sort.h"

namespace vexaro::engine {
namespace {

// Record layout: the name length (7-bit groups), the name, a byte of flags
// telling which fields follow, then those fields.
enum Flag : unsigned char {
  kStamped = 1,
  kSize = 2,
  kCreation = 4,
};

void PutLength(std::string& out, std::size_t value) {
  while (value >= 0x80) {
    out.push_back(static_cast<char>((value & 0x7F) | 0x80));
    value >>= 7;
  }
  out.push_back(static_cast<char>(value));
}

template <class T>
void PutRaw(std::string& out, const T& value) {
  char bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));
  out.append(bytes, sizeof(T));
}

template <class T>
T GetRaw(const char* p) {
  T value;
  std::memcpy(&value, p, sizeof(T));
  return value;
}

struct Entry {
  std::string name;
  std::optional<platform::FileStamp> stamp;
};

std::string_view SortKey(const Entry& entry) noexcept { return entry.name; }

constexpr unsigned kCheckEvery = 256;

}  // namespace

bool IsChange(std::error_code error) {
  return error == std::errc::too_many_symbolic_link_levels || error == std::errc::not_a_directory;
}

void FileRecords::Add(std::string_view name, const std::optional<platform::FileStamp>& stamp) {
  ++count_;
  PutLength(data_, name.size());
  data_.append(name);
  unsigned char flags = 0;
  if (stamp) flags = kStamped | (stamp->size ? kSize : 0) | (stamp->creation ? kCreation : 0);
  data_.push_back(static_cast<char>(flags));
  if (flags & kSize) PutRaw(data_, *stamp->size);
  if (flags & kCreation) {
    PutRaw(data_, stamp->creation->seconds);
    PutRaw(data_, stamp->creation->nanoseconds);
  }
}

std::size_t FileRecords::Decode(std::size_t at, FileRef& file) const {
  const char* p = data_.data() + at;
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
    p += sizeof(std::int64_t) + sizeof(std::uint32_t);
  }
  return static_cast<std::size_t>(p - data_.data());
}

std::size_t FolderRead::bytes() const {
  std::size_t total = sizeof(FolderRead) + files.bytes();
  for (const std::string& name : folders) total += sizeof(std::string) + name.capacity();
  return total;
}

FolderRead ReadFolder(const ReadRequest& request, const std::function<bool()>& keepGoing) {
  FolderRead read;
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
  std::vector<Entry> files;
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
      case platform::EntryKind::File: {
        ++read.filesSeen;
        if (!request.files) break;
        Entry& file = files.emplace_back();
        file.name = entry.name;
        // Size and times the enumeration did not deliver are read now, with
        // the folder open, and only when a ticked column shows them.
        if (entry.stamp) {
          file.stamp = entry.stamp;
        } else if (wantStamps) {
          file.stamp = folder.Stat(file.name, request.wanted);
        }
        break;
      }
      case platform::EntryKind::LinkedFolder:
        break;
    }
  }
  read.error = folder.error();
  SortArray(files, [] {});
  for (const Entry& file : files) {
    // Names only: an empty stamp still counts as read.
    read.files.Add(file.name, wantStamps ? file.stamp : std::optional(platform::FileStamp{}));
  }
  read.files.Shrink();
  return read;
}

}  // namespace vexaro::engine
