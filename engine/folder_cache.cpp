#include "engine/folder_cache.h"

#include <cstring>

namespace vexaro::engine {
namespace {

// Record layout, entry after entry: the name length (7-bit groups), the name,
// a byte of flags telling which stamp fields follow, then those fields.
enum Flag : unsigned char {
  kHasStamp = 1,
  kSize = 2,
  kCreation = 4,
  kLastWrite = 8,
  kLastAccess = 16,
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

void PutTime(std::string& out, const platform::UtcTime& time) {
  PutRaw(out, time.seconds);
  PutRaw(out, time.nanoseconds);
}

class Reader {
 public:
  explicit Reader(const std::string& record) : p_(record.data()), end_(p_ + record.size()) {}
  bool AtEnd() const { return p_ == end_; }
  std::size_t Length() {
    std::size_t value = 0;
    for (int shift = 0;; shift += 7) {
      const auto byte = static_cast<unsigned char>(*p_++);
      value |= static_cast<std::size_t>(byte & 0x7F) << shift;
      if (byte < 0x80) return value;
    }
  }
  std::string Bytes(std::size_t count) {
    std::string text(p_, count);
    p_ += count;
    return text;
  }
  unsigned char Byte() { return static_cast<unsigned char>(*p_++); }
  template <class T>
  T Raw() {
    T value;
    std::memcpy(&value, p_, sizeof(T));
    p_ += sizeof(T);
    return value;
  }
  platform::UtcTime Time() {
    platform::UtcTime time;
    time.seconds = Raw<std::int64_t>();
    time.nanoseconds = Raw<std::uint32_t>();
    return time;
  }

 private:
  const char* p_;
  const char* end_;
};

}  // namespace

FolderCache::Id FolderCache::Begin() {
  if (full_) return kNotKept;
  records_.emplace_back();
  counts_.push_back(0);
  return static_cast<Id>(records_.size() - 1);
}

void FolderCache::Add(Id id, const platform::DirEntry& entry) {
  if (id >= records_.size()) return;
  std::string& record = records_[id];
  ++counts_[id];
  PutLength(record, entry.name.size());
  record.append(entry.name);
  unsigned char flags = 0;
  if (const auto& s = entry.stamp) {
    flags = kHasStamp | (s->size ? kSize : 0) | (s->creation ? kCreation : 0) |
            (s->lastWrite ? kLastWrite : 0) | (s->lastAccess ? kLastAccess : 0);
  }
  record.push_back(static_cast<char>(flags));
  if (const auto& s = entry.stamp) {
    if (s->size) PutRaw(record, *s->size);
    if (s->creation) PutTime(record, *s->creation);
    if (s->lastWrite) PutTime(record, *s->lastWrite);
    if (s->lastAccess) PutTime(record, *s->lastAccess);
  }
}

FolderCache::Id FolderCache::End(Id id) {
  if (id >= records_.size()) return id;
  std::string& record = records_[id];
  record.shrink_to_fit();
  const std::size_t size = record.capacity() + sizeof(std::string);
  if (used_ + size > budget_) {
    full_ = true;
    std::string().swap(record);
    return kNotKept;
  }
  used_ += size;
  return id;
}

void FolderCache::Load(Id id, FolderFiles& files) const {
  if (id >= records_.size()) return;
  files.entries.reserve(files.entries.size() + counts_[id]);
  Reader in(records_[id]);
  while (!in.AtEnd()) {
    FileEntry& file = files.entries.emplace_back();
    file.name = in.Bytes(in.Length());
    const unsigned char flags = in.Byte();
    if (flags & kHasStamp) {
      platform::FileStamp stamp;
      if (flags & kSize) stamp.size = in.Raw<std::uint64_t>();
      if (flags & kCreation) stamp.creation = in.Time();
      if (flags & kLastWrite) stamp.lastWrite = in.Time();
      if (flags & kLastAccess) stamp.lastAccess = in.Time();
      file.stamp = static_cast<std::uint32_t>(files.stamps.size());
      files.stamps.push_back(stamp);
    }
  }
}

void FolderCache::Release(Id id) {
  if (id >= records_.size()) return;
  std::string().swap(records_[id]);
}

}  // namespace vexaro::engine
