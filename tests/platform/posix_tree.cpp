#include "tests/platform/posix_tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace vexaro::testing {
namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error(what + ": " + std::to_string(errno));
}

// Removes `name` in the folder `dirFd` and everything below it, without
// building paths, so that trees deeper than the kernel's path limit go too.
void RemoveAt(int dirFd, const char* name) {
  struct stat st{};
  if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return;
  if (!S_ISDIR(st.st_mode)) {
    ::unlinkat(dirFd, name, 0);
    return;
  }
  ::fchmodat(dirFd, name, 0700, 0);
  const int fd = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0) {
    DIR* dir = ::fdopendir(fd);
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
      const std::string_view n = entry->d_name;
      if (n != "." && n != "..") names.emplace_back(n);
    }
    for (const auto& n : names) RemoveAt(::dirfd(dir), n.c_str());
    ::closedir(dir);
  }
  ::unlinkat(dirFd, name, AT_REMOVEDIR);
}

}  // namespace

PosixTree::PosixTree() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vexaro-test-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) Fail("mkdtemp");
  root_ = pattern;
}

PosixTree::~PosixTree() { RemoveAt(AT_FDCWD, root_.c_str()); }

std::string PosixTree::Path(std::string_view relative) const { return root_ + "/" + std::string(relative); }

void PosixTree::Folder(std::string_view relative, unsigned mode) {
  std::string path = root_;
  std::size_t start = 0;
  while (start < relative.size()) {
    const std::size_t slash = relative.find('/', start);
    const std::size_t end = slash == std::string_view::npos ? relative.size() : slash;
    path.append("/").append(relative.substr(start, end - start));
    const bool last = end == relative.size();
    if (::mkdir(path.c_str(), last ? mode : 0755) != 0 && errno != EEXIST) Fail("mkdir " + path);
    if (last) ::chmod(path.c_str(), mode);
    start = end + 1;
  }
}

void PosixTree::File(std::string_view relative, std::uint64_t size) {
  const std::size_t slash = relative.rfind('/');
  if (slash != std::string_view::npos) Folder(relative.substr(0, slash));
  const std::string path = Path(relative);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) Fail("create " + path);
  const int result = ::ftruncate(fd, static_cast<off_t>(size));
  ::close(fd);
  if (result != 0) Fail("ftruncate " + path);
}

void PosixTree::Link(std::string_view relative, std::string_view target) {
  const std::size_t slash = relative.rfind('/');
  if (slash != std::string_view::npos) Folder(relative.substr(0, slash));
  if (::symlink(std::string(target).c_str(), Path(relative).c_str()) != 0) Fail("symlink");
}

void PosixTree::SetMode(std::string_view relative, unsigned mode) {
  if (::chmod(Path(relative).c_str(), mode) != 0) Fail("chmod");
}

std::string PosixTree::Deep(std::string_view relative, const std::string& name, int depth,
                            const std::string& file) {
  Folder(relative);
  std::string path = Path(relative);
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) Fail("open " + path);
  for (int level = 0; level < depth; ++level) {
    if (::mkdirat(fd, name.c_str(), 0755) != 0) Fail("mkdirat");
    const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(fd);
    if (next < 0) Fail("openat");
    fd = next;
    path.append("/").append(name);
  }
  const int created = ::openat(fd, file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  ::close(fd);
  if (created < 0) Fail("create deep file");
  ::close(created);
  return path + "/";
}

int OpenDescriptorCount() {
  DIR* dir = ::opendir("/proc/self/fd");
  if (dir == nullptr) return -1;
  int count = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] != '.') ++count;
  }
  ::closedir(dir);
  return count - 1;  // the descriptor of this very listing
}

ChildResult RunInChild(const std::function<int(std::string& out)>& body) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) Fail("pipe");
  const pid_t child = ::fork();
  if (child < 0) Fail("fork");
  if (child == 0) {
    ::close(pipeFds[0]);
    std::string out;
    int status = 1;
    try {
      status = body(out);
    } catch (...) {
      out += "exception";
    }
    for (std::size_t done = 0; done < out.size();) {
      const ssize_t n = ::write(pipeFds[1], out.data() + done, out.size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    ::_exit(status);
  }
  ::close(pipeFds[1]);
  ChildResult result;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) result.output.append(buffer, static_cast<std::size_t>(n));
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

bool EnterOwnMountNamespace() {
  return ::unshare(CLONE_NEWNS) == 0 && ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

bool MountNewImage(const std::string& mkfs, const std::string& image, const std::string& mountPoint) {
  const std::string make = mkfs + " '" + image + "' 2M >/dev/null 2>&1";
  const std::string mount = "mount -o loop '" + image + "' '" + mountPoint + "' >/dev/null 2>&1";
  return std::system(make.c_str()) == 0 && std::system(mount.c_str()) == 0;
}

}  // namespace vexaro::testing
