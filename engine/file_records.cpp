#include "engine/file_records.h"

#include <algorithm>
#include <cstring>
#include <iterator>
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

void PutNumber(char*& out, std::uint64_t value) {
  // 7 bits per byte, low ones first; the high bit tells that more follow.
  while (value >= 0x80) {
    *out++ = static_cast<char>((value & 0x7F) | 0x80);
    value >>= 7;
  }
  *out++ = static_cast<char>(value);
}

std::uint64_t GetNumber(const char*& p) {
  std::uint64_t value = 0;
  for (int shift = 0;; shift += 7) {
    const auto byte = static_cast<unsigned char>(*p++);
    value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
    if (byte < 0x80) return value;
  }
}

// A signed difference as a small unsigned number: 0, -1, 1, -2, ... become
// 0, 1, 2, 3, ... Worked modulo 2^64, so that any two times have one.
std::uint64_t ZigZag(std::uint64_t difference) { return (difference << 1) ^ (0 - (difference >> 63)); }
std::uint64_t UnZigZag(std::uint64_t value) { return (value >> 1) ^ (0 - (value & 1)); }

}  // namespace

bool FileRecords::Add(std::string_view name, const std::optional<platform::FileStamp>& stamp) {
  // The record: the name's length, the name, a byte of flags telling which
  // fields follow, then those fields.
  unsigned char flags = 0;
  if (stamp) flags = kStamped | (stamp->size ? kSize : 0) | (stamp->creation ? kCreation : 0);
  if ((flags & kCreation) && !hasBase_) {
    baseSeconds_ = stamp->creation->seconds;
    hasBase_ = true;
  }
  char fields[1 + 10 + 10 + sizeof(std::uint32_t)];
  char* end = fields;
  *end++ = static_cast<char>(flags);
  if (flags & kSize) PutNumber(end, *stamp->size);
  if (flags & kCreation) {
    PutNumber(end,
              ZigZag(static_cast<std::uint64_t>(stamp->creation->seconds) - static_cast<std::uint64_t>(baseSeconds_)));
    std::memcpy(end, &stamp->creation->nanoseconds, sizeof(std::uint32_t));
    end += sizeof(std::uint32_t);
  }
  char head[10];
  char* headEnd = head;
  PutNumber(headEnd, name.size());
  const auto headSize = static_cast<std::size_t>(headEnd - head);
  const auto fieldsSize = static_cast<std::size_t>(end - fields);
  const std::size_t size = headSize + name.size() + fieldsSize;
  if (size > kMaxBytes - used_) return false;
  if (blocks_.empty() || blocks_.back().size - blocks_.back().used < size) {
    constexpr std::size_t kFirst = 512, kLargest = std::size_t{256} << 10;
    const std::size_t next = blocks_.empty() ? kFirst : std::min(blocks_.back().size * 2, kLargest);
    Block& block = blocks_.emplace_back();
    block.size = std::max(next, size);
    block.owned = std::make_unique_for_overwrite<char[]>(block.size);
    block.bytes = block.owned.get();
    block.start = used_;
    stored_ += block.size;
  }
  Block& block = blocks_.back();
  // Most folders hold a few files: one allocation for their index, not five.
  if (order_.empty()) order_.reserve(16);
  order_.push_back(static_cast<Ref>(used_));
  char* out = block.bytes + block.used;
  std::memcpy(out, head, headSize);
  std::memcpy(out + headSize, name.data(), name.size());
  std::memcpy(out + headSize + name.size(), fields, fieldsSize);
  block.used += size;
  used_ += size;
  return true;
}

FileRecords FileRecords::Pack(char* out) && {
  // Refs count the used bytes of the blocks in order: laid end to end, the
  // blocks keep them.
  std::size_t at = 0;
  for (const Block& block : blocks_) {
    std::memcpy(out + at, block.bytes, block.used);
    at += block.used;
  }
  FileRecords packed;
  // The vectors move along, so that keeping a folder allocates nothing.
  packed.blocks_ = std::move(blocks_);
  packed.blocks_.clear();
  Block& whole = packed.blocks_.emplace_back();
  whole.bytes = out;
  whole.size = whole.used = at;
  packed.order_ = std::move(order_);
  packed.stored_ = packed.used_ = at;
  packed.baseSeconds_ = baseSeconds_;
  packed.hasBase_ = hasBase_;
  *this = FileRecords();
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
  const Block* block = &blocks_.front();
  if (blocks_.size() > 1) {
    block = &*std::prev(std::upper_bound(blocks_.begin(), blocks_.end(), std::size_t{ref},
                                         [](std::size_t at, const Block& b) { return at < b.start; }));
  }
  const char* p = block->bytes + (ref - block->start);
  const std::uint64_t length = GetNumber(p);
  file.name = std::string_view(p, length);
  p += length;
  const auto flags = static_cast<unsigned char>(*p++);
  file.stamped = flags & kStamped;
  file.size.reset();
  file.creation.reset();
  if (flags & kSize) file.size = GetNumber(p);
  if (flags & kCreation) {
    platform::UtcTime time;
    time.seconds = static_cast<std::int64_t>(static_cast<std::uint64_t>(baseSeconds_) + UnZigZag(GetNumber(p)));
    time.nanoseconds = GetRaw<std::uint32_t>(p);
    file.creation = time;
  }
}

}  // namespace vexaro::engine
