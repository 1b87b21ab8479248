#include <fcntl.h>
#include <limits.h>
#include <sched.h>
#include <sys/mount.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/walk.h"
#include "platform/posix/directory_search.h"
#include "platform/posix/volume.h"
#include "tests/platform/posix_tree.h"
#include "tests/support/recording_host.h"

namespace vexaro::platform::posix {
namespace {

using testing::PosixTree;

// "name kind [size]" per entry of `path`, sorted; or why it cannot be opened.
std::string Describe(DirectorySearch& search, const std::string& path) {
  auto [folder, error] = search.OpenFolder(path);
  if (!folder) return error.message();
  std::vector<std::string> lines;
  for (DirEntry entry; folder->Next(entry);) {
    static constexpr const char* kKinds[] = {" file ", " folder", " linked-folder"};
    std::string line = std::string(entry.name).append(kKinds[static_cast<int>(entry.kind)]);
    if (entry.kind == EntryKind::File)
      line += std::to_string(folder->Stat(entry.name, {true, false}).value().size.value());
    lines.push_back(line + "\n");
  }
  if (folder->error()) lines.push_back(folder->error().message());
  std::ranges::sort(lines);
  std::string out;
  for (const auto& line : lines) out += line;
  return out;
}

// In a child: a mount namespace of its own, so that nothing mounted leaks out.
bool EnterOwnMountNamespace() {
  return ::unshare(CLONE_NEWNS) == 0 && ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

TEST(DirectorySearchTest, NamesAndLinksComeBackAsTheyAre) {
  PosixTree tree;
  tree.File("bad \xff\xfe utf-8", 1);
  tree.File("line\nbreak", 2);
  tree.File("target.bin", 1234);
  tree.File("vanishing", 5);
  tree.Folder("sub");
  tree.Link("to-folder", "sub");
  tree.Link("to-file", "target.bin");
  tree.Link("dangling", "nowhere/at/all");  // its own size: the length of the target
  tree.Link("loop", "loop");
  PosixDirectorySearch search;
  EXPECT_EQ(Describe(search, tree.root()),
            "bad \xff\xfe utf-8 file 1\ndangling file 14\nline\nbreak file 2\nloop file 4\nsub folder\n"
            "target.bin file 1234\nto-file file 1234\nto-folder linked-folder\nvanishing file 5\n");

  // A file gone between the enumeration and the look-up has no stamp.
  const auto folder = search.OpenFolder(tree.root()).folder;
  ASSERT_TRUE(folder);
  std::filesystem::remove(tree.Path("vanishing"));
  EXPECT_EQ(folder->Stat("vanishing", {true, true}), std::nullopt);
}

TEST(DirectorySearchTest, PathsBeyondPathMaxOpenChildByChildAndClimbBack) {
  PosixTree tree;
  // Made relative to descriptors: the kernel takes no path this long.
  const std::string name(120, 'd');
  std::string deep = tree.root();
  int fd = ::open(deep.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  for (int level = 0; level < 40; ++level, deep += name + "/") {
    ASSERT_EQ(::mkdirat(fd, name.c_str(), 0755), 0);
    const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::close(fd);
    fd = next;
  }
  ::close(::openat(fd, "bottom", O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
  ::close(fd);
  ASSERT_GT(deep.size(), static_cast<std::size_t>(PATH_MAX));

  const int before = testing::OpenDescriptorCount();
  PosixDirectorySearch search;
  EXPECT_EQ(Describe(search, deep), "bottom file 0\n");
  std::vector<FolderId> ids;
  {
    std::unique_ptr<Folder> folder = search.OpenFolder(tree.root()).folder;
    ASSERT_TRUE(folder);
    for (int level = 0; level < 40; ++level) {
      ids.push_back(folder->id().value());
      folder = folder->OpenChild(name).folder;
      ASSERT_TRUE(folder) << level;
    }
    EXPECT_TRUE(folder->Stat("bottom", {true, true}));
    for (int level = 39; level >= 0; --level) {
      folder = folder->OpenParent().folder;
      ASSERT_TRUE(folder);
      EXPECT_EQ(folder->id(), ids[level]) << level;
    }
  }
  EXPECT_EQ(testing::OpenDescriptorCount(), before);
}

// A subfolder is opened only as the folder it is: a link there, or a file,
// is refused, never followed.
TEST(DirectorySearchTest, OpenChildRefusesLinksAndFiles) {
  PosixTree tree;
  tree.Folder("sub");
  tree.File("file", 1);
  tree.Link("to-sub", "sub");
  tree.Link("to-outside", "/tmp");
  const auto top = PosixDirectorySearch().OpenFolder(tree.root()).folder;
  ASSERT_TRUE(top);
  const struct {
    const char* name;
    std::errc error;
  } cases[] = {
      {"to-sub", std::errc::too_many_symbolic_link_levels},
      {"to-outside", std::errc::too_many_symbolic_link_levels},
      {"file", std::errc::not_a_directory},
      {"missing", std::errc::no_such_file_or_directory},
      {"..", std::errc::invalid_argument},
      {"sub/..", std::errc::invalid_argument},
  };
  for (const auto& c : cases) {
    const OpenResult result = top->OpenChild(c.name);
    EXPECT_FALSE(result.folder) << c.name;
    EXPECT_EQ(result.error, c.error) << c.name;
  }
  const OpenResult sub = top->OpenChild("sub");
  ASSERT_TRUE(sub.folder);
  EXPECT_NE(sub.folder->id(), top->id());
  EXPECT_EQ(sub.folder->OpenParent().folder->id(), top->id());
}

TEST(DirectorySearchTest, ABindMountLoopIsWalkedOnce) {
  PosixTree tree;
  tree.File("a/file");
  tree.Folder("a/loop");
  const auto [status, output] = testing::RunInChild([&](std::string& out) {
    if (!EnterOwnMountNamespace() ||
        ::mount(tree.root().c_str(), tree.Path("a/loop").c_str(), nullptr, MS_BIND, nullptr) != 0) {
      return testing::kCannotRun;
    }
    PosixDirectorySearch search;
    testing::RecordingHost host;
    host.recordYields = false;
    host.blnContinue = true;
    engine::FolderWalk walk({search, host.Host(), '/'});
    walk.GetSubFolders(tree.root());
    walk.ListFolders([&](const engine::FolderWalk::Listed& folder) { out.append(folder.path).append("\n"); });
    for (const auto& event : host.events) out += event.starts_with("problem") ? event + "\n" : "";
    return 0;
  });
  if (status == testing::kCannotRun) GTEST_SKIP() << "bind mounts not permitted here";
  EXPECT_EQ(output, tree.Path("\n") + tree.Path("a/\n") + "problem: loop " + tree.Path("a/loop/\n"));
}

// In the child's own mount namespace: an ext2 image labelled by mkfs, with
// half its blocks reserved for root.
TEST(PosixVolumeTest, LabelAndSpaceOfAMountedFileSystem) {
  PosixTree tree;
  tree.Folder("ext2");
  const auto [status, output] = testing::RunInChild([&](std::string& out) {
    const std::string image = tree.Path("image");
    const std::string make = std::string("mkfs.ext2 -q -F -m 50 -L 'データ disk' '")
                                 .append(image + "' 2M >/dev/null 2>&1 && mount -o loop '")
                                 .append(image + "' '" + tree.Path("ext2") + "' >/dev/null 2>&1");
    if (!EnterOwnMountNamespace() || std::system(make.c_str()) != 0) return testing::kCannotRun;
    tree.Folder("ext2/folder");
    for (const char* path : {"ext2/folder/", "ext2/gone/"})
      out.append("[").append(PosixVolumeInfo().Label(tree.Path(path))).append("]");
    const auto space = PosixDiskSpaceInfo().Space(tree.Path("ext2/"));
    out += space && space->available < space->total / 2 ? " reserved blocks not available" : " wrong space";
    return 0;
  });
  if (status == testing::kCannotRun) GTEST_SKIP() << "cannot make and mount file systems here";
  EXPECT_EQ(output, "[データ disk][] reserved blocks not available");
}

}  // namespace
}  // namespace vexaro::platform::posix
