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

void Check(bool ok, const std::string& what) {
  if (!ok) throw std::runtime_error(what + ": errno " + std::to_string(errno));
}

// Removes `name` and everything below it without building paths.
void RemoveAt(int dirFd, const char* name) {
  struct stat st{};
  if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    ::fchmodat(dirFd, name, 0700, 0);
    if (DIR* dir = ::fdopendir(::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC))) {
      std::vector<std::string> names;
      while (const dirent* entry = ::readdir(dir)) names.emplace_back(entry->d_name);
      for (const auto& n : names) {
        if (n != "." && n != "..") RemoveAt(::dirfd(dir), n.c_str());
      }
      ::closedir(dir);
    }
  }
  ::unlinkat(dirFd, name, S_ISDIR(st.st_mode) ? AT_REMOVEDIR : 0);
}

}  // namespace

PosixTree::PosixTree() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/vexaro-test-XXXXXX";
  Check(::mkdtemp(pattern.data()) != nullptr, "mkdtemp");
  root_ = pattern + "/";
}

PosixTree::~PosixTree() { RemoveAt(AT_FDCWD, root_.c_str()); }

void PosixTree::Folder(std::string_view relative, unsigned mode) {
  for (std::size_t end = 0; end != std::string_view::npos;) {
    end = relative.find('/', end + 1);
    const std::string path = Path(relative.substr(0, end));
    Check(::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST, "mkdir " + path);
    if (end == std::string_view::npos) Check(::chmod(path.c_str(), mode) == 0, "chmod " + path);
  }
}

void PosixTree::File(std::string_view relative, std::uint64_t size) {
  if (const auto slash = relative.rfind('/'); slash != std::string_view::npos) Folder(relative.substr(0, slash));
  const int fd = ::open(Path(relative).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  Check(fd >= 0 && ::ftruncate(fd, static_cast<off_t>(size)) == 0, "create " + std::string(relative));
  ::close(fd);
}

void PosixTree::Link(std::string_view relative, std::string_view target) {
  Check(::symlink(std::string(target).c_str(), Path(relative).c_str()) == 0, "symlink");
}

std::string PosixTree::Deep(std::string_view relative, const std::string& name, int depth, const std::string& file) {
  Folder(relative);
  std::string path = Path(relative) + "/";
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (int level = 0; level < depth; ++level, path += name + "/") {
    Check(::mkdirat(fd, name.c_str(), 0755) == 0, "mkdirat");
    const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(fd);
    fd = next;
  }
  const int created = ::openat(fd, file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  Check(created >= 0, "create deep file");
  ::close(created);
  ::close(fd);
  return path;
}

int OpenDescriptorCount() {
  DIR* dir = ::opendir("/proc/self/fd");
  int count = -1;  // the descriptor of this listing itself
  while (const dirent* entry = ::readdir(dir)) count += entry->d_name[0] != '.';
  ::closedir(dir);
  return count;
}

ChildResult RunInChild(const std::function<int(std::string& out)>& body) {
  int fds[2];
  Check(::pipe2(fds, O_CLOEXEC) == 0, "pipe");
  const pid_t child = ::fork();
  if (child == 0) {
    std::string out;
    const int status = body(out);
    const bool written = ::write(fds[1], out.data(), out.size()) == static_cast<ssize_t>(out.size());
    ::_exit(written ? status : 1);
  }
  ::close(fds[1]);
  ChildResult result;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) result.output.append(buffer, n);
  ::close(fds[0]);
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
