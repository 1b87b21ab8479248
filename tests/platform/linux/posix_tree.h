#pragma once
// Real folder trees under the temporary folder for the tests of the Linux
// layer, and a child process for what needs privileges of its own.

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>

namespace vexaro::testing {

class PosixTree {
 public:
  PosixTree() {
    std::string pattern = std::filesystem::temp_directory_path().string().append("/vexaro-test-XXXXXX");
    root_ = std::string(::mkdtemp(pattern.data())).append("/");
  }
  // rm copes with trees deeper than PATH_MAX, where std::filesystem gives up.
  ~PosixTree() { [[maybe_unused]] int status = std::system(std::string("rm -rf '").append(root_ + "'").c_str()); }

  const std::string& root() const { return root_; }  // ends in '/'
  std::string Path(const std::string& relative) const { return root_ + relative; }
  // Parents are made as needed; sizes are sparse.
  void File(const std::string& relative, std::uintmax_t size = 0) const {
    Folder(std::filesystem::path(relative).parent_path());
    std::ofstream{Path(relative)};
    std::filesystem::resize_file(Path(relative), size);
  }
  void Folder(const std::string& relative) const { std::filesystem::create_directories(Path(relative)); }
  void Link(const std::string& relative, const std::string& target) const {
    std::filesystem::create_symlink(target, Path(relative));
  }

 private:
  std::string root_;
};

inline int OpenDescriptorCount() {
  return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

// Runs `body` in a child process; gives its exit status and what it put in
// `out`. kCannotRun: the child could not set itself up (skip the test).
inline constexpr int kCannotRun = 77;
inline std::pair<int, std::string> RunInChild(const std::function<int(std::string& out)>& body) {
  constexpr std::size_t kRoom = 1 << 16;
  char* shared = static_cast<char*>(::mmap(nullptr, kRoom, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  if (::fork() == 0) {
    std::string out;
    const int status = body(out);
    ::_exit(out.size() < kRoom && std::strcpy(shared, out.c_str()) ? status : 1);
  }
  int status = 0;
  ::wait(&status);
  std::pair<int, std::string> result(WIFEXITED(status) ? WEXITSTATUS(status) : -1, shared);
  ::munmap(shared, kRoom);
  return result;
}

}  // namespace vexaro::testing
