#pragma once
// File descriptors for the POSIX implementation files only.

#include <string_view>
#include <system_error>
#include <utility>

namespace vexaro::platform::posix {

// Owns one file descriptor and closes it once.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) noexcept : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  int get() const noexcept { return fd_; }
  explicit operator bool() const noexcept { return fd_ >= 0; }
  int release() noexcept { return std::exchange(fd_, -1); }
  void reset(int fd = -1) noexcept;

 private:
  int fd_ = -1;
};

// The error of the last failed call, from errno.
std::error_code LastError() noexcept;

// Opens `path` as the kernel resolves it (links followed), whatever its
// length: a path longer than the kernel accepts in one call is resolved in
// pieces, each relative to the folder reached so far. `flags` are open(2)
// flags; O_CLOEXEC is always added. Returns an invalid fd and sets `error`
// on failure.
UniqueFd OpenAnyLength(std::string_view path, int flags, std::error_code& error);

}  // namespace vexaro::platform::posix
