// Folder enumeration on Linux: getdents64 into a large buffer, the entry
// kind from d_type, and statx relative to the open folder for everything
// else, so that a file costs at most one look-up and no path is ever built.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/posix/directory_search.h"
#include "platform/posix/fd.h"

namespace vexaro::platform::posix {
namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

constexpr int kReadFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
constexpr unsigned kTimeMask = STATX_BTIME | STATX_MTIME | STATX_ATIME;

// The fixed head of a record that getdents64 writes; the NUL-terminated name
// follows it.
struct DirentHead {
  std::uint64_t ino;
  std::int64_t off;
  unsigned short reclen;
  unsigned char type;
};
constexpr std::size_t kNameOffset = offsetof(DirentHead, type) + 1;

std::int64_t MonotonicMilliseconds() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

UtcTime ToUtc(const statx_timestamp& t) { return {t.tv_sec, t.tv_nsec}; }

// The fields of `st` that the caller asked for and the file system gave.
// Without a birth time the creation time is the last-write time.
FileStamp StampOf(const struct statx& st, StampFields wanted) {
  FileStamp stamp;
  if (wanted.size && (st.stx_mask & STATX_SIZE)) stamp.size = st.stx_size;
  if (wanted.times) {
    if (st.stx_mask & STATX_MTIME) stamp.lastWrite = ToUtc(st.stx_mtime);
    if (st.stx_mask & STATX_ATIME) stamp.lastAccess = ToUtc(st.stx_atime);
    stamp.creation = (st.stx_mask & STATX_BTIME) ? std::optional(ToUtc(st.stx_btime)) : stamp.lastWrite;
  }
  return stamp;
}

unsigned MaskFor(StampFields wanted) {
  return (wanted.size ? STATX_SIZE : 0u) | (wanted.times ? kTimeMask : 0u);
}

// A link to a file stands for that file; a link that leads nowhere (dangling,
// a loop of links, a target out of reach) stands for itself.
bool StatFollowing(int dirFd, const char* name, unsigned mask, struct statx& st) {
  if (::statx(dirFd, name, AT_STATX_DONT_SYNC, mask, &st) == 0) return true;
  return ::statx(dirFd, name, AT_STATX_DONT_SYNC | AT_SYMLINK_NOFOLLOW, mask, &st) == 0;
}

bool IsDotOrDotDot(std::string_view name) { return name == "." || name == ".."; }

}  // namespace

// The descriptors kept between calls: a chain of folders, each an ancestor of
// the next, ending at (or just above) the folder opened last. The walk visits
// folders level by level with siblings together, the listing in the order of
// their paths; in both, the next folder's parent is nearly always in the
// chain, so opening it costs one openat.
//
// The first entry (the anchor) was opened as the kernel resolves a path,
// following links, as the start folder given by the user must be. Below it,
// folders are opened without following links: the walk never enters one, so
// in the usual case this costs nothing. A link met there (a start folder that
// the user reached through a link below an earlier start folder, or a folder
// replaced by a link since the walk saw it) is followed by opening the whole
// path afresh, as the kernel resolves it; the walk's identity check keeps
// that from looping. A target that is not below the anchor starts a new
// chain.
class KeptFolders {
 public:
  KeptFolders(std::size_t maxKept, std::chrono::milliseconds idleLimit)
      : maxKept_(maxKept), idleLimit_(idleLimit.count()) {}

  struct Opened {
    UniqueFd fd;
    bool rewind = false;  // the descriptor has been read: seek to the start
    std::error_code error;
  };

  // Opens the folder `key` (a path ending in '/') for reading.
  Opened Open(const std::string& key) {
    std::lock_guard lock(mutex_);
    ForgetIfIdle();
    lastUse_ = MonotonicMilliseconds();
    while (!chain_.empty() && !key.starts_with(chain_.back().key)) chain_.pop_back();
    if (chain_.empty()) return OpenFresh(key);

    if (chain_.back().key.size() == key.size()) {
      Kept same = std::move(chain_.back());
      chain_.pop_back();
      if (!same.pathOnly) return {std::move(same.fd), same.read, {}};
      Opened opened;
      opened.fd.reset(::openat(same.fd.get(), ".", kReadFlags));
      if (!opened.fd) opened.error = LastError();
      return opened;
    }

    // Down from the deepest kept ancestor, one component at a time; the
    // folders passed through are kept as bases for their other children.
    std::string_view rest = std::string_view(key).substr(chain_.back().key.size());
    std::size_t done = chain_.back().key.size();
    while (true) {
      const std::size_t slash = rest.find('/');
      const std::string_view component = rest.substr(0, slash);
      const bool last = slash + 1 == rest.size();
      if (component.empty() || IsDotOrDotDot(component)) return OpenFresh(key);
      name_.assign(component);
      const int flags = (last ? kReadFlags : O_PATH | O_DIRECTORY | O_CLOEXEC) | O_NOFOLLOW;
      UniqueFd fd(::openat(chain_.back().fd.get(), name_.c_str(), flags));
      if (!fd) {
        // A link on the way (or something else in the way): follow it.
        if (errno == ELOOP || errno == ENOTDIR) return OpenFresh(key);
        return {{}, false, LastError()};
      }
      if (last) return {std::move(fd), false, {}};
      done += slash + 1;
      Push({key.substr(0, done), std::move(fd), true, false});
      rest.remove_prefix(slash + 1);
    }
  }

  void Clear() {
    std::lock_guard lock(mutex_);
    chain_.clear();
  }

  // Takes back the descriptor of a folder that is closed, as the deepest
  // entry of the chain.
  void GiveBack(std::string key, UniqueFd fd, bool read) {
    std::lock_guard lock(mutex_);
    while (!chain_.empty() && !(key.size() > chain_.back().key.size() && key.starts_with(chain_.back().key))) {
      chain_.pop_back();
    }
    Push({std::move(key), std::move(fd), false, read});
    lastUse_ = MonotonicMilliseconds();
  }

  std::unique_ptr<char[]> TakeBuffer() {
    std::lock_guard lock(mutex_);
    if (spare_) return std::move(spare_);
    return std::make_unique_for_overwrite<char[]>(kBufferSize);
  }

  void ReturnBuffer(std::unique_ptr<char[]> buffer) {
    std::lock_guard lock(mutex_);
    if (!spare_) spare_ = std::move(buffer);
  }

  std::size_t size() const {
    std::lock_guard lock(mutex_);
    return chain_.size();
  }

 private:
  struct Kept {
    std::string key;
    UniqueFd fd;
    bool pathOnly;  // O_PATH: a base for look-ups that cannot be read
    bool read;
  };

  Opened OpenFresh(const std::string& key) {
    chain_.clear();
    Opened opened;
    opened.fd = OpenAnyLength(key, kReadFlags, opened.error);
    return opened;
  }

  // Keeps the anchor and the deepest entries: a path deeper than the limit
  // loses the folders just below the anchor, which a walk needs least.
  void Push(Kept kept) {
    if (maxKept_ == 0) return;
    if (chain_.size() >= maxKept_) chain_.erase(chain_.begin() + (chain_.size() > 1 ? 1 : 0));
    chain_.push_back(std::move(kept));
  }

  void ForgetIfIdle() {
    if (!chain_.empty() && MonotonicMilliseconds() - lastUse_ > idleLimit_) chain_.clear();
  }

  mutable std::mutex mutex_;
  const std::size_t maxKept_;
  const std::int64_t idleLimit_;
  std::vector<Kept> chain_;
  std::int64_t lastUse_ = 0;
  std::string name_;
  std::unique_ptr<char[]> spare_;
};

namespace {

class PosixFolder final : public Folder {
 public:
  PosixFolder(std::shared_ptr<KeptFolders> kept, std::string key, UniqueFd fd, bool rewind)
      : kept_(std::move(kept)), key_(std::move(key)), fd_(std::move(fd)), rewind_(rewind), read_(rewind) {}

  ~PosixFolder() override {
    if (buffer_) kept_->ReturnBuffer(std::move(buffer_));
    if (!error_) kept_->GiveBack(std::move(key_), std::move(fd_), read_);
  }

  bool Next(DirEntry& entry) override {
    while (true) {
      if (pos_ >= end_ && !Fill()) return false;
      DirentHead head;
      std::memcpy(&head, buffer_.get() + pos_, sizeof head);
      const char* name = buffer_.get() + pos_ + kNameOffset;
      pos_ += head.reclen;
      entry.name = std::string_view(name);
      if (IsDotOrDotDot(entry.name)) continue;
      entry.stamp.reset();
      switch (head.type) {
        case DT_DIR:
          entry.kind = EntryKind::Folder;
          break;
        case DT_LNK:
          Link(name, entry);
          break;
        case DT_UNKNOWN:
          Unknown(name, entry);
          break;
        default:
          entry.kind = EntryKind::File;
          break;
      }
      return true;
    }
  }

  std::error_code error() const override { return error_; }

  std::optional<FolderId> id() const override {
    if (!idRead_) {
      idRead_ = true;
      struct stat st{};
      if (::fstat(fd_.get(), &st) == 0) {
        id_ = FolderId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
      }
    }
    return id_;
  }

  std::optional<FileStamp> Stat(std::string_view name, StampFields wanted) override {
    name_.assign(name);
    struct statx st{};
    if (!StatFollowing(fd_.get(), name_.c_str(), MaskFor(wanted), st)) return std::nullopt;
    return StampOf(st, wanted);
  }

 private:
  bool Fill() {
    if (done_) return false;
    if (!buffer_) buffer_ = kept_->TakeBuffer();
    if (rewind_) {
      rewind_ = false;
      if (::lseek(fd_.get(), 0, SEEK_SET) < 0) return Fail();
    }
    const long count = ::syscall(SYS_getdents64, fd_.get(), buffer_.get(), kBufferSize);
    if (count < 0) return Fail();
    read_ = true;
    pos_ = 0;
    end_ = static_cast<std::size_t>(count);
    done_ = count == 0;
    return !done_;
  }

  bool Fail() {
    error_ = LastError();
    done_ = true;
    return false;
  }

  void Link(const char* name, DirEntry& entry) {
    struct statx st{};
    const unsigned mask = STATX_TYPE | STATX_SIZE | kTimeMask;
    entry.kind = EntryKind::File;
    if (::statx(fd_.get(), name, AT_STATX_DONT_SYNC, mask, &st) == 0) {
      if (S_ISDIR(st.stx_mode)) {
        entry.kind = EntryKind::LinkedFolder;
        return;
      }
    } else if (::statx(fd_.get(), name, AT_STATX_DONT_SYNC | AT_SYMLINK_NOFOLLOW, mask, &st) != 0) {
      return;  // vanished: listed, its size and times unknown
    }
    entry.stamp = StampOf(st, {true, true});
  }

  // File systems that do not fill d_type.
  void Unknown(const char* name, DirEntry& entry) {
    struct statx st{};
    const unsigned mask = STATX_TYPE | STATX_SIZE | kTimeMask;
    entry.kind = EntryKind::File;
    if (::statx(fd_.get(), name, AT_STATX_DONT_SYNC | AT_SYMLINK_NOFOLLOW, mask, &st) != 0) return;
    if (S_ISDIR(st.stx_mode)) {
      entry.kind = EntryKind::Folder;
    } else if (S_ISLNK(st.stx_mode)) {
      Link(name, entry);
    } else {
      entry.stamp = StampOf(st, {true, true});
    }
  }

  std::shared_ptr<KeptFolders> kept_;
  std::string key_;
  UniqueFd fd_;
  bool rewind_;
  bool read_;
  bool done_ = false;
  std::error_code error_;
  std::unique_ptr<char[]> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  std::string name_;
  mutable bool idRead_ = false;
  mutable std::optional<FolderId> id_;
};

}  // namespace

PosixDirectorySearch::PosixDirectorySearch(std::size_t maxKept, std::chrono::milliseconds idleLimit)
    : kept_(std::make_shared<KeptFolders>(maxKept, idleLimit)) {}

PosixDirectorySearch::~PosixDirectorySearch() = default;

OpenResult PosixDirectorySearch::OpenFolder(std::string_view path) {
  if (path.empty()) return {nullptr, std::make_error_code(std::errc::no_such_file_or_directory)};
  std::string key(path);
  if (key.back() != '/') key.push_back('/');
  auto opened = kept_->Open(key);
  if (!opened.fd) return {nullptr, opened.error};
  return {std::make_unique<PosixFolder>(kept_, std::move(key), std::move(opened.fd), opened.rewind), {}};
}

std::size_t PosixDirectorySearch::keptCount() const { return kept_->size(); }

void PosixDirectorySearch::Release() { kept_->Clear(); }

}  // namespace vexaro::platform::posix
