#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/linux/fd.h"

namespace vexaro::platform::posix {

void UniqueFd::reset(int fd) noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
}

std::error_code LastError() noexcept { return {errno, std::generic_category()}; }

UniqueFd OpenAnyLength(std::string_view path, int flags, std::error_code& error) {
  flags |= O_CLOEXEC;
  error.clear();
  if (path.empty()) {
    error = std::make_error_code(std::errc::no_such_file_or_directory);
    return {};
  }
  if (path.size() < PATH_MAX) {
    UniqueFd fd(::openat(AT_FDCWD, std::string(path).c_str(), flags));
    if (!fd) error = LastError();
    return fd;
  }
  // Too long for one call: resolve it in pieces that each end at a separator.
  UniqueFd base;
  if (path.front() == '/') {
    base.reset(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!base) {
      error = LastError();
      return {};
    }
  }
  std::string piece;
  while (true) {
    const auto start = path.find_first_not_of('/');
    path.remove_prefix(start == std::string_view::npos ? path.size() : start);
    const int at = base ? base.get() : AT_FDCWD;
    if (path.size() < PATH_MAX) {
      piece.assign(path.empty() ? std::string_view(".") : path);
      UniqueFd fd(::openat(at, piece.c_str(), flags));
      if (!fd) error = LastError();
      return fd;
    }
    const auto cut = path.substr(0, PATH_MAX - 1).rfind('/');
    if (cut == std::string_view::npos) {
      error = std::make_error_code(std::errc::filename_too_long);
      return {};
    }
    piece.assign(path.substr(0, cut));
    UniqueFd next(::openat(at, piece.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!next) {
      error = LastError();
      return {};
    }
    base = std::move(next);
    path.remove_prefix(cut);
  }
}

}  // namespace vexaro::platform::posix
