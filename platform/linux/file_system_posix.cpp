// Folder enumeration on Linux: getdents64 into a large buffer, the entry
// kind from d_type, and statx relative to the open folder for everything
// else, so that a file costs at most one look-up and no path is ever built.

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/directory_search.h"
#include "platform/linux/fd.h"

namespace vexaro::platform::posix {
namespace {

constexpr std::size_t kBufferSize = 64 * 1024;

constexpr int kReadFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
constexpr unsigned kTimeMask = STATX_BTIME | STATX_MTIME;

// The fixed head of a record that getdents64 writes; the NUL-terminated name
// follows it.
struct DirentHead {
  std::uint64_t ino;
  std::int64_t off;
  unsigned short reclen;
  unsigned char type;
};
constexpr std::size_t kNameOffset = offsetof(DirentHead, type) + 1;

UtcTime ToUtc(const statx_timestamp& t) { return {t.tv_sec, t.tv_nsec}; }

// The fields of `st` that the caller asked for and the file system gave.
// Without a recorded birth time the creation time is the last-write time.
FileStamp StampOf(const struct statx& st, StampFields wanted) {
  FileStamp stamp;
  if (wanted.size && (st.stx_mask & STATX_SIZE)) stamp.size = st.stx_size;
  if (wanted.times) {
    // A birth time of exactly 0 is what images made without one record.
    const bool born = (st.stx_mask & STATX_BTIME) && (st.stx_btime.tv_sec != 0 || st.stx_btime.tv_nsec != 0);
    if (born) {
      stamp.creation = ToUtc(st.stx_btime);
    } else if (st.stx_mask & STATX_MTIME) {
      stamp.creation = ToUtc(st.stx_mtime);
    }
  }
  return stamp;
}

unsigned MaskFor(StampFields wanted) { return (wanted.size ? STATX_SIZE : 0u) | (wanted.times ? kTimeMask : 0u); }

// A link to a file stands for that file; a link that leads nowhere (dangling,
// a loop of links, a target out of reach) stands for itself.
bool StatFollowing(int dirFd, const char* name, unsigned mask, struct statx& st) {
  if (::statx(dirFd, name, AT_STATX_DONT_SYNC, mask, &st) == 0) return true;
  return ::statx(dirFd, name, AT_STATX_DONT_SYNC | AT_SYMLINK_NOFOLLOW, mask, &st) == 0;
}

bool IsDotOrDotDot(std::string_view name) { return name == "." || name == ".."; }

}  // namespace

namespace {

// A spare enumeration buffer per thread: folders are opened and closed by the
// hundred thousand, and a fresh 64 KiB each time would cost more than the
// getdents that fills it.
thread_local std::unique_ptr<char[]> spareBuffer;

std::unique_ptr<char[]> TakeBuffer() {
  if (spareBuffer) return std::move(spareBuffer);
  return std::make_unique_for_overwrite<char[]>(kBufferSize);
}

// A name as a C string, without allocating for the usual short name.
class CName {
 public:
  explicit CName(std::string_view name) {
    if (name.size() < sizeof small_) {
      std::memcpy(small_, name.data(), name.size());
      small_[name.size()] = '\0';
      text_ = small_;
    } else {
      large_.assign(name);
      text_ = large_.c_str();
    }
  }
  const char* c_str() const { return text_; }

 private:
  char small_[256];
  std::string large_;
  const char* text_;
};

class PosixFolder final : public Folder {
 public:
  PosixFolder(UniqueFd fd, FolderId id, std::uint64_t mount) : fd_(std::move(fd)), id_(id), mount_(mount) {}

  ~PosixFolder() override { ReleaseBuffer(); }

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

  std::optional<FolderId> id() const override { return id_; }
  std::uint64_t mount() const override { return mount_; }

  std::optional<FileStamp> Stat(std::string_view name, StampFields wanted) override {
    struct statx st {};
    // A name Next handed out lies in the buffer, ended by its NUL already:
    // the usual case, a million times in a large listing, needs no copy.
    const bool inBuffer =
        buffer_ && InBuffer(name.data()) && InBuffer(name.data() + name.size()) && name.data()[name.size()] == '\0';
    const char* path = inBuffer ? name.data() : nullptr;
    std::optional<CName> copy;
    if (!path) path = copy.emplace(name).c_str();
    if (!StatFollowing(fd_.get(), path, MaskFor(wanted) | STATX_TYPE, st)) return std::nullopt;
    // Listed as a file, a folder now (or a link to one, swapped in since
    // the enumeration): none of that folder's values belong on the line.
    if ((st.stx_mask & STATX_TYPE) && S_ISDIR(st.stx_mode)) return std::nullopt;
    return StampOf(st, wanted);
  }

  OpenResult OpenChild(std::string_view name) override {
    if (name.empty() || IsDotOrDotDot(name) || name.find('/') != std::string_view::npos) {
      return {nullptr, std::make_error_code(std::errc::invalid_argument)};
    }
    const CName cname(name);
    const int raw = ::openat(fd_.get(), cname.c_str(), kReadFlags | O_NOFOLLOW);
    if (raw < 0 && errno == ENOTDIR) {
      // O_DIRECTORY answers a link with ENOTDIR: tell a link from a file.
      struct stat st {};
      if (::fstatat(fd_.get(), cname.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
        return {nullptr, std::make_error_code(std::errc::too_many_symbolic_link_levels)};
      }
      errno = ENOTDIR;
    }
    return Adopt(raw);
  }

  OpenResult OpenParent() override { return Adopt(::openat(fd_.get(), "..", kReadFlags)); }

  // Takes an open descriptor (or -1 after a failed open) and reads its
  // identity at once, so that the identity is that of what was opened.
  static OpenResult Adopt(int raw) {
    UniqueFd fd(raw);
    if (!fd) {
      // O_NOFOLLOW on a link gives ELOOP; O_DIRECTORY on a file ENOTDIR.
      return {nullptr, LastError()};
    }
    // One call for the identity and the mount, where the kernel has both.
    struct statx sx {};
    if (::statx(fd.get(), "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, STATX_INO | STATX_MNT_ID, &sx) == 0 &&
        (sx.stx_mask & STATX_INO)) {
      const FolderId id{makedev(sx.stx_dev_major, sx.stx_dev_minor), sx.stx_ino};
      const std::uint64_t mount = (sx.stx_mask & STATX_MNT_ID) ? sx.stx_mnt_id : 0;
      return {std::make_unique<PosixFolder>(std::move(fd), id, mount), {}};
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return {nullptr, LastError()};
    const FolderId id{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
    return {std::make_unique<PosixFolder>(std::move(fd), id, 0), {}};
  }

 private:
  bool Fill() {
    if (done_) return false;
    if (!buffer_) buffer_ = TakeBuffer();
    const long count = ::syscall(SYS_getdents64, fd_.get(), buffer_.get(), kBufferSize);
    if (count < 0) {
      error_ = LastError();
      done_ = true;
      ReleaseBuffer();
      return false;
    }
    pos_ = 0;
    end_ = static_cast<std::size_t>(count);
    done_ = count == 0;
    // A folder read to its end is often kept open a while longer, to open
    // its subfolders from: its buffer goes now.
    if (done_) ReleaseBuffer();
    return !done_;
  }

  bool InBuffer(const char* at) const {
    const auto start = reinterpret_cast<std::uintptr_t>(buffer_.get());
    const auto where = reinterpret_cast<std::uintptr_t>(at);
    return where >= start && where < start + end_;
  }

  void ReleaseBuffer() {
    if (buffer_ && !spareBuffer) spareBuffer = std::move(buffer_);
    buffer_.reset();
  }

  void Link(const char* name, DirEntry& entry) {
    struct statx st {};
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
    struct statx st {};
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

  UniqueFd fd_;
  FolderId id_;
  std::uint64_t mount_;
  bool done_ = false;
  std::error_code error_;
  std::unique_ptr<char[]> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
};

}  // namespace

OpenResult PosixDirectorySearch::OpenFolder(std::string_view path) {
  if (path.empty()) return {nullptr, std::make_error_code(std::errc::no_such_file_or_directory)};
  std::error_code error;
  UniqueFd fd = OpenAnyLength(path, kReadFlags, error);
  if (!fd) return {nullptr, error};
  return PosixFolder::Adopt(fd.release());
}

std::optional<std::size_t> PosixDirectorySearch::FoldersLeftToOpen() {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
  // Counted in /proc, less the descriptor that reads it; without /proc the
  // usual few are taken to be open.
  std::size_t open = 0;
  if (DIR* fds = ::opendir("/proc/self/fd")) {
    while (const dirent* entry = ::readdir(fds)) open += entry->d_name[0] != '.';
    ::closedir(fds);
    open -= open > 0;
  } else {
    open = 8;
  }
  return limit.rlim_cur > open ? limit.rlim_cur - open : 0;
}

}  // namespace vexaro::platform::posix
