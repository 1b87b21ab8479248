#include <fcntl.h>
#include <grp.h>
#include <limits.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

#include "engine/walk.h"
#include "platform/posix/directory_search.h"
#include "tests/platform/posix_tree.h"
#include "tests/support/recording_host.h"

namespace vexaro::platform::posix {
namespace {

using testing::PosixTree;

// "name kind [size]" per entry of `path`, sorted; or the error.
std::string Describe(DirectorySearch& search, const std::string& path) {
  auto [folder, error] = search.OpenFolder(path);
  if (!folder) return error.message();
  std::vector<std::string> lines;
  for (DirEntry entry; folder->Next(entry);) {
    static constexpr const char* kKinds[] = {"file", "folder", "linked-folder"};
    std::string line = std::string(entry.name) + " " + kKinds[static_cast<int>(entry.kind)];
    if (entry.stamp && entry.stamp->size) line += " " + std::to_string(*entry.stamp->size);
    lines.push_back(line);
  }
  if (folder->error()) lines.push_back("error " + folder->error().message());
  std::sort(lines.begin(), lines.end());
  std::string out;
  for (const auto& line : lines) out += line + "\n";
  return out;
}

class DirectorySearchTest : public ::testing::Test {
 protected:
  PosixTree tree;
  PosixDirectorySearch search;
};

TEST_F(DirectorySearchTest, NamesAndLinksComeBackAsTheyAre) {
  for (const char* name : {"日本語.txt", "한국어 파일", "café", "emoji 😀", "bad \xff\xfe utf-8", "line\nbreak"}) {
    tree.File(name, 3);
  }
  tree.File("target.bin", 1234);
  tree.Folder("sub.d");
  tree.Link("to-folder", "sub.d");
  tree.Link("to-ancestor", "..");
  tree.Link("to-file", "target.bin");
  tree.Link("dangling", "nowhere/at/all");  // its own size: the target's length
  tree.Link("loop-a", "loop-b");
  tree.Link("loop-b", "loop-a");
  EXPECT_EQ(Describe(search, tree.root()),
            "bad \xff\xfe utf-8 file\n"
            "café file\n"
            "dangling file 14\n"
            "emoji 😀 file\n"
            "line\nbreak file\n"
            "loop-a file 6\n"
            "loop-b file 6\n"
            "sub.d folder\n"
            "target.bin file\n"
            "to-ancestor linked-folder\n"
            "to-file file 1234\n"
            "to-folder linked-folder\n"
            "日本語.txt file\n"
            "한국어 파일 file\n");
}

TEST_F(DirectorySearchTest, StatReadsWhatIsWantedOfWhatIsThere) {
  tree.File("kept", 77);
  tree.File("vanishing", 5);
  tree.Link("to-kept", "kept");
  tree.Link("dangling", "nowhere");
  auto folder = search.OpenFolder(tree.root()).folder;
  ASSERT_TRUE(folder);
  for (DirEntry entry; folder->Next(entry);) {
  }
  ASSERT_EQ(::unlink(tree.Path("vanishing").c_str()), 0);

  struct Case {
    const char* name;
    StampFields wanted;
    std::optional<std::uint64_t> size;
    bool found, times;
  };
  const Case cases[] = {
      {"kept", {true, false}, 77, true, false},  {"kept", {false, true}, std::nullopt, true, true},
      {"to-kept", {true, true}, 77, true, true}, {"dangling", {true, true}, 7, true, true},
      {"vanishing", {true, true}, {}, false, false}, {"never-there", {true, false}, {}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto stamp = folder->Stat(c.name, c.wanted);
    ASSERT_EQ(stamp.has_value(), c.found);
    if (!stamp) continue;
    EXPECT_EQ(stamp->size, c.size);
    EXPECT_EQ(stamp->creation.has_value() && stamp->lastWrite && stamp->lastAccess, c.times);
  }
}

TEST_F(DirectorySearchTest, CreationIsTheBirthTimeWhereKeptElseTheLastWrite) {
  tree.File("old");
  const timespec old[2] = {{981173106, 0}, {981173106, 0}};  // 2001-02-03 04:05:06 UTC
  ASSERT_EQ(::utimensat(AT_FDCWD, tree.Path("old").c_str(), old, 0), 0);
  for (const std::string& folder : {tree.root(), std::string("/proc/self/")}) {
    const std::string name = folder == tree.root() ? "old" : "status";  // procfs keeps no birth times
    struct statx st{};
    ASSERT_EQ(::statx(AT_FDCWD, (folder + name).c_str(), 0, STATX_BTIME, &st), 0);
    const auto stamp = search.OpenFolder(folder).folder->Stat(name, {false, true});
    ASSERT_TRUE(stamp && stamp->creation && stamp->lastWrite) << folder;
    if (st.stx_mask & STATX_BTIME) {
      EXPECT_EQ(stamp->creation, (UtcTime{st.stx_btime.tv_sec, st.stx_btime.tv_nsec}));
      EXPECT_EQ(stamp->lastWrite, (UtcTime{981173106, 0}));
    } else {
      EXPECT_EQ(stamp->creation, stamp->lastWrite) << folder;
    }
  }
}

TEST_F(DirectorySearchTest, OpensWhatTheKernelWouldAndFailsAsItWould) {
  tree.File("real/inner/file");
  tree.File("real/top");
  tree.Link("via", "real");
  tree.Link("dangling", "nowhere");
  // One search, in this order, as consecutive start folders use it: each
  // path is opened relative to what the earlier ones left open.
  const std::pair<std::string, std::string> cases[] = {
      {"", "dangling file 7\nreal folder\nvia linked-folder\n"},
      {"via/", "inner folder\ntop file\n"},
      {"via/inner", "file file\n"},
      {"real/inner/../", "inner folder\ntop file\n"},
      {"real//inner/", "file file\n"},
      {"missing/deeper/", "No such file or directory"},
      {"dangling/", "No such file or directory"},
      {"real/top/", "Not a directory"},
      {std::string(300, 'n') + "/", "File name too long"},
  };
  for (const auto& [path, expected] : cases) EXPECT_EQ(Describe(search, tree.Path(path)), expected) << path;
  EXPECT_EQ(Describe(search, ""), "No such file or directory");
}

TEST_F(DirectorySearchTest, DeepTreesOpenWithFewDescriptorsAllClosedAtTheEnd) {
  const std::string deep = tree.Deep("deep", std::string(120, 'd'), 40, "bottom");
  ASSERT_GT(deep.size(), static_cast<std::size_t>(PATH_MAX));
  for (int i = 0; i < 50; ++i) tree.File("wide/f" + std::to_string(i) + "/x");

  const int before = testing::OpenDescriptorCount();
  {
    PosixDirectorySearch cold, bounded(8);
    EXPECT_EQ(Describe(cold, deep), "bottom file\n");
    int most = 0;
    auto visit = [&](const std::string& path, const std::string& expected) {
      EXPECT_EQ(Describe(bounded, path), expected) << path;
      most = std::max(most, testing::OpenDescriptorCount() - before);
    };
    const std::string name(120, 'd');
    std::string path = tree.Path("deep/");
    for (int level = 0; level < 40; ++level, path += name + "/") visit(path, name + " folder\n");
    visit(deep, "bottom file\n");
    for (int i = 49; i >= 0; --i) visit(tree.Path("wide/f" + std::to_string(i)), "x file\n");
    EXPECT_LE(bounded.keptCount(), 8u);
    EXPECT_LE(most, 8 + 1) << "kept descriptors, the cold search's, and the open folder";
  }
  EXPECT_EQ(testing::OpenDescriptorCount(), before);
}

TEST_F(DirectorySearchTest, AFolderOpenedAgainIsReadAfresh) {
  tree.File("work/a");
  tree.File("work/b");
  EXPECT_EQ(Describe(search, tree.Path("work/")), "a file\nb file\n");
  EXPECT_EQ(Describe(search, tree.Path("work/")), "a file\nb file\n") << "from its start again";

  // After a pause the kept descriptors are not trusted: the folder may have
  // been replaced meanwhile.
  PosixDirectorySearch quick(8, std::chrono::milliseconds(30));
  EXPECT_EQ(Describe(quick, tree.Path("work/")), "a file\nb file\n");
  ASSERT_EQ(::rename(tree.Path("work").c_str(), tree.Path("moved").c_str()), 0);
  tree.File("work/new");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(Describe(quick, tree.Path("work/")), "new file\n");
}

// Permission bits count for an unprivileged user only, so when the tests run
// as root the child becomes nobody.
TEST_F(DirectorySearchTest, FoldersWithoutPermissionGiveErrors) {
  ::chmod(tree.root().c_str(), 0755);
  tree.Folder("closed", 0);
  tree.File("names-only/file", 10);
  tree.Folder("names-only", 0444);
  tree.File("pass-only/inner/file", 20);
  tree.Folder("pass-only", 0111);
  const auto result = testing::RunInChild([&](std::string& out) {
    if (::geteuid() == 0 && (::setgroups(0, nullptr) || ::setgid(65534) || ::setuid(65534))) {
      return testing::kCannotRun;
    }
    PosixDirectorySearch unprivileged;
    for (const char* path : {"", "closed", "names-only", "pass-only", "pass-only/inner"}) {
      out += Describe(unprivileged, tree.Path(path)) + "|";
    }
    const auto stamp = unprivileged.OpenFolder(tree.Path("names-only")).folder->Stat("file", {true, true});
    out += stamp ? "stat read" : "stat refused";
    return 0;
  });
  if (result.status == testing::kCannotRun) GTEST_SKIP() << "cannot become an unprivileged user";
  EXPECT_EQ(result.output,
            "closed folder\nnames-only folder\npass-only folder\n|Permission denied|file file\n|"
            "Permission denied|file file\n|stat refused");
}

TEST_F(DirectorySearchTest, ABindMountLoopIsWalkedOnce) {
  tree.File("a/file");
  tree.Folder("a/loop");
  const auto result = testing::RunInChild([&](std::string& out) {
    if (!testing::EnterOwnMountNamespace() ||
        ::mount(tree.root().c_str(), tree.Path("a/loop").c_str(), nullptr, MS_BIND, nullptr) != 0) {
      return testing::kCannotRun;
    }
    testing::RecordingHost host;
    host.recordYields = false;
    host.blnContinue = true;
    engine::WalkContext context{search, host, '/'};
    std::vector<engine::FolderItem> folders;
    engine::GetSubFolders(context, tree.root(), folders);
    for (const auto& folder : folders) out += folder.path + "\n";
    for (const auto& event : host.events) out += event.starts_with("problem") ? event + "\n" : "";
    return 0;
  });
  if (result.status == testing::kCannotRun) GTEST_SKIP() << "bind mounts not permitted here";
  EXPECT_EQ(result.output, "\n" + tree.Path("a") + "\n" + tree.Path("a/loop") + "\nproblem: loop " +
                               tree.Path("a/loop/") + "\n");
}

// ext2 without its file-type feature leaves every d_type unknown.
TEST_F(DirectorySearchTest, EntriesOfUntypedFileSystemsAreClassifiedByLookUp) {
  tree.Folder("mnt");
  const auto result = testing::RunInChild([&](std::string& out) {
    if (!testing::EnterOwnMountNamespace() ||
        !testing::MountNewImage("mkfs.ext2 -q -F -O ^filetype", tree.Path("image"), tree.Path("mnt"))) {
      return testing::kCannotRun;
    }
    tree.Folder("mnt/folder");
    tree.File("mnt/file", 42);
    tree.Link("mnt/to-folder", "folder");
    tree.Link("mnt/to-file", "file");
    out = Describe(search, tree.Path("mnt"));
    return 0;
  });
  if (result.status == testing::kCannotRun) GTEST_SKIP() << "cannot make and mount file systems here";
  EXPECT_EQ(result.output,
            "file file 42\nfolder folder\nlost+found folder\nto-file file 42\nto-folder linked-folder\n");
}

}  // namespace
}  // namespace vexaro::platform::posix
