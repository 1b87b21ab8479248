#pragma once
// Real folder trees for the tests of the Linux platform layer, made under the
// temporary folder and removed with everything in them, however deep.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace vexaro::testing {

class PosixTree {
 public:
  PosixTree();
  ~PosixTree();
  PosixTree(const PosixTree&) = delete;
  PosixTree& operator=(const PosixTree&) = delete;

  // The root, with a trailing '/'.
  const std::string& root() const { return root_; }
  std::string Path(std::string_view relative) const { return root_ + std::string(relative); }

  // Parents are made as needed.
  void Folder(std::string_view relative, unsigned mode = 0755);
  void File(std::string_view relative, std::uint64_t size = 0);
  void Link(std::string_view relative, std::string_view target);
  // `depth` folders named `name`, one in the other, below `relative`, with an
  // empty file `file` in the last. Made relative to open descriptors, so the
  // path may be longer than the kernel accepts. Returns it, ending in '/'.
  std::string Deep(std::string_view relative, const std::string& name, int depth, const std::string& file);

 private:
  std::string root_;
};

int OpenDescriptorCount();

// Runs `body` in a child process; `status` is its exit code, `output` what it
// wrote to `out`. kCannotRun: the child could not set itself up (skip).
inline constexpr int kCannotRun = 77;
struct ChildResult {
  int status = -1;
  std::string output;
};
ChildResult RunInChild(const std::function<int(std::string& out)>& body);

// In a child: a mount namespace of its own, so nothing it mounts leaks out.
bool EnterOwnMountNamespace();
// Makes a 2 MB file system in `image` with `mkfs` and loop-mounts it.
bool MountNewImage(const std::string& mkfs, const std::string& image, const std::string& mountPoint);

}  // namespace vexaro::testing
