#include <fcntl.h>
#include <stdio.h>
#include <limits.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <iostream>
#include <ranges>
#include <regex>
#include <set>
#include <thread>

#include "engine/listing.h"
#include "engine/walk.h"
#include "platform/linux/directory_search.h"
#include "platform/linux/volume.h"
#include "tests/platform/linux/posix_tree.h"
#include "tests/support/recording_host.h"

namespace vexaro::platform::posix {
namespace {

using testing::PosixTree;

// "name kind [size]" per entry of `path`, sorted; or why it cannot be opened.
// A file's stamp is Next's own where it made one (links, file systems that
// do not fill d_type), else Stat's; all of it is asked for.
std::string Describe(DirectorySearch& search, const std::string& path) {
  auto [folder, error] = search.OpenFolder(path);
  if (!folder) return error.message();
  std::vector<std::string> lines;
  DirEntry entry;
  while (folder->Next(entry)) {
    static constexpr const char* kKinds[] = {" file ", " folder", " linked-folder"};
    std::string line = std::string(entry.name).append(kKinds[static_cast<int>(entry.kind)]);
    if (entry.kind == EntryKind::File) {
      const auto stamp = entry.stamp ? entry.stamp : folder->Stat(entry.name, {true, true});
      line += !stamp ? "gone" : stamp->size ? std::to_string(*stamp->size) : "no size";
      if (stamp && !stamp->creation) line += " no time";
    }
    lines.push_back(line + "\n");
  }
  if (folder->Next(entry)) lines.push_back("an entry after the end\n");
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
  // What is missing or no folder that far down is told as such.
  EXPECT_EQ(Describe(search, deep + "missing"), "No such file or directory");
  EXPECT_EQ(Describe(search, deep + "bottom"), "Not a directory");
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

// What the search gives for a real tree (vexaro-list's own test lists one
// like it).
TEST(DirectorySearchTest, NamesAndLinksComeBackAsTheyAre) {
  PosixTree tree;
  tree.File("a.txt", 1536);
  tree.File("line\nbreak", 3);
  tree.File("sub/b.txt", 12582912);
  tree.File("日本語/データ.txt", 5);
  tree.Link("ln.txt", "a.txt");             // listed with the size of a.txt
  tree.Link("lnk", "sub");                  // neither walked nor listed
  tree.Link("sub/up", "..");                // a loop, not entered
  tree.Link("dangling", "nowhere/at/all");  // listed with its own size: the length of the target
  tree.Link("loop", "loop");
  const std::string& root = tree.root();
  tree.File("bad \xff\xfe utf-8", 1);
  tree.File("vanishing", 5);
  PosixDirectorySearch search;
  EXPECT_EQ(Describe(search, root),
            "a.txt file 1536\nbad \xff\xfe utf-8 file 1\ndangling file 14\nline\nbreak file 3\nln.txt file 1536\n"
            "lnk linked-folder\nloop file 4\nsub folder\nvanishing file 5\n日本語 folder\n");
  // A file gone between the enumeration and the look-up has no stamp, nor
  // has one swapped for a folder or a link to one: nothing of that folder
  // may show. A name is looked up as given, also a piece of one that Next
  // handed out.
  const auto folder = search.OpenFolder(root).folder;
  ASSERT_TRUE(folder);
  std::filesystem::remove(tree.Path("vanishing"));
  std::filesystem::remove(tree.Path("a.txt"));
  tree.Link("a.txt", "sub");
  std::filesystem::remove(tree.Path("ln.txt"));
  tree.Folder("ln.txt");
  for (const char* name : {"vanishing", "a.txt", "ln.txt"}) {
    EXPECT_EQ(folder->Stat(name, {true, true}), std::nullopt) << name;
  }
  for (DirEntry entry; folder->Next(entry);) {
    if (entry.name == "dangling") {
      EXPECT_EQ(folder->Stat(entry.name.substr(0, 1), {true, true}), std::nullopt);
    }
  }
}

// Two folders exchanged over and over while the tree is listed: whatever a
// run lists, each of their files once, or it reports what it missed. With
// one worker and with eight, run after run.
TEST(HostListingTest, FoldersExchangedDuringTheRunLoseNothingUnreported) {
  PosixTree tree;
  std::multiset<std::string> all;
  for (const char* folder : {"x", "y"}) {
    for (int i = 0; i < 40; ++i) {
      const std::string name = std::string(folder) + std::to_string(i);
      tree.File(std::string("t/") + folder + "/" + name);
      all.insert(name);
    }
  }
  for (int i = 0; i < 40; ++i) tree.Folder("t/f" + std::to_string(i) + "/g");
  std::atomic<bool> done = false;
  std::atomic<int> exchanges = 0;
  std::thread swapper([&] {
    const std::string x = tree.Path("t/x");
    const std::string y = tree.Path("t/y");
    while (!done) {
      if (::renameat2(AT_FDCWD, x.c_str(), AT_FDCWD, y.c_str(), RENAME_EXCHANGE) == 0) ++exchanges;
    }
  });
  const std::unique_ptr<System> system = MakeHostSystem();
  engine::ListingOptions options;
  options.CheckFree = false;
  options.CheckSize = false;
  options.CheckDate = false;
  int reported = 0;
  for (unsigned workers : {1u, 8u}) {
    for (int run = 0; run < 150; ++run) {
      testing::RecordingHost host;
      std::string text;
      engine::StringSink sink(text);
      engine::ListingJob job(*system, host.Host(), sink);
      job.setThreads(workers);
      const engine::FolderOutcome outcome = job.DoWork(tree.Path("t"), options);
      std::multiset<std::string> listed;
      for (const auto& line : std::views::split(text, '\n')) {
        const std::string_view name(line.begin(), line.end());
        const auto slash = name.rfind('/');
        if (slash != std::string_view::npos && name.find(" : ") == std::string_view::npos) {
          listed.emplace(name.substr(slash + 1));
        }
      }
      if (outcome.Incomplete()) {
        ++reported;
      } else {
        ASSERT_TRUE(listed == all) << workers << " workers, run " << run << ": " << listed.size()
                                   << " files listed, none reported";
      }
    }
  }
  done = true;
  swapper.join();
  EXPECT_GT(exchanges, 0);
  std::cout << reported << " of 300 runs reported a change, after " << exchanges << " exchanges\n";
}

// A folder swapped for a link to a folder outside the tree between the walk
// and the listing: the listing, which reads it again, reports it and lists
// nothing from outside, with worker threads or without.
TEST(HostListingTest, AFolderSwappedForALinkIsNeverFollowed) {
  for (unsigned workers : {1u, 3u}) {
    PosixTree tree;
    tree.File("r/A/a", 1);
    tree.File("r/Z/passwd", 3);
    tree.File("secret/passwd", 20);
    tree.File("secret/only-outside", 1);
    PosixDirectorySearch search;
    testing::RecordingHost host;
    host.blnContinue = true;
    engine::FolderWalk walk({search, host.Host(), '/', {{true, true}, 0, workers}});
    walk.GetSubFolders(tree.Path("r"));
    std::filesystem::rename(tree.Path("r/Z"), tree.Path("Z-moved"));
    std::filesystem::create_directory_symlink(tree.Path("secret"), tree.Path("r/Z"));
    std::string listed;
    walk.ListFolders([&](const engine::FolderWalk::Listed& folder) {
      folder.files.ForEach([&](const engine::FileRef& file) {
        listed.append(folder.path.substr(folder.relativeStart)).append(file.name).append(" ");
      });
    });
    EXPECT_EQ(listed, "/A/a ") << workers;  // the start folder was given without its separator
    EXPECT_EQ(host.events.back(), "problem: changed " + tree.Path("r/Z/")) << workers;
  }
}

// In the child's own mount namespace: an ext2 image labelled by mkfs, with
// half its blocks reserved for root and no entry kinds in its folders.
TEST(PosixVolumeTest, LabelSpaceAndEntriesOfAMountedFileSystem) {
  PosixTree tree;
  tree.Folder("ext2");
  const auto [status, output] = testing::RunInChild([&](std::string& out) {
    const std::string image = tree.Path("image");
    const std::string make = std::string("mkfs.ext2 -q -F -m 50 -O ^filetype -L 'データ disk' '")
                                 .append(image + "' 2M >/dev/null 2>&1 && mount -o loop '")
                                 .append(image + "' '" + tree.Path("ext2") + "' >/dev/null 2>&1");
    if (!EnterOwnMountNamespace() || std::system(make.c_str()) != 0) return testing::kCannotRun;
    tree.File("ext2/folder/file", 3);
    tree.Folder("ext2/folder/sub");
    tree.Link("ext2/folder/to-file", "file");
    tree.Link("ext2/folder/to-sub", "sub");
    for (const char* path : {"ext2/folder/", "ext2/gone/"})
      out.append("[").append(PosixVolumeInfo().Label(tree.Path(path))).append("]");
    // Label links as udev makes them, read for what is no folder: only the
    // link to this file system's own device names it.
    tree.Folder("labels");
    struct stat mounted {};
    ::stat(tree.Path("ext2").c_str(), &mounted);
    for (int n = 0; n < 8; ++n) {
      const std::string device = "/dev/loop" + std::to_string(n);
      struct stat st {};
      if (::stat(device.c_str(), &st) != 0) continue;
      tree.Link("labels/" + (st.st_rdev == mounted.st_dev ? std::string("mine") : "other" + std::to_string(n)), device);
    }
    out.append("[").append(PosixVolumeInfo(tree.Path("labels")).Label(tree.Path("ext2/folder/file"))).append("]");
    const auto space = PosixDiskSpaceInfo().Space(tree.Path("ext2/"));
    out += space && space->available < space->total / 2 ? " reserved blocks not available\n" : " wrong space\n";
    PosixDirectorySearch search;
    out += Describe(search, tree.Path("ext2/folder"));
    return 0;
  });
  if (status == testing::kCannotRun) GTEST_SKIP() << "cannot make and mount file systems here";
  EXPECT_EQ(output,
            "[データ disk][][mine] reserved blocks not available\n"
            "file file 3\nsub folder\nto-file file 3\nto-sub linked-folder\n");
}

// udev's link names: the bytes it escapes come as \xNN, either case.
TEST(PosixVolumeTest, LabelLinkNamesAreDecoded) {
  const std::pair<std::string_view, const char*> cases[] = {
      {"DATA", "DATA"},
      {"my\\x20disk", "my disk"},
      {"\\x2fa\\x2F", "/a/"},
      {"\\x09\\xaf\\xAF\\xfa\\xFA", "\t\xAF\xAF\xFA\xFA"},
      {"\\xG0\\x0g\\x:0\\x@0\\x`0", "\\xG0\\x0g\\x:0\\x@0\\x`0"},  // not hex digits
      {"\\y41\\x4", "\\y41\\x4"},                                  // not an escape, or cut short
      {"a\\x41", "aA"},
      {std::string_view("\\x41", 3), "\\x4"},  // the name ends before the byte after it
  };
  for (const auto& [name, label] : cases) EXPECT_EQ(DecodeLabelLinkName(name), label) << name;
}

}  // namespace
}  // namespace vexaro::platform::posix
