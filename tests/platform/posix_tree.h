#pragma once
// Real folder trees for the tests of the Linux platform layer: made under the
// temporary folder, removed with everything in them, however deep.

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

  // The root, without a trailing '/'.
  const std::string& root() const { return root_; }
  // root + '/' + relative.
  std::string Path(std::string_view relative) const;

  // Parents are made as needed.
  void Folder(std::string_view relative, unsigned mode = 0755);
  void File(std::string_view relative, std::uint64_t size = 0);
  void Link(std::string_view relative, std::string_view target);
  void SetMode(std::string_view relative, unsigned mode);

  // `depth` nested folders each named `name` below `relative`, with a file
  // named `file` in the last one. Made relative to open descriptors, so the
  // result may be longer than any path the kernel accepts. Returns the full
  // path of the last folder, with a trailing '/'.
  std::string Deep(std::string_view relative, const std::string& name, int depth, const std::string& file);

 private:
  std::string root_;
};

// Open descriptors of this process.
int OpenDescriptorCount();

// Runs `body` in a child process and hands back what it wrote to `out`.
// `status` is the child's exit code; by convention 77 means the child could
// not set itself up (not permitted here) and the test is to be skipped.
struct ChildResult {
  int status = -1;
  std::string output;
};
ChildResult RunInChild(const std::function<int(std::string& out)>& body);
inline constexpr int kChildCannotRun = 77;

// For a child process: a mount namespace of its own, so that nothing it
// mounts is seen outside it or outlives it. False when not permitted.
bool EnterOwnMountNamespace();

// Makes a file system in the new file `image` with the command `mkfs` (which
// takes the image path last) and mounts it at `mountPoint` through a loop
// device. False when the tools or the permission are missing.
bool MountNewImage(const std::string& mkfs, const std::string& image, const std::string& mountPoint);

}  // namespace vexaro::testing
